// The files through which work windows in other browser windows (often other
// processes) meet: the per-host coordination folder, the files-to-add file
// and the markers each work window keeps of what it shows.
//
// Everything read here was written by another process, or named by a page or
// a server: hosts must be plain folder names, only regular files are read
// (links are not followed), and sizes, lines and items are bounded.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zov {

inline constexpr std::wstring_view kAddFilesFileName = L"AddFiles.txt";
inline constexpr std::wstring_view kMarkerPrefix = L"WorkWindow_";
// A host names one folder; longer names no file system holds.
inline constexpr std::size_t kMaxHostBytes = 255;
// Lines of a marker are read in pieces of at most this many characters.
inline constexpr std::size_t kMarkerLineChars = 1023;
// A marker holds one path per book; a desk of a few thousand books fits.
inline constexpr std::size_t kMaxMarkerBytes = 4 << 20;
inline constexpr std::size_t kMaxMarkerLines = 20000;
// The files-to-add file holds two lists; larger files are not taken in.
inline constexpr std::size_t kMaxAddFilesBytes = 2 << 20;
// Books one intake adds at most; the rest of the list is dropped.
inline constexpr std::size_t kMaxAddedBooks = 1000;
// Folder entries looked at when markers are listed; a folder flooded with
// names is not walked to its end.
inline constexpr std::size_t kMaxFolderEntries = 100000;
// A marker that cannot be deleted is tried again this often, this far apart,
// so that the page's thread is never held for ever.
inline constexpr int kMarkerDeleteRetries = 4;
inline constexpr std::chrono::milliseconds kMarkerDeleteRetryPause{500};

// The host a location text names, lower-cased: "localhost" unless the text
// says otherwise; an address gives its host part; an angle list the host
// part of its last token that is not empty and does not begin with a blank;
// a local path gives the empty host. Nothing when the host is no plain
// folder name (empty for an address, "." or "..", a separator or control
// character in it, or longer than kMaxHostBytes in UTF-8).
std::optional<std::wstring> CoordinationHost(std::wstring_view location);

// The per-user data folder followed by the location's host and '\' (the
// data folder itself for the empty host), created when missing. Nothing for
// a bad host, a folder that would lie outside the data folder, is no real
// folder (a link), or cannot be made.
std::optional<std::wstring> CoordinationFolder(std::wstring_view location);

// The files-to-add file of a coordination folder.
std::wstring AddFilesPath(std::wstring_view folder);
// Replaces the files-to-add file with the two lists, each followed by
// "\r\n" as a text stream writes it (CR CR LF), in code page 932. A reader
// sees the old file or the whole new one.
bool WriteAddFilesFile(std::wstring_view folder, std::wstring_view paths, std::wstring_view captions);

struct AddFilesContent {
    std::wstring paths;
    std::wstring captions;
};
// The first two white-space-delimited words of the file. Nothing when it is
// no regular file (links are not followed) or larger than kMaxAddFilesBytes;
// a missing word reads as empty.
std::optional<AddFilesContent> ReadAddFilesFile(std::wstring_view path);

struct AddedFile {
    std::wstring path;
    std::wstring caption;
};
// The files the two angle lists name, item by item in lock step; path items
// of one character or none are skipped. At most kMaxAddedBooks.
std::vector<AddedFile> AddedFiles(std::wstring_view paths, std::wstring_view captions);

// "WorkWindow_" + the handle as eight upper-case hexadecimal digits + ".txt".
std::wstring MarkerName(std::uint32_t handle);
// The handle a marker's file name carries: the name without its extension,
// its first 11 characters dropped, read as 1 to 8 hexadecimal digits.
// Nothing for a name without the prefix, with anything but hexadecimal
// digits there, or for handle 0, which no window has.
std::optional<std::uint32_t> MarkerHandle(std::wstring_view fileName);

// Writes the marker of window `handle` into `folder` unless one exists:
// every path followed by "\n" (CR LF on disk), in code page 932. The marker
// appears whole or not at all and never replaces another file. True when
// this call wrote it.
bool WriteMarkerIfMissing(std::wstring_view folder, std::uint32_t handle, const std::vector<std::wstring>& paths);
// The lines of a marker, "\n" dropped, each cut into pieces of at most
// kMarkerLineChars characters, at most kMaxMarkerLines of them. Empty when
// it is no regular file, cannot be read or is larger than kMaxMarkerBytes.
std::vector<std::wstring> ReadMarker(std::wstring_view path);

// The file names in `folder` that are markers (a name MarkerHandle reads)
// of regular files, lowest name first.
std::vector<std::wstring> MarkerNames(std::wstring_view folder);
// The marker whose name is lowest, so that every caller agrees which is first.
std::optional<std::wstring> FirstMarker(std::wstring_view folder);

// What stayed of a sweep: entries named "WorkWindow_*" that could not be
// deleted, told apart by file identity so that a file written in their
// place later is not mistaken for them.
struct MarkerSweep {
    struct Stayed {
        std::wstring name;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t modified = 0;  // nanoseconds
    };
    std::vector<Stayed> stayed;
};
// Deletes every entry named "WorkWindow_*" in `folder`; entries still there
// are tried again kMarkerDeleteRetries times, kMarkerDeleteRetryPause apart.
MarkerSweep SweepMarkers(std::wstring_view folder);
// The markers in `folder` (as MarkerNames), leaving out those the sweep
// could not delete: no live window rewrites a marker that exists, so one
// that stayed cannot be told from one a closed window left behind.
std::size_t CountMarkers(std::wstring_view folder, const MarkerSweep& sweep);

}  // namespace zov
