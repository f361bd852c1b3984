// What the event relay control reads: the event file a viewer writes for a
// clicked caption, named by the viewer's instance number.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace zov {

// Longest first line taken from an event file, in characters; the rest of
// the file is never read.
inline constexpr std::size_t kEventLineChars = 1023;

// LocalAppDataFolder() + "\ZOVuvazaR\Event\%08x.txt".
std::wstring WatchedEventPath(std::uint32_t eventId);

struct EventFileState {
    enum class Kind { Missing, Empty, Line };
    Kind kind = Kind::Missing;
    // The first line as read, its "\n" included when it has one (CR LF reads
    // as "\n"), cut before a zero byte, decoded from code page 932.
    std::wstring line;
    // The file as it was read (its real name), to be deleted and, when it
    // cannot be, told apart from a new event.
    std::string nativePath;
    std::chrono::nanoseconds modified{0};
    std::uint64_t size = 0;
    std::uint64_t inode = 0;
};

// Reads the event file of `eventId`. The viewer writes the name with upper-
// case digits and the relay looks for lower-case ones; on a file system that
// tells them apart both are tried. Only a regular file is read (a link, a
// folder, a pipe count as missing).
EventFileState ReadEventFile(std::uint32_t eventId);

}  // namespace zov
