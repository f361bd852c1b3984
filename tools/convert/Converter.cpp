#include "tools/convert/Converter.h"

#include "documents/FileTypes.h"
#include "documents/PageFileWriter.h"
#include "documents/PreviewPaths.h"
#include "documents/PreviewSource.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/image/ImageDecoder.h"
#include "tools/convert/Downscale.h"
#include "tools/convert/OfficeToPdf.h"
#include "tools/convert/PdfPages.h"
#include "tools/convert/Progress.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <thread>

namespace zov {

namespace fs = std::filesystem;

namespace {


std::wstring StatusPath(const ConvertJob& job) {
    return job.base + PageFileName(kStatusFile);
}

bool WriteStatus(const ConvertJob& job, std::string_view state) {
    std::string line = std::string(kStatusPrefix) + std::string(state) + "\r\n";
    return WriteFileAtomically(StatusPath(job), line);
}

std::string ReadStart(const std::wstring& path, std::size_t count) {
    std::ifstream in(NativePath(path), std::ios::binary);
    std::string bytes(count, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

bool Unchanged(const ConvertJob& job) {
    std::wstring status = StatusPath(job);
    if (StatusFromText(ReadStart(status, 128)) != kPreviewSuccess)
        return false;
    auto previewTime = ModificationTime(status);
    auto documentTime = ModificationTime(FromUtf8(job.file));
    return previewTime && documentTime && *previewTime >= *documentTime;
}

JpegPicture Jpeg(const RgbView& view) {
    return {view.pixels, view.width, view.height, view.stride, JpegInput::Rgb};
}

// The small picture's size: its longer side kSmallLongSide, the other in
// proportion to the page, as a render at that size would make it.
std::pair<std::int32_t, std::int32_t> SmallSize(const PdfPage& page) {
    const double w = page.WidthPoints();
    const double h = page.HeightPoints();
    const double longSide = std::max(w, h);
    auto side = [&](double points) {
        return std::clamp(static_cast<std::int32_t>(std::lround(points * kSmallLongSide / longSide)), 1,
                          kSmallLongSide);
    };
    return {side(w), side(h)};
}

// One page into its page file and search text file: rendered once, the
// small picture made from the large one, the text read from the same page.
// False with `reason` set when it could not be done.
bool ConvertPage(const PdfFile& pdf, JpegEncoder& jpeg, int index, int pageCount, const ConvertJob& job,
                 std::string& reason) {
    const std::string which = "page " + std::to_string(index + 1);
    std::optional<PdfPage> page = pdf.Page(index);
    const double points = page ? std::max(page->WidthPoints(), page->HeightPoints()) : 0;
    if (!page || !(points > 0)) {
        reason = which + " cannot be rendered";
        return false;
    }
    const int largeSide = std::clamp(static_cast<int>(std::lround(points * kLargeDpi / 72.0)), 1, kLargeLongSideMax);
    std::optional<RenderedPage> large = page->Render(72.0 * largeSide / points);
    if (!large) {
        reason = which + " cannot be rendered";
        return false;
    }
    const auto [smallWidth, smallHeight] = SmallSize(*page);
    const RgbView big = large->View();
    PageFileContent content;
    content.version = 3;
    content.imageType = 5;
    if (smallWidth <= big.width && smallHeight <= big.height) {
        const RgbImage small = AreaDownscale(big, smallWidth, smallHeight);
        content.image1 = PageFileImage{small.width, small.height, 0, jpeg.Encode(Jpeg(small.View()), kSmallQuality)};
    } else {
        // A page smaller than the small picture at reading resolution is
        // drawn again at the small size rather than blown up.
        std::optional<RenderedPage> small = page->Render(72.0 * kSmallLongSide / points);
        if (!small) {
            reason = which + " cannot be rendered";
            return false;
        }
        const RgbView view = small->View();
        content.image1 = PageFileImage{view.width, view.height, 0, jpeg.Encode(Jpeg(view), kSmallQuality)};
    }
    content.image2 = PageFileImage{big.width, big.height, 0, jpeg.Encode(Jpeg(big), kLargeQuality)};
    if (content.image1.data.empty() || content.image2->data.empty()) {
        reason = which + " cannot be encoded";
        return false;
    }
    large.reset();
    content.text = page->Text();
    if (index == 0)
        content.pageList = std::vector<std::int32_t>(static_cast<std::size_t>(pageCount), 1);
    const std::wstring pageFile = job.base + PageFileName(index + 1);
    // The search text: four zero bytes, six more reserved, then the line.
    std::string search(10, '\0');
    search += content.text + "\n";
    if (!WritePageFile(pageFile, content) || !WriteFileAtomically(SearchTextName(pageFile), search)) {
        reason = "cannot write " + ToUtf8(pageFile);
        return false;
    }
    return true;
}

// Pages left from an earlier, longer version of the document.
void RemoveStalePages(const ConvertJob& job, int pageCount) {
    for (int n = pageCount + 1;; ++n) {
        std::wstring pageFile = job.base + PageFileName(n);
        if (!PathExists(pageFile))
            break;
        RemoveFile(pageFile);
        RemoveFile(SearchTextName(pageFile));
    }
}

// The pages of the document in `bytes`, `first` already open on it, on up
// to `threads` threads; each further thread opens its own PdfFile on the
// same bytes.
bool RenderPages(const std::shared_ptr<const PdfBytes>& bytes, const PdfFile& first, int pageCount,
                 const ConvertJob& job, int threads, Progress& progress, std::string& reason) {
    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    std::mutex reasonLock;
    auto fail = [&](const std::string& why) {
        std::lock_guard<std::mutex> guard(reasonLock);
        if (!failed.exchange(true))
            reason = why;
    };
    auto work = [&](const PdfFile& pdf) {
        JpegEncoder jpeg;
        std::string why;
        for (int index = next++; index < pageCount && !failed; index = next++) {
            if (!ConvertPage(pdf, jpeg, index, pageCount, job, why)) {
                fail(why);
                return;
            }
            progress.PageDone();
        }
    };
    std::vector<std::thread> workers;
    const int count = std::max(1, std::min(threads, pageCount));
    if (count > 1) {
        // Poppler sets up its colour profiles lazily in process-wide state;
        // one small render before the threads start does it on one thread.
        static std::once_flag warmed;
        std::call_once(warmed, [&first] {
            if (std::optional<PdfPage> page = first.Page(0))
                page->Render(4);
        });
    }
    for (int i = 1; i < count; ++i) {
        workers.emplace_back([&] {
            PdfFile pdf;
            std::string why;
            if (!pdf.Open(bytes, why)) {
                fail(why);
                return;
            }
            work(pdf);
        });
    }
    work(first);
    for (std::thread& worker : workers)
        worker.join();
    return !failed;
}

// True when every page was written.
bool ConvertDocument(const ConvertJob& job, int threads, Progress& progress, int& pages, std::string& reason) {
    const std::int32_t type = Classify(FromUtf8(job.file), false);
    PdfConversion converted;
    std::string pdfPath = job.file;
    if (type == kFileXps || type == kFilePresentation || type == kFileText || type == kFileSpreadsheet) {
        converted = type == kFileXps ? XpsToPdf(job.file) : OfficeToPdf(job.file);
        if (!converted.ok) {
            reason = converted.reason;
            if (!converted.folder.empty())
                fs::remove_all(converted.folder);
            return false;
        }
        pdfPath = converted.pdf;
    }
    bool done = false;
    // The document is read once; every thread parses it from memory.
    std::shared_ptr<const PdfBytes> bytes = PdfBytes::Read(pdfPath, reason);
    PdfFile pdf;
    if (bytes && pdf.Open(bytes, reason)) {
        pages = pdf.PageCount();
        progress.AddPages(pages);
        if (RenderPages(bytes, pdf, pages, job, threads, progress, reason)) {
            RemoveStalePages(job, pages);
            done = true;
        }
    }
    if (!converted.folder.empty())
        fs::remove_all(converted.folder);
    return done;
}

bool Convertible(std::int32_t type) {
    return type == kFilePdf || type == kFileXps || type == kFilePresentation || type == kFileText ||
           type == kFileSpreadsheet;
}

}  // namespace

std::optional<ConvertJob> MakeJob(const std::string& file, const ConvertSettings& settings, std::string& reason) {
    ConvertJob job;
    job.file = file;
    std::error_code error;
    fs::path absolute = fs::absolute(file, error);
    if (!settings.urlBase.empty()) {
        std::wstring base = settings.urlBase;
        if (base.back() != L'/')
            base += L'/';
        job.viewerPath = base + FromUtf8(fs::path(file).filename().string());
    } else {
        job.viewerPath = FromUtf8((error ? fs::path(file) : absolute).string());
    }
    std::wstring folder = PreviewFolder(job.viewerPath, settings.preview);
    if (folder.empty()) {
        reason = "its path gives no preview folder in this mode";
        return std::nullopt;
    }
    const std::wstring& root = settings.preview.previewRoot;
    if (IsHttp(root)) {
        if (settings.rootFolder.empty()) {
            reason = "the preview root is an address: give --root-dir, the folder it is served from";
            return std::nullopt;
        }
        folder = settings.rootFolder + folder.substr(root.size());
    }
    job.base = folder;
    return job;
}

ConvertJob JobWithBase(const std::string& file, const std::wstring& base) {
    ConvertJob job;
    job.file = file;
    job.viewerPath = FromUtf8(file);
    job.base = base;
    return job;
}

ConvertSummary ConvertAll(const std::vector<ConvertJob>& jobs, const ConvertSettings& settings) {
    const auto start = std::chrono::steady_clock::now();
    ConvertSummary summary;
    const int threads = settings.threads > 0 ? settings.threads
                                             : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    Progress progress(settings.progress, static_cast<int>(jobs.size()));

    // Every document is marked Waiting before the first is converted, so
    // that the viewer can tell queued ones from missing ones.
    enum class Plan { Skip, Unchanged, Failed, Queued };
    std::vector<Plan> plans;
    for (const ConvertJob& job : jobs) {
        const std::int32_t type = Classify(FromUtf8(job.file), false);
        if (!Convertible(type)) {
            // Pictures need no preview: the viewer shows them as they are.
            if (!IsPlainImage(type))
                progress.Say("zov-convert: skipped " + job.file + ": not a document type it converts");
            plans.push_back(Plan::Skip);
            continue;
        }
        if (std::FILE* readable = std::fopen(job.file.c_str(), "rb")) {
            std::fclose(readable);
        } else {
            progress.Say("zov-convert: failed " + job.file + ": cannot read it: " + std::strerror(errno));
            plans.push_back(Plan::Failed);
            continue;
        }
        if (settings.ifChanged && Unchanged(job)) {
            plans.push_back(Plan::Unchanged);
            continue;
        }
        std::wstring folder = job.base.substr(0, job.base.find_last_of(L"\\/"));
        if (!CreateFolderTree(folder) || !WriteStatus(job, "Waiting")) {
            progress.Say("zov-convert: failed " + job.file + ": cannot write its preview folder " + ToUtf8(folder));
            plans.push_back(Plan::Failed);
            continue;
        }
        plans.push_back(Plan::Queued);
    }

    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const ConvertJob& job = jobs[i];
        switch (plans[i]) {
        case Plan::Skip: ++summary.skipped; break;
        case Plan::Unchanged: ++summary.unchanged; break;
        case Plan::Failed: ++summary.failed; break;
        case Plan::Queued: {
            WriteStatus(job, "CreatingNow");
            int pages = 0;
            std::string reason;
            if (ConvertDocument(job, threads, progress, pages, reason) && WriteStatus(job, "Success")) {
                ++summary.converted;
                summary.pages += pages;
            } else {
                WriteStatus(job, "Failed");
                progress.Say("zov-convert: failed " + job.file + ": " +
                             (reason.empty() ? std::string("cannot write its status file") : reason));
                ++summary.failed;
            }
            break;
        }
        }
        progress.DocumentDone();
    }
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return summary;
}

}  // namespace zov
