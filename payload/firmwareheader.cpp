// Reading the firmware header: where the user space lies and what it says, from an image file's
// flash bytes or, piece by piece, from the camera's own flash.
#include "payload/firmwareheader.h"

#include "payload/bytereader.h"

#include <algorithm>
#include <cstring>

namespace FirmwareHeader {

bool locateUserSpace(_QLV2_FW_INFO &info, std::span<const uint8_t, kBootConfigSize> bootConfig)
{
    std::memcpy(&info.BootConfig, bootConfig.data(), kBootConfigSize);
    const QLV2_BOOT_CONFIG_t &boot = info.BootConfig;

    uint32_t base = 0;
    if (boot.CodeSizeLow == 0 && boot.CodeSizeMid == 0 && boot.CodeSizeHigh == 0) {
        info.ChipType = 1;
        base = boot.BootAddressLow | boot.BootAddressMid << 8 | boot.BootAddressHigh << 16;
    } else {
        info.ChipType = 2;
        base = boot.CodeAddressLow | boot.CodeAddressMid << 8 | boot.CodeAddressHigh << 16;
    }
    info.UserFreeSpaceAddr = base + 0x1000;
    info.UserSpaceAddr = userSpaceAddress(base);
    if (base > kHighestBaseAddress)
        return false;

    info.SectorAddr = info.UserSpaceAddr & ~(kSectorSize - 1);
    info.DefaultUVCPropertyAddr = info.UserSpaceAddr - info.SectorAddr + 256;
    return true;
}

bool readUserSpace(_QLV2_FW_INFO &info, std::span<const uint8_t> region, uint32_t regionAddress)
{
    if (info.UserSpaceAddr < regionAddress)
        return false;
    const ByteReader reader(region);
    const std::size_t offset = info.UserSpaceAddr - regionAddress;
    if (!reader.contains(offset, kUserSpaceExtent))
        return false;
    reader.read(offset, info.UserSpaceData);
    reader.read(offset + 256, info.DefaultUVCProperty);
    return true;
}

uint32_t requiredFlashLength(uint32_t userSpaceAddr)
{
    const uint32_t sector = userSpaceAddr & ~(kSectorSize - 1);
    return std::max(sector + kSectorSize, userSpaceAddr + kUserSpaceExtent);
}

} // namespace FirmwareHeader

HeaderFault checkQLV2FirmwareInfo(_QLV2_FW_INFO &info, std::span<const uint8_t> flash)
{
    using namespace FirmwareHeader;
    if (flash.size() < kBootConfigSize)
        return HeaderFault::NoBootConfig;
    if (!locateUserSpace(info, flash.first<kBootConfigSize>()))
        return HeaderFault::BaseBeyondLimit;
    // A file that ends inside its user-space sector is a truncated image: never offer it.
    if (flash.size() < requiredFlashLength(info.UserSpaceAddr) || !readUserSpace(info, flash, 0))
        return HeaderFault::Truncated;
    return HeaderFault::None;
}
