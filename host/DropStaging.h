// One drop of files from a page while its bytes arrive: a folder of its own
// below the per-user data folder, the files written into it in order, and
// the folder removed with everything in it when the staging goes, whatever
// state the drop is in. Knows nothing of sockets or windows.
//
// Threads: used by one thread at a time (the connection's, then the window
// thread it is handed to); nothing is shared.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zov::host {

// What a page may drop at once. The bytes wait on disk, not in memory, but
// they are the page's to fill the disk with.
struct DropLimits {
    std::size_t files = 100;
    std::uint64_t fileBytes = std::uint64_t{100} << 20;
    std::uint64_t bytes = std::uint64_t{256} << 20;
    // A drop whose next chunk does not come in this time is given up.
    std::chrono::milliseconds idle{30000};
};

// The longest file name the file systems take, in bytes of UTF-8.
inline constexpr std::size_t kDropNameBytes = 255;

// A file as the page announces it.
struct DroppedFile {
    std::uint32_t n = 0;
    std::string name;  // UTF-8, from the page
    std::uint64_t size = 0;
};

class DropStaging {
public:
    using Clock = std::chrono::steady_clock;

    // Checks the announcement against `limits` and makes the drop's folder,
    // <root>drops/<unique>/, with every empty file in it. `root` is the
    // per-user data folder in the viewer's form (UserDataFolder()). Null
    // with `refusal` set when the drop is refused.
    static std::unique_ptr<DropStaging> Begin(std::wstring_view root, std::vector<DroppedFile> files,
                                              const DropLimits& limits, std::string& refusal,
                                              Clock::time_point now = Clock::now());
    ~DropStaging();
    DropStaging(const DropStaging&) = delete;
    DropStaging& operator=(const DropStaging&) = delete;

    // Writes the bytes of `file` at `offset`. Files come in their order,
    // each from its start to its announced size without gaps; anything else,
    // and a write that fails, refuses the drop (empty when accepted). Once
    // refused, every later chunk is refused too.
    std::string Accept(std::uint32_t file, std::uint64_t offset, std::string_view bytes,
                       Clock::time_point now = Clock::now());
    // Every file has its announced size.
    bool Complete() const;
    // The files' local paths, in their numbers' order.
    std::vector<std::wstring> Paths() const;
    // No chunk came for the idle limit, since the last one or since Begin.
    bool Expired(Clock::time_point now) const { return now >= Deadline(); }
    Clock::time_point Deadline() const { return lastChunk_ + idle_; }
    // Removes the folder and what is in it now; the destructor does it too.
    void Remove();
    // The drop's folder, native, with a trailing '/'; empty once removed.
    const std::string& Folder() const { return folder_; }

private:
    struct File {
        std::string name;
        std::uint64_t size = 0;
        std::uint64_t written = 0;
    };

    DropStaging() = default;
    // Closes the file being written; false when its last writes failed.
    bool CloseFile();

    std::vector<File> files_;  // by number
    std::chrono::milliseconds idle_{};
    Clock::time_point lastChunk_{};
    std::string folder_;
    std::string unique_;      // the folder's name in drops/
    int dropsFd_ = -1;        // drops/, opened without following a link
    int folderFd_ = -1;       // the drop's own folder
    int fileFd_ = -1;         // the file being written, fileIndex_
    std::size_t fileIndex_ = 0;
    bool refused_ = false;
};

}  // namespace zov::host
