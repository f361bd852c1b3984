// A file made undeletable for the length of a test, as a file of another
// user would be for us: the file system's immutable flag, which even the
// superuser's unlink respects. Not every file system has it: look at Locked().
#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <string>
#include <utility>

namespace zov::test {

class ImmutableFile {
public:
    explicit ImmutableFile(std::string path) : path_(std::move(path)) { locked_ = Set(true); }
    ~ImmutableFile() { Unlock(); }
    ImmutableFile(const ImmutableFile&) = delete;
    ImmutableFile& operator=(const ImmutableFile&) = delete;
    bool Locked() const { return locked_; }
    void Unlock() {
        if (locked_)
            Set(false);
        locked_ = false;
    }

private:
    bool Set(bool on) {
        const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        int flags = 0;
        bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        close(fd);
        return ok;
    }
    std::string path_;
    bool locked_ = false;
};

}  // namespace zov::test
