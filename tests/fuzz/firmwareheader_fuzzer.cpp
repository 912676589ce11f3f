// libFuzzer target: the firmware header read from an image file's flash bytes, and the same header
// read piece by piece as the camera's flash hands it over. Both readings must agree.
#include "payload/firmwareheader.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace FirmwareHeader;
    const std::span<const uint8_t> flash(data, size);

    _QLV2_FW_INFO whole{};
    const bool parsed = parseQLV2FirmwareInfo(whole, flash);
    if (size < kBootConfigSize)
        return parsed ? (__builtin_trap(), 0) : 0;

    // The camera's way: the boot configuration first, then only the region around the user space.
    _QLV2_FW_INFO pieces{};
    if (!locateUserSpace(pieces, flash.first<kBootConfigSize>()))
        return parsed ? (__builtin_trap(), 0) : 0;
    const uint32_t regionAddress = pieces.SectorAddr;
    const std::span<const uint8_t> region = regionAddress < size ? flash.subspan(regionAddress) : std::span<const uint8_t>();
    const bool read = readUserSpace(pieces, region, regionAddress);
    if (parsed && (!read || std::memcmp(&whole, &pieces, sizeof whole) != 0))
        __builtin_trap();
    return 0;
}
