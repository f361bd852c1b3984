#include "platform/DataFolder.h"

#include "platform/Encoding.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace zov {

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string HomeFolder() {
    std::string home = Environment("HOME");
    if (!home.empty())
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/tmp";
}

}  // namespace

std::wstring LocalAppDataFolder() {
    std::string folder = Environment("ZOV_DATA_HOME");
    if (folder.empty()) {
        // A relative XDG_DATA_HOME is invalid and must be ignored.
        folder = Environment("XDG_DATA_HOME");
        if (folder.empty() || folder.front() != '/')
            folder = HomeFolder() + "/.local/share";
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return FromUtf8(folder);
}

std::wstring UserDataFolder() {
    return LocalAppDataFolder() + L"\\ZOVuvazaR\\";
}

}  // namespace zov
