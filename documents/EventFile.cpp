#include "documents/EventFile.h"

#include "platform/DataFolder.h"
#include "platform/FileSystem.h"

#include <cstdio>
#include <cwctype>
#include <string>

namespace zov {

namespace {

bool ReplaceEvery(std::wstring& text, std::wstring_view placeholder, std::wstring_view value) {
    bool found = false;
    for (std::size_t at = text.find(placeholder); at != std::wstring::npos;
         at = text.find(placeholder, at + value.size())) {
        text.replace(at, placeholder.size(), value);
        found = true;
    }
    return found;
}

}  // namespace

std::wstring EventFolder() {
    return UserDataFolder() + L"Event\\";
}

std::wstring EventFileName(std::uint32_t instanceId) {
    wchar_t name[16];
    std::swprintf(name, 16, L"%08X.txt", instanceId);
    return name;
}

bool WriteEvent(std::wstring_view urlTemplate, std::uint32_t instanceId, std::wstring_view caption,
                std::wstring_view documentId, std::wstring_view path) {
    try {
        if (caption.empty() || urlTemplate.empty())
            return false;
        std::size_t firstText = 0;
        while (firstText < caption.size() && std::iswspace(static_cast<wint_t>(caption[firstText])))
            ++firstText;
        if (firstText == caption.size())
            return false;
        std::wstring url(urlTemplate);
        bool replaced = url.find(L"%id%") != std::wstring::npos ? ReplaceEvery(url, L"%id%", documentId)
                                                                 : ReplaceEvery(url, L"%key%", path);
        if (!replaced || url.size() > kMaxEventUrl)
            return false;
        std::string bytes;
        for (wchar_t c : url) {
            char byte = static_cast<char>(static_cast<std::uint32_t>(c) & 0xFF);
            if (byte == 0)
                break;
            bytes += byte;
        }
        DeleteTree(EventFolder());
        if (!CreateFolderTree(EventFolder()))
            return false;
        // Written aside and renamed, so that the relay never reads half an
        // address.
        return WriteFileAtomically(EventFolder() + EventFileName(instanceId), bytes);
    } catch (...) {
        return false;
    }
}

}  // namespace zov
