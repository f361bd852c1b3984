#include "documents/PreviewSettings.h"

#include <mutex>

namespace zov {

namespace {

std::mutex& SettingsLock() {
    static auto* lock = new std::mutex;
    return *lock;
}

PreviewSettings& Settings() {
    static auto* settings = new PreviewSettings;
    return *settings;
}

// Where the host part ends: the first '/' from the host's second character
// on, or the end.
std::size_t HostEnd(std::wstring_view url, std::size_t hostStart) {
    std::size_t slash = url.find(L'/', hostStart + 1);
    return slash == std::wstring_view::npos ? url.size() : slash;
}

}  // namespace

PreviewSettings GetPreviewSettings() {
    std::lock_guard<std::mutex> guard(SettingsLock());
    return Settings();
}

void SetPreviewSettings(const PreviewSettings& settings) {
    std::lock_guard<std::mutex> guard(SettingsLock());
    Settings() = settings;
}

void SetPreviewRoot(std::wstring_view root) {
    std::lock_guard<std::mutex> guard(SettingsLock());
    Settings().previewRoot = root;
}

void SetFolderMode(std::wstring_view mode) {
    std::lock_guard<std::mutex> guard(SettingsLock());
    Settings().folderMode = mode;
    Settings().eValueNSMode = mode == L"eValueNS";
}

void SetFkeyBaseUrl(std::wstring_view baseUrl) {
    std::lock_guard<std::mutex> guard(SettingsLock());
    Settings().fkeyBaseUrl = baseUrl;
}

void EnableFkeyMode() {
    std::lock_guard<std::mutex> guard(SettingsLock());
    Settings().fkeyMode = true;
}

void SetPreviewLogNamespace(std::wstring_view serviceNamespace) {
    std::lock_guard<std::mutex> guard(SettingsLock());
    Settings().previewLogNamespace = serviceNamespace;
}

bool IsHttp(std::wstring_view path) {
    return path.substr(0, 4) == L"http";
}

std::wstring HostPart(std::wstring_view url) {
    std::size_t marker = url.find(L"://");
    if (marker == std::wstring_view::npos)
        return {};
    std::size_t start = marker + 3;
    if (start >= url.size())
        return {};
    return std::wstring(url.substr(start, HostEnd(url, start) - start));
}

std::wstring SchemeAndHost(std::wstring_view url) {
    std::size_t marker = url.find(L"://");
    if (marker == std::wstring_view::npos)
        return {};
    std::size_t start = marker + 3;
    if (start >= url.size())
        return std::wstring(url);
    return std::wstring(url.substr(0, HostEnd(url, start)));
}

}  // namespace zov
