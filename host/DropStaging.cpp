#include "host/DropStaging.h"

#include "platform/Encoding.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace zov::host {

namespace {

// Names tried for a drop's folder before giving up; a clash of 64 random
// bits means someone else makes folders there.
constexpr int kFolderNameTries = 8;
// Folders inside a drop's folder are none of the staging's: someone planted
// them. They are still removed, this deep.
constexpr int kRemoveDepth = 8;

std::string Number(std::size_t n) {
    return std::to_string(n);
}

// Why a page's file name cannot name a file in the drop's folder, or empty.
// A name is one component: the file lands where the staging says, nowhere else.
std::string NameProblem(const std::string& name) {
    if (name.empty())
        return "its name is empty";
    if (name == "." || name == "..")
        return "its name is . or ..";
    if (name.size() > kDropNameBytes)
        return "its name is longer than " + Number(kDropNameBytes) + " bytes";
    const std::wstring decoded = FromUtf8(name);
    if (ToUtf8(decoded) != name)
        return "its name is not UTF-8";
    for (wchar_t c : decoded) {
        if (c == L'/' || c == L'\\')
            return "its name holds a / or \\";
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
            return "its name holds a control character";
    }
    return {};
}

std::string RandomName() {
    std::random_device random;
    const std::uint64_t bits = (std::uint64_t{random()} << 32) | random();
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string name(16, '0');
    for (int i = 0; i < 16; ++i)
        name[i] = kDigits[(bits >> (4 * i)) & 0xF];
    return name;
}

// Empties the folder open as `folder`. Every entry goes by its name in that
// folder, so no link is followed out of it.
void RemoveContents(int folder, int depth) {
    const int listing = dup(folder);
    if (listing < 0)
        return;
    DIR* dir = fdopendir(listing);
    if (!dir) {
        close(listing);
        return;
    }
    rewinddir(dir);
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    closedir(dir);
    for (const std::string& name : names) {
        if (unlinkat(folder, name.c_str(), 0) == 0 || (errno != EISDIR && errno != EPERM) || depth >= kRemoveDepth)
            continue;
        const int inner = openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (inner < 0)
            continue;
        RemoveContents(inner, depth + 1);
        close(inner);
        unlinkat(folder, name.c_str(), AT_REMOVEDIR);
    }
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

std::unique_ptr<DropStaging> DropStaging::Begin(std::wstring_view root, std::vector<DroppedFile> files,
                                                const DropLimits& limits, std::string& refusal,
                                                Clock::time_point now) {
    auto refuse = [&](std::string text) {
        refusal = std::move(text);
        return nullptr;
    };
    if (files.empty())
        return refuse("a drop needs at least one file");
    if (files.size() > limits.files)
        return refuse("a drop may have at most " + Number(limits.files) + " files");
    std::vector<File> byNumber(files.size());
    std::vector<bool> numbered(files.size());
    std::set<std::string> names;
    std::uint64_t total = 0;
    for (DroppedFile& file : files) {
        if (file.n >= files.size() || numbered[file.n])
            return refuse("the files must be numbered from 0 to " + Number(files.size() - 1) + ", each once");
        numbered[file.n] = true;
        const std::string which = "file " + Number(file.n) + ": ";
        if (std::string problem = NameProblem(file.name); !problem.empty())
            return refuse(which + problem);
        if (file.size > limits.fileBytes)
            return refuse(which + "it is larger than " + Number(limits.fileBytes) + " bytes");
        if (file.size > limits.bytes - total)
            return refuse("the files are larger than " + Number(limits.bytes) + " bytes in all");
        total += file.size;
        if (!names.insert(file.name).second)
            return refuse(which + "another file has its name");
        byNumber[file.n] = File{std::move(file.name), file.size, 0};
    }

    std::unique_ptr<DropStaging> staging(new DropStaging);
    staging->files_ = std::move(byNumber);
    staging->idle_ = limits.idle;
    staging->lastChunk_ = now;

    std::string drops = NativePath(root);
    if (!drops.empty() && drops.back() != '/')
        drops += '/';
    drops += "drops";
    CreateFolderTree(root);
    if (mkdir(drops.c_str(), 0700) != 0 && errno != EEXIST)
        return refuse("the folder for dropped files cannot be made");
    // Every later step goes through this descriptor, so a link put in place
    // of the folder after this check changes nothing.
    staging->dropsFd_ = open(drops.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (staging->dropsFd_ < 0 || fstat(staging->dropsFd_, &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != geteuid())
        return refuse("the folder for dropped files is not a folder of this user");
    for (int attempt = 0; attempt < kFolderNameTries && staging->unique_.empty(); ++attempt) {
        std::string name = RandomName();
        if (mkdirat(staging->dropsFd_, name.c_str(), 0700) == 0)
            staging->unique_ = std::move(name);
        else if (errno != EEXIST)
            break;
    }
    if (staging->unique_.empty())
        return refuse("the folder for this drop cannot be made");
    staging->folderFd_ = openat(staging->dropsFd_, staging->unique_.c_str(),
                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (staging->folderFd_ < 0)
        return refuse("the folder for this drop cannot be opened");
    staging->folder_ = drops + '/' + staging->unique_ + '/';

    // Empty files are complete at once; the others are made by their first chunk.
    for (std::size_t n = 0; n < staging->files_.size(); ++n) {
        if (staging->files_[n].size != 0)
            continue;
        const int fd = openat(staging->folderFd_, staging->files_[n].name.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 || close(fd) != 0)
            return refuse("file " + Number(n) + ": it cannot be made");
    }
    while (staging->fileIndex_ < staging->files_.size() && staging->files_[staging->fileIndex_].size == 0)
        ++staging->fileIndex_;
    return staging;
}

DropStaging::~DropStaging() {
    Remove();
}

std::string DropStaging::Accept(std::uint32_t file, std::uint64_t offset, std::string_view bytes,
                                Clock::time_point now) {
    if (refused_)
        return "the drop was refused already";
    auto refuse = [&](std::string text) {
        refused_ = true;
        CloseFile();
        return text;
    };
    if (file >= files_.size())
        return refuse("a chunk names file " + Number(file) + ", which the drop does not have");
    File& target = files_[file];
    const std::string which = "file " + Number(file) + ": ";
    if (target.written == target.size)
        return refuse(which + "a chunk goes past its size");
    if (file != fileIndex_)
        return refuse(which + "a chunk came before file " + Number(fileIndex_) + " was complete");
    if (offset != target.written)
        return refuse(which + "a chunk at " + Number(offset) + " does not follow its bytes so far, " +
                      Number(target.written));
    if (bytes.empty())
        return refuse(which + "a chunk carries no bytes");
    if (bytes.size() > target.size - target.written)
        return refuse(which + "a chunk goes past its size");
    if (fileFd_ < 0) {
        fileFd_ = openat(folderFd_, target.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fileFd_ < 0)
            return refuse(which + "it cannot be made");
    }
    if (!WriteAll(fileFd_, bytes))
        return refuse(which + "it cannot be written");
    target.written += bytes.size();
    lastChunk_ = now;
    if (target.written == target.size) {
        if (!CloseFile())
            return refuse(which + "it cannot be written");
        ++fileIndex_;
        while (fileIndex_ < files_.size() && files_[fileIndex_].size == 0)
            ++fileIndex_;
    }
    return {};
}

bool DropStaging::Complete() const {
    return !refused_ && fileIndex_ == files_.size();
}

std::vector<std::wstring> DropStaging::Paths() const {
    std::vector<std::wstring> paths;
    paths.reserve(files_.size());
    for (const File& file : files_)
        paths.push_back(FromUtf8(folder_ + file.name));
    return paths;
}

void DropStaging::Remove() {
    CloseFile();
    if (folderFd_ >= 0) {
        RemoveContents(folderFd_, 0);
        close(folderFd_);
        folderFd_ = -1;
    }
    if (dropsFd_ >= 0) {
        if (!unique_.empty())
            unlinkat(dropsFd_, unique_.c_str(), AT_REMOVEDIR);
        close(dropsFd_);
        dropsFd_ = -1;
    }
    unique_.clear();
    folder_.clear();
}

bool DropStaging::CloseFile() {
    if (fileFd_ < 0)
        return true;
    const bool closed = close(fileFd_) == 0;
    fileFd_ = -1;
    return closed;
}

}  // namespace zov::host
