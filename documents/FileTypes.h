// The file type code of a path: decides whether a document is a folder, a
// plain image shown from its own pixels, or a document with a preview folder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zov {

enum FileType : std::int32_t {
    kFileUnknown = 0,
    kFileXps = 1,
    kFilePresentation = 2,
    kFileText = 3,
    kFileSpreadsheet = 4,
    kFilePdf = 5,
    kFileBmp = 6,
    kFilePng = 7,
    kFileJpeg = 8,
    kFileJpeg2000 = 9,
    kFileTiff = 10,
    kFileGif = 11,
    kFileWebPage = 12,
    kFileFolder = 13,
    kFileFolderToo = 14,  // never produced here; counts as a folder wherever folders are tested
    kFileDwf = 16,
    kFileDwg = 17,
    kFileDxf = 18,
    kFileJwCad = 20,
    kFileXdw = 21,
    kFileBook = 22,  // a book file: no preview pages of its own
    kFileDocumentKey = 25,
};

constexpr bool IsPlainImage(std::int32_t type) {
    return type >= kFileBmp && type <= kFileGif;
}
constexpr bool IsFolderType(std::int32_t type) {
    return type == kFileFolder || type == kFileFolderToo;
}

// The lower-cased extension with its dot when it has 3 or 4 letters, else
// empty: "a.ppt" gives ".ppt", "d.ai" gives "".
std::wstring Extension(std::wstring_view path);

// The file type code; in eValueNS mode a path without an extension is a
// document key.
std::int32_t Classify(std::wstring_view path, bool eValueNSMode);
// The same with the process-wide eValueNS mode.
std::int32_t Classify(std::wstring_view path);

}  // namespace zov
