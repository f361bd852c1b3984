#include "workwin/Launch.h"

#include "platform/Encoding.h"

namespace zov {

namespace {

// The caption comes from a page's list or a server: nothing in it may become
// markup of a page the container serves on its own origin.
std::wstring EscapeHtml(std::wstring_view text) {
    std::wstring escaped;
    escaped.reserve(text.size());
    for (wchar_t c : text) {
        switch (c) {
        case L'&': escaped += L"&amp;"; break;
        case L'<': escaped += L"&lt;"; break;
        case L'>': escaped += L"&gt;"; break;
        case L'"': escaped += L"&quot;"; break;
        case L'\'': escaped += L"&#39;"; break;
        default: escaped.push_back(c < 0x20 ? L' ' : c);
        }
    }
    return escaped;
}

// One item of an angle list on a line of its own: a line break would start
// another command, and an angle bracket another item.
std::wstring ListItem(std::wstring_view text) {
    std::wstring item;
    for (wchar_t c : text)
        item.push_back(c == L'\r' || c == L'\n' || c == L'\t' || c == L'<' || c == L'>' ? L' ' : c);
    return item;
}

// The preview root may be an angle list itself; only line breaks go.
std::wstring OneLine(std::wstring_view text) {
    std::wstring line(text);
    for (wchar_t& c : line)
        if (c == L'\r' || c == L'\n')
            c = L' ';
    return line;
}

}  // namespace

std::string BuildLaunchPage(std::wstring_view caption) {
    std::wstring page;
    page += L"<html><head>\r\n";
    page += L"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\" />\r\n";
    page += L"<meta http-equiv=\"X-UA-Compatible\" content=\"IE=emulateIE7\" />\r\n";
    page += L"<title>" + EscapeHtml(caption) + L" | " + std::wstring(kServiceDisplayName) + L"</title>\r\n";
    // The element's script and a window the element fills.
    page += L"<script src=\"/zov.js\"></script>\r\n";
    page += L"<style>html, body { height: 100%; margin: 0; overflow: hidden; }</style>\r\n";
    page += L"<body onload=\"CVAOnLoad()\">\r\n";
    page += L"<zov-viewer id=\"CVACtrl\" style=\"width: 100%; height: 100%; display: block\">\r\n";
    page += L"</zov-viewer>\r\n";
    page += L"<script language=\"javascript\"> \r\n";
    page += L"function CVAOnLoad()\r\n{\n}\r\n";
    page += L"</script></body></html>\r\n";
    return ToUtf8(page);
}

std::wstring LaunchStartupArgs(std::wstring_view previewRoot, std::wstring_view path, std::wstring_view caption) {
    std::wstring args = L"SetUp\nja\nC0C0C0\nfalse\nloginId\n";
    args += OneLine(previewRoot) + L"\nFolder\nfalse\n";
    args += L"ShowFiles\n<" + ListItem(path) + L">\n<" + ListItem(caption) + L">\n";
    args += L"ZoomUpFirstObject\n";
    return args;
}

}  // namespace zov
