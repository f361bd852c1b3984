// The process-wide settings that say where previews live and how a document
// path maps to its preview folder. Written by the page's setup calls, read by
// every loader thread.
#pragma once

#include <string>
#include <string_view>

namespace zov {

struct PreviewSettings {
    // A local folder, a share or an http(s) address.
    std::wstring previewRoot;
    // "Flat", "Folder", "SamePlace" or "eValueNS".
    std::wstring folderMode = L"Flat";
    bool eValueNSMode = false;
    // Downloads go to fkeyBaseUrl + "?fkey=" + the file's key.
    bool fkeyMode = false;
    std::wstring fkeyBaseUrl;
    // The namespace of the document-management service's log operation;
    // part of the service's configuration, like its address.
    std::wstring previewLogNamespace = L"http://tempuri.org/";
};

PreviewSettings GetPreviewSettings();
void SetPreviewSettings(const PreviewSettings& settings);
void SetPreviewRoot(std::wstring_view root);
// Sets the folder mode and, with it, eValueNS mode.
void SetFolderMode(std::wstring_view mode);
// The service address: the fkey base URL and the preview log's endpoint.
void SetFkeyBaseUrl(std::wstring_view baseUrl);
// From now on downloads go through the fkey base URL; never switched off.
void EnableFkeyMode();
void SetPreviewLogNamespace(std::wstring_view serviceNamespace);

// A path or root "is HTTP" when it starts with "http" (which covers https).
bool IsHttp(std::wstring_view path);

// The host part of an address: after "://" up to the first '/' looked for from
// the host's second character on (or to the end); empty without "://".
std::wstring HostPart(std::wstring_view url);
// The address up to that '/': scheme and host.
std::wstring SchemeAndHost(std::wstring_view url);

}  // namespace zov
