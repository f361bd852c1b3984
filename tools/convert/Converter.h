// The converter: turns documents into the preview folders the viewer reads.
// For each document it writes a status file (Waiting, CreatingNow, then
// Success or Failed, each replaced whole), one page file per page and one
// search text file per page.
//
// Page files are format version 3, image type 5: image 1 is a small JPEG
// picture for the desk (longer side kSmallLongSide pixels, quality
// kSmallQuality), image 2 the preferred picture for reading (kLargeDpi,
// longer side at most kLargeLongSideMax pixels, quality kLargeQuality). The
// page text is one line of UTF-8; page file 1 carries the page list.
#pragma once

#include "documents/PreviewSettings.h"

#include <optional>
#include <string>
#include <vector>

namespace zov {

inline constexpr int kSmallLongSide = 360;
inline constexpr int kSmallQuality = 80;
inline constexpr double kLargeDpi = 150;
inline constexpr int kLargeLongSideMax = 2400;
inline constexpr int kLargeQuality = 85;

struct ConvertSettings {
    // The preview root and folder mode the viewer uses.
    PreviewSettings preview;
    // When the preview root is an address: the local folder the web server
    // serves it from, where the files are written.
    std::wstring rootFolder;
    // When given, the viewer sees each document at this address + its file
    // name; otherwise at its absolute local path.
    std::wstring urlBase;
    int threads = 0;  // 0: one per core
    // Skip documents whose preview says Success and is newer than they are.
    bool ifChanged = false;
    bool progress = false;
};

struct ConvertJob {
    std::string file;         // the document, native path
    std::wstring viewerPath;  // the path the viewer will be given
    std::wstring base;        // page file names are appended to it
};

struct ConvertSummary {
    int converted = 0;
    int failed = 0;
    int skipped = 0;
    int unchanged = 0;
    int pages = 0;
    double seconds = 0;
};

// The job for `file` under the settings' root and mode; nothing (with the
// reason) when its preview folder cannot be placed.
std::optional<ConvertJob> MakeJob(const std::string& file, const ConvertSettings& settings, std::string& reason);
// The job for `file` with an explicit preview folder prefix.
ConvertJob JobWithBase(const std::string& file, const std::wstring& base);

// Converts every job; failures are reported on stderr, one line each, and do
// not stop the batch.
ConvertSummary ConvertAll(const std::vector<ConvertJob>& jobs, const ConvertSettings& settings);

}  // namespace zov
