#include "platform/BinaryFile.h"

#include "platform/FileSystem.h"

#include <cstring>
#include <sys/stat.h>
#include <utility>

namespace zov {

BinaryFile::~BinaryFile() {
    Close();
}

BinaryFile::BinaryFile(BinaryFile&& other) noexcept {
    *this = std::move(other);
}

BinaryFile& BinaryFile::operator=(BinaryFile&& other) noexcept {
    if (this != &other) {
        Close();
        file_ = std::exchange(other.file_, nullptr);
        memory_ = std::exchange(other.memory_, false);
        bytes_ = std::exchange(other.bytes_, {});
        position_ = std::exchange(other.position_, 0);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

bool BinaryFile::Open(std::wstring_view path) {
    Close();
    file_ = OpenRegularFile(path);
    if (!file_)
        return false;
    struct stat st;
    if (fstat(fileno(file_), &st) != 0) {
        Close();
        return false;
    }
    size_ = st.st_size;
    return true;
}

void BinaryFile::OpenMemory(std::span<const std::uint8_t> bytes) {
    Close();
    memory_ = true;
    bytes_ = bytes;
    size_ = static_cast<std::int64_t>(bytes.size());
}

void BinaryFile::Close() {
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
    memory_ = false;
    bytes_ = {};
    position_ = 0;
    size_ = 0;
}

bool BinaryFile::Read(void* out, std::size_t count) {
    if (count == 0)
        return true;
    if (static_cast<std::int64_t>(count) > Remaining()) {
        Seek(size_);
        return false;
    }
    if (memory_) {
        std::memcpy(out, bytes_.data() + position_, count);
    } else if (!file_ || std::fread(out, 1, count, file_) != count) {
        Seek(size_);
        return false;
    }
    position_ += static_cast<std::int64_t>(count);
    return true;
}

bool BinaryFile::ReadInt32(std::int32_t& value) {
    std::uint8_t b[4];
    if (!Read(b, 4))
        return false;
    value = static_cast<std::int32_t>(std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
                                      std::uint32_t{b[3]} << 24);
    return true;
}

bool BinaryFile::ReadByte(std::uint8_t& value) {
    return Read(&value, 1);
}

bool BinaryFile::Skip(std::int64_t count) {
    if (count < 0 || count > Remaining()) {
        Seek(size_);
        return false;
    }
    return Seek(position_ + count);
}

bool BinaryFile::Seek(std::int64_t position) {
    if (position < 0 || position > size_)
        return false;
    if (file_ && fseeko(file_, position, SEEK_SET) != 0)
        return false;
    position_ = position;
    return true;
}

}  // namespace zov
