#include "documents/FileTypes.h"

#include "documents/PreviewSettings.h"

#include <cwctype>

namespace zov {

namespace {

struct ExtensionCode {
    const wchar_t* extension;
    std::int32_t code;
};

// First match wins, in this order.
constexpr ExtensionCode kExtensions[] = {
    {L".xps", kFileXps},       {L".ppt", kFilePresentation}, {L".pptx", kFilePresentation},
    {L".txt", kFileText},      {L".rtf", kFileText},         {L".doc", kFileText},
    {L".docx", kFileText},     {L".xls", kFileSpreadsheet},  {L".xlsx", kFileSpreadsheet},
    {L".pdf", kFilePdf},       {L".bmp", kFileBmp},          {L".png", kFilePng},
    {L".jpg", kFileJpeg},      {L".jpf", kFileJpeg2000},     {L".jpx", kFileJpeg2000},
    {L".jp2", kFileJpeg2000},  {L".j2k", kFileJpeg2000},     {L".j2c", kFileJpeg2000},
    {L".jpc", kFileJpeg2000},  {L".tif", kFileTiff},         {L".tiff", kFileTiff},
    {L".gif", kFileGif},       {L".htm", kFileWebPage},      {L".html", kFileWebPage},
    {L".url", kFileWebPage},   {L".dwf", kFileDwf},          {L".dwg", kFileDwg},
    {L".dxf", kFileDxf},       {L".jww", kFileJwCad},        {L".jwc", kFileJwCad},
    {L".xdw", kFileXdw},       {L".cvb", kFileBook},
};

}  // namespace

std::wstring Extension(std::wstring_view path) {
    const std::size_t n = path.size();
    if (n <= 4)
        return {};
    std::wstring extension;
    if (path[n - 4] == L'.')
        extension = path.substr(n - 4);
    else if (path[n - 5] == L'.')
        extension = path.substr(n - 5);
    for (wchar_t& c : extension)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return extension;
}

std::int32_t Classify(std::wstring_view path, bool eValueNSMode) {
    if (path.empty())
        return kFileUnknown;
    if (path.back() == L'/' || path.back() == L'\\')
        return kFileFolder;
    std::wstring extension = Extension(path);
    if (eValueNSMode && extension.empty())
        return kFileDocumentKey;
    for (const ExtensionCode& entry : kExtensions) {
        if (extension == entry.extension)
            return entry.code;
    }
    return kFileUnknown;
}

std::int32_t Classify(std::wstring_view path) {
    return Classify(path, GetPreviewSettings().eValueNSMode);
}

}  // namespace zov
