// zov-inspect: looks inside the files a preview server holds.
//
//   zov-inspect pagefile FILE [--png OUT-PREFIX]
//   zov-inspect preview --root ROOT [--mode Flat|Folder|SamePlace|eValueNS] PATH
//   zov-inspect list URL-or-FOLDER
//   zov-inspect classify PATH
//
// Exit status: 0 when what was asked for was found, 1 when it was not (no
// page file, no preview, no listing), 2 for a usage error.
#include "documents/FileTypes.h"
#include "documents/FolderListing.h"
#include "documents/PageFile.h"
#include "documents/PreviewPaths.h"
#include "documents/PreviewSource.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/TextFile.h"
#include "platform/image/ImageDecoder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace zov;

// Bytes of a file looked at to tell a status file from a page file; a status
// file's line is read no further than this either.
constexpr std::size_t kStatusPeek = 128;

int Usage() {
    std::fprintf(stderr,
                 "usage: zov-inspect pagefile FILE [--png OUT-PREFIX]\n"
                 "       zov-inspect preview --root ROOT [--mode Flat|Folder|SamePlace|eValueNS] PATH\n"
                 "       zov-inspect list URL-or-FOLDER\n"
                 "       zov-inspect classify PATH\n");
    return 2;
}

const char* StatusName(std::int32_t status) {
    switch (status) {
    case kPreviewSuccess: return "Success";
    case kPreviewCreatingNow: return "CreatingNow";
    case kPreviewFailed: return "Failed";
    case kPreviewWaiting: return "Waiting";
    default: return "none (no status file, or not recognised)";
    }
}

// A path as the reader would type it: addresses with '/' throughout, files
// in their native form (where the tool reads them).
std::string ShownPath(const std::wstring& path) {
    if (IsHttp(path)) {
        std::wstring url = path;
        std::replace(url.begin(), url.end(), L'\\', L'/');
        return ToUtf8(url);
    }
    return NativePath(path);
}

int InspectPreview(const std::string& root, const std::string& mode, const std::string& path) {
    static const char* const kModes[] = {"Flat", "Folder", "SamePlace", "eValueNS"};
    if (std::find(std::begin(kModes), std::end(kModes), mode) == std::end(kModes))
        return Usage();
    PreviewSettings settings;
    settings.previewRoot = FromUtf8(root);
    settings.folderMode = FromUtf8(mode);
    settings.eValueNSMode = mode == "eValueNS";
    SetPreviewSettings(settings);
    const std::wstring document = FromUtf8(path);
    PreviewSource source(document, settings);
    const std::wstring folder = PreviewFolder(document, settings);
    if (folder.empty()) {
        std::printf("preview folder: (none: the path does not map)\n");
    } else {
        std::printf("preview folder: %s\n", ShownPath(folder).c_str());
        std::printf("status file: %s\n", ShownPath(PageFilePath(document, kStatusFile, settings)).c_str());
    }
    std::int32_t status = source.Status();
    std::printf("status: %d %s\n", status, StatusName(status));
    std::optional<std::vector<std::int32_t>> pages = source.PageList();
    if (pages)
        std::printf("page list: %zu entries\n", pages->size());
    else
        std::printf("page list: none\n");
    std::printf("format version: %d\n", source.FormatVersion());
    std::printf("search text: %s\n", source.HasSearchText() ? "yes" : "no");
    if (pages) {
        for (std::size_t n = 1; n <= pages->size(); ++n) {
            std::wstring text;
            if (source.PageText(static_cast<std::int32_t>(n), false, text))
                std::printf("page %zu: %s\n", n, ToUtf8(TrimTrailingSpace(text)).c_str());
            else
                std::printf("page %zu: (cannot be read)\n", n);
        }
    }
    return pages ? 0 : 1;
}

int InspectList(const std::string& where) {
    std::wstring location = FromUtf8(where);
    std::vector<std::wstring> names;
    if (IsHttp(location)) {
        std::optional<std::vector<std::wstring>> listed = GetFolderFiles(L"", L"", location);
        if (!listed) {
            std::fprintf(stderr, "zov-inspect: %s gave no listing\n", where.c_str());
            return 1;
        }
        names = std::move(*listed);
    } else {
        if (!IsFolder(location)) {
            std::fprintf(stderr, "zov-inspect: %s is not a folder\n", where.c_str());
            return 1;
        }
        names = ListLocalFolder(location);
    }
    for (const std::wstring& name : names)
        std::printf("%s\n", ToUtf8(name).c_str());
    return 0;
}

int InspectClassify(const std::string& path) {
    std::wstring wide = FromUtf8(path);
    std::int32_t type = Classify(wide, false);
    std::printf("%d extension \"%s\"%s\n", type, ToUtf8(Extension(wide)).c_str(),
                type == kFileUnknown     ? " (not recognised)"
                : IsFolderType(type)     ? " (folder)"
                : IsPlainImage(type)     ? " (picture, shown directly)"
                : type == kFileBook      ? " (book file, no preview pages)"
                                         : " (document with a preview folder)");
    return type == kFileUnknown ? 1 : 0;
}

void PrintImage(const char* name, const EmbeddedImage& image, std::int64_t fileSize) {
    const bool inFile = image.dataLength >= 0 && image.dataOffset + image.dataLength <= fileSize;
    const bool sized = image.width > 0 && image.height > 0;
    std::printf("%s: %d x %d, pixel block %d bytes, data %d bytes at offset %lld%s%s\n", name, image.width,
                image.height, image.blockSize, image.dataLength, static_cast<long long>(image.dataOffset),
                sized ? "" : " (not a picture size)", inFile ? "" : " (runs past the end of the file)");
}

bool EndsWith(const std::string& text, std::string_view tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool WritePicture(const std::unique_ptr<PixelBuffer>& picture, const std::string& path) {
    if (!picture || picture->Empty()) {
        std::fprintf(stderr, "zov-inspect: no picture for %s\n", path.c_str());
        return false;
    }
    if (!WritePngFile(FromUtf8(path), picture->Pixels(), picture->Width(), picture->Height())) {
        std::fprintf(stderr, "zov-inspect: cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("wrote %s (%d x %d)\n", path.c_str(), picture->Width(), picture->Height());
    return true;
}

int InspectPageFile(const std::string& path, const char* pngPrefix) {
    std::wstring widePath = FromUtf8(path);
    BinaryFile file;
    if (!file.Open(widePath)) {
        std::fprintf(stderr, "zov-inspect: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
        return 1;
    }
    const std::int64_t size = file.Size();
    std::printf("file: %s (%lld bytes)\n", path.c_str(), static_cast<long long>(size));
    // A preview folder also holds its status file, named like a page file:
    // its text would read as a header and nonsense picture sizes.
    if (std::optional<std::string> start = ReadRegularFile(widePath, kStatusPeek);
        start && start->compare(0, kStatusPrefix.size(), kStatusPrefix) == 0) {
        const std::int32_t status = StatusFromText(*start);
        const std::string line = start->substr(0, start->find_first_of("\r\n"));
        std::printf("a preview status file, not a page file: \"%s\"\n", line.c_str());
        std::printf("status: %d %s\n", status, StatusName(status));
        return 1;
    }
    std::optional<PageFileLayout> layout = WalkPageFile(file);
    if (!layout) {
        std::fprintf(stderr, "zov-inspect: %s is too short to be a page file\n", path.c_str());
        return 1;
    }
    const std::uint32_t header = layout->header;
    const std::int32_t version = HeaderVersion(header);
    const std::int32_t type = HeaderImageType(header);
    const bool pageFile = version >= 1 && version <= 10 && type >= 2 && type <= 8;
    std::printf("header word: 0x%08X\n", header);
    std::printf("  extended header: %s\n", HeaderExtended(header) ? "yes" : "no");
    std::printf("  version: %d%s\n", version, version >= 1 && version <= 10 ? "" : " (not a page file version)");
    std::printf("  image type: %d%s\n", type, type >= 2 && type <= 8 ? "" : " (unknown: the viewer rejects it)");
    if (!pageFile) {
        // What follows the header means nothing in such a file.
        if (header == 0 && EndsWith(path, "_s.txt"))
            std::printf("a search text file, not a page file\n");
        else
            std::printf("not a page file: the viewer reads no picture, text or page list from it\n");
        return 1;
    }
    if (layout->image1)
        PrintImage("image 1", *layout->image1, size);
    else
        std::printf("image 1: cut off\n");
    if (!layout->image2Flag)
        std::printf("image 2: cut off before its flag\n");
    else if (*layout->image2Flag == 0)
        std::printf("image 2: none\n");
    else if (layout->image2)
        PrintImage("image 2", *layout->image2, size);
    else
        std::printf("image 2: cut off\n");
    if (version >= 2) {
        if (layout->textOffset) {
            std::optional<std::wstring> text = ReadUtf8Line(widePath, static_cast<std::uint64_t>(*layout->textOffset),
                                                            static_cast<std::size_t>(std::max(layout->textLength, 0)));
            std::string line = text ? ToUtf8(TrimTrailingSpace(*text)) : "";
            std::printf("text: %d bytes at offset %lld: %s\n", layout->textLength,
                        static_cast<long long>(*layout->textOffset), line.c_str());
        } else {
            std::printf("text: cut off\n");
        }
    }
    if (version >= 3 && layout->versionThreeLength)
        std::printf("version 3 block: %d bytes\n", *layout->versionThreeLength);
    if (std::optional<std::vector<std::int32_t>> pages = ReadPageList(file)) {
        std::printf("page list: %zu entries:", pages->size());
        for (std::int32_t value : *pages)
            std::printf(" %d", value);
        std::printf("\n");
    } else {
        std::printf("page list: none (it cannot be read)\n");
    }
    if (!pngPrefix)
        return 0;
    bool ok = WritePicture(ReadImage(file), std::string(pngPrefix) + "-1.png");
    if (layout->image2)
        ok = WritePicture(ReadPreferredImage(file), std::string(pngPrefix) + "-2.png") && ok;
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "pagefile") {
        const char* pngPrefix = nullptr;
        if (args.size() == 4 && args[2] == "--png")
            pngPrefix = argv[4];
        else if (args.size() != 2)
            return Usage();
        return InspectPageFile(args[1], pngPrefix);
    }
    if (!args.empty() && args[0] == "preview") {
        std::string root, mode = "Flat", path;
        for (std::size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "--root" && i + 1 < args.size())
                root = args[++i];
            else if (args[i] == "--mode" && i + 1 < args.size())
                mode = args[++i];
            else if (path.empty())
                path = args[i];
            else
                return Usage();
        }
        if (root.empty() || path.empty())
            return Usage();
        return InspectPreview(root, mode, path);
    }
    if (args.size() == 2 && args[0] == "list")
        return InspectList(args[1]);
    if (args.size() == 2 && args[0] == "classify")
        return InspectClassify(args[1]);
    return Usage();
}
