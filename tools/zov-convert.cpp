// zov-convert: turns documents into the preview folders the viewer reads.
//
//   zov-convert --root ROOT [--mode Flat|Folder|SamePlace|eValueNS]
//               [--root-dir DIR] [--url BASE] [--threads N] [--if-changed]
//               DOCUMENT...
//   zov-convert --out BASE DOCUMENT
//   zov-convert --root ROOT [...] --watch FOLDER
//
// Exit status: 0 when every document was converted (or needed nothing),
// 1 when any failed, 2 for a usage error.
#include "documents/FileTypes.h"
#include "platform/Encoding.h"
#include "tools/convert/Converter.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <string>
#include <sys/inotify.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace zov;

std::atomic<bool> stopRequested{false};

void RequestStop(int) {
    stopRequested = true;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: zov-convert --root ROOT [--mode Flat|Folder|SamePlace|eValueNS] [--root-dir DIR]\n"
                 "                   [--url BASE] [--threads N] [--if-changed] DOCUMENT...\n"
                 "       zov-convert --out BASE DOCUMENT\n"
                 "       zov-convert --root ROOT [options] --watch FOLDER\n");
    return 2;
}

int Report(const ConvertSummary& summary) {
    std::printf("zov-convert: %d converted (%d pages), %d failed, %d skipped, %d unchanged in %.1f s\n",
                summary.converted, summary.pages, summary.failed, summary.skipped, summary.unchanged,
                summary.seconds);
    return summary.failed > 0 ? 1 : 0;
}

// Converts documents as they are written into `folder` or moved there, until
// interrupted.
int Watch(const std::string& folder, const ConvertSettings& settings) {
    int fd = inotify_init1(IN_CLOEXEC);
    if (fd < 0 || inotify_add_watch(fd, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO) < 0) {
        std::fprintf(stderr, "zov-convert: cannot watch %s\n", folder.c_str());
        return 1;
    }
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    std::fprintf(stderr, "zov-convert: watching %s\n", folder.c_str());
    int failed = 0;
    alignas(inotify_event) char buffer[16384];
    while (!stopRequested) {
        pollfd waiting{fd, POLLIN, 0};
        if (poll(&waiting, 1, 200) <= 0)
            continue;
        ssize_t length = read(fd, buffer, sizeof buffer);
        for (ssize_t at = 0; at < length;) {
            auto* event = reinterpret_cast<inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->len == 0 || (event->mask & IN_ISDIR))
                continue;
            std::string file = folder + "/" + event->name;
            // Temporary files of editors and copies pass by unnoticed.
            if (Classify(FromUtf8(file), false) == kFileUnknown)
                continue;
            std::string reason;
            std::optional<ConvertJob> job = MakeJob(file, settings, reason);
            if (!job) {
                std::fprintf(stderr, "zov-convert: failed %s: %s\n", file.c_str(), reason.c_str());
                ++failed;
                continue;
            }
            ConvertSummary summary = ConvertAll({*job}, settings);
            failed += summary.failed;
            Report(summary);
        }
    }
    close(fd);
    return failed > 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    ConvertSettings settings;
    settings.preview.folderMode = L"Flat";
    settings.progress = isatty(STDERR_FILENO);
    std::string root, out, watch;
    std::vector<std::string> documents;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
        const std::string* v = nullptr;
        if (arg == "--root" && (v = value()))
            root = *v;
        else if (arg == "--mode" && (v = value()))
            settings.preview.folderMode = FromUtf8(*v);
        else if (arg == "--root-dir" && (v = value()))
            settings.rootFolder = FromUtf8(*v);
        else if (arg == "--url" && (v = value()))
            settings.urlBase = FromUtf8(*v);
        else if (arg == "--threads" && (v = value()))
            settings.threads = std::atoi(v->c_str());
        else if (arg == "--out" && (v = value()))
            out = *v;
        else if (arg == "--watch" && (v = value()))
            watch = *v;
        else if (arg == "--if-changed")
            settings.ifChanged = true;
        else if (arg.rfind("--", 0) == 0)
            return Usage();
        else
            documents.push_back(arg);
    }
    static const wchar_t* const kModes[] = {L"Flat", L"Folder", L"SamePlace", L"eValueNS"};
    if (std::find(std::begin(kModes), std::end(kModes), settings.preview.folderMode) == std::end(kModes))
        return Usage();
    settings.preview.eValueNSMode = settings.preview.folderMode == L"eValueNS";
    settings.preview.previewRoot = FromUtf8(root);

    if (!out.empty()) {
        if (!root.empty() || !watch.empty() || documents.size() != 1)
            return Usage();
        return Report(ConvertAll({JobWithBase(documents[0], FromUtf8(out))}, settings));
    }
    if (root.empty())
        return Usage();
    if (!watch.empty())
        return documents.empty() ? Watch(watch, settings) : Usage();
    if (documents.empty())
        return Usage();

    std::vector<ConvertJob> jobs;
    int unplaced = 0;
    for (const std::string& document : documents) {
        std::string reason;
        if (std::optional<ConvertJob> job = MakeJob(document, settings, reason)) {
            jobs.push_back(std::move(*job));
        } else {
            std::fprintf(stderr, "zov-convert: failed %s: %s\n", document.c_str(), reason.c_str());
            ++unplaced;
        }
    }
    ConvertSummary summary = ConvertAll(jobs, settings);
    summary.failed += unplaced;
    return Report(summary);
}
