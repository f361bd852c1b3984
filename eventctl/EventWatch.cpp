#include "eventctl/EventWatch.h"

#include "platform/DataFolder.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace zov {

namespace {

std::wstring EventPathWith(std::uint32_t eventId, const char* format) {
    char name[16];
    std::snprintf(name, sizeof name, format, static_cast<unsigned>(eventId));
    return LocalAppDataFolder() + L"\\ZOVuvazaR\\Event\\" + FromUtf8(name) + L".txt";
}

// The first line of the bytes as a text-mode stream reads it: CR LF is "\n",
// at most kEventLineChars characters, nothing from a zero byte on.
std::wstring FirstLine(const std::string& bytes) {
    std::string line;
    for (std::size_t i = 0; i < bytes.size() && line.size() < kEventLineChars; ++i) {
        char c = bytes[i];
        if (c == '\0')
            break;
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        line.push_back(c);
        if (c == '\n')
            break;
    }
    return FromCp932(line);
}

EventFileState ReadOne(const std::string& nativePath) {
    EventFileState state;
    // The folder is shared with every process of the user: no link is
    // followed there.
    const int fd = OpenRegularFileDescriptor(nativePath, Links::NotFollowed);
    if (fd < 0)
        return state;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return state;
    }
    // Enough bytes for the longest line in code page 932, CR LF included.
    std::string bytes(kEventLineChars * 2 + 2, '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(got);
    state.nativePath = nativePath;
    state.size = static_cast<std::uint64_t>(info.st_size);
    state.inode = static_cast<std::uint64_t>(info.st_ino);
    state.modified = std::chrono::seconds(info.st_mtim.tv_sec) + std::chrono::nanoseconds(info.st_mtim.tv_nsec);
    if (bytes.empty()) {
        state.kind = EventFileState::Kind::Empty;
        return state;
    }
    state.kind = EventFileState::Kind::Line;
    state.line = FirstLine(bytes);
    return state;
}

}  // namespace

std::wstring WatchedEventPath(std::uint32_t eventId) {
    return EventPathWith(eventId, "%08x");
}

EventFileState ReadEventFile(std::uint32_t eventId) {
    EventFileState state = ReadOne(NativePath(WatchedEventPath(eventId)));
    if (state.kind != EventFileState::Kind::Missing)
        return state;
    const std::wstring upper = EventPathWith(eventId, "%08X");
    if (upper == WatchedEventPath(eventId))
        return state;
    return ReadOne(NativePath(upper));
}

}  // namespace zov
