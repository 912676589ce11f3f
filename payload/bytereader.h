// A bounds-checked view of bytes from a file or a device: every read states where and how much,
// and a read that would leave the buffer fails instead of reading past it.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <type_traits>

class ByteReader
{
public:
    explicit ByteReader(std::span<const uint8_t> bytes)
        : mBytes(bytes)
    {
    }

    std::size_t size() const { return mBytes.size(); }

    bool contains(std::size_t offset, std::size_t length) const
    {
        return offset <= mBytes.size() && length <= mBytes.size() - offset;
    }

    std::optional<std::span<const uint8_t>> bytes(std::size_t offset, std::size_t length) const
    {
        if (!contains(offset, length))
            return std::nullopt;
        return mBytes.subspan(offset, length);
    }

    std::optional<uint8_t> u8(std::size_t offset) const
    {
        if (!contains(offset, 1))
            return std::nullopt;
        return mBytes[offset];
    }

    // Copies a byte-layout record (alignment 1, no invariants) from offset.
    template<typename Record>
    bool read(std::size_t offset, Record &out) const
    {
        static_assert(std::is_trivially_copyable_v<Record> && alignof(Record) == 1);
        if (!contains(offset, sizeof(Record)))
            return false;
        std::memcpy(&out, mBytes.data() + offset, sizeof(Record));
        return true;
    }

private:
    std::span<const uint8_t> mBytes;
};
