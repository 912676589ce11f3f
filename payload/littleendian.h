// Little-endian integers stored as bytes, so that records keep the flash bytes exactly as they are
// and read the same on any host.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

template<typename T>
struct LittleEndian
{
    std::array<uint8_t, sizeof(T)> bytes{};

    constexpr T value() const
    {
        T v = 0;
        for (std::size_t i = sizeof(T); i-- > 0;)
            v = static_cast<T>((v << 8) | bytes[i]);
        return v;
    }
    constexpr operator T() const { return value(); }

    constexpr LittleEndian &operator=(T v)
    {
        for (std::size_t i = 0; i < sizeof(T); ++i)
            bytes[i] = static_cast<uint8_t>(v >> (8 * i));
        return *this;
    }
};

using le16 = LittleEndian<uint16_t>;
using le32 = LittleEndian<uint32_t>;

static_assert(sizeof(le16) == 2 && alignof(le16) == 1);
static_assert(sizeof(le32) == 4 && alignof(le32) == 1);
