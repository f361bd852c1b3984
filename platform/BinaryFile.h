// Reads a binary file, or the same bytes from memory, with every read and skip
// checked against the end. Formats read through it are untrusted: a length
// field is only believed after Remaining() says the bytes are there.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string_view>

namespace zov {

class BinaryFile {
public:
    BinaryFile() = default;
    ~BinaryFile();
    BinaryFile(BinaryFile&& other) noexcept;
    BinaryFile& operator=(BinaryFile&& other) noexcept;
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;

    bool Open(std::wstring_view path);
    // Reads from `bytes`, which must outlive the reader.
    void OpenMemory(std::span<const std::uint8_t> bytes);
    void Close();
    bool IsOpen() const { return file_ != nullptr || memory_; }

    // All `count` bytes, or false (the position then stands at the end).
    bool Read(void* out, std::size_t count);
    // A little-endian 32-bit value.
    bool ReadInt32(std::int32_t& value);
    bool ReadByte(std::uint8_t& value);
    // Moves on `count` bytes; false when that passes the end (the position
    // then stands at the end) or `count` is negative.
    bool Skip(std::int64_t count);
    bool Seek(std::int64_t position);

    std::int64_t Position() const { return position_; }
    std::int64_t Size() const { return size_; }
    std::int64_t Remaining() const { return size_ - position_; }

private:
    std::FILE* file_ = nullptr;
    bool memory_ = false;
    std::span<const std::uint8_t> bytes_;
    std::int64_t position_ = 0;
    std::int64_t size_ = 0;
};

}  // namespace zov
