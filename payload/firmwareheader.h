// Reading the firmware header: where the user space lies and what it says, from an image file's
// flash bytes or, piece by piece, from the camera's own flash.
#pragma once

#include "payload/firmwarerecords.h"

#include <cstdint>
#include <span>

namespace FirmwareHeader {

constexpr uint32_t kBootConfigSize = sizeof(QLV2_BOOT_CONFIG_t);
constexpr uint32_t kSectorSize = 0x1000;
constexpr uint32_t kHighestBaseAddress = 0xE000;
// An image file starts with a prefix before flash address 0.
constexpr std::size_t kImagePrefixSize = 4;
// Distance from the user space to the end of the default UVC block.
constexpr uint32_t kUserSpaceExtent = 256 + sizeof(QLV2_DEF_UVC_PROPERTY_t);

// Copies the boot configuration, sets the layout kind and the addresses that follow from the base
// address. False when the base address lies beyond the highest one the flash format allows.
bool locateUserSpace(_QLV2_FW_INFO &info, std::span<const uint8_t, kBootConfigSize> bootConfig);

// Copies the user space and the default UVC block from region, the flash bytes that start at
// regionAddress. False, leaving them untouched, when region does not hold both.
bool readUserSpace(_QLV2_FW_INFO &info, std::span<const uint8_t> region, uint32_t regionAddress);

// Where the user space lies for a base address: the base plus two sectors.
constexpr uint32_t userSpaceAddress(uint32_t baseAddress) { return baseAddress + 0x2000; }

// End of the flash bytes a header check needs: the user-space sector and the default UVC block.
uint32_t requiredFlashLength(uint32_t userSpaceAddr);

} // namespace FirmwareHeader

// Why a header is rejected, so that whoever rejects an image can say why.
enum class HeaderFault {
    None,
    NoBootConfig,    // shorter than the boot configuration
    BaseBeyondLimit, // base address beyond 0xE000 (info.UserSpaceAddr tells which)
    Truncated,       // ends before the user-space sector and the default UVC block
};

// Fills info (zeroed by the caller) from the flash bytes of an image, i.e. the file from offset 4,
// and tells what, if anything, rejects the header.
HeaderFault checkQLV2FirmwareInfo(_QLV2_FW_INFO &info, std::span<const uint8_t> flash);

// Fills info (zeroed by the caller) from the flash bytes of an image, i.e. the file from offset 4.
// Rejects a base address beyond 0xE000 and flash bytes too short to hold the header's sector.
inline bool parseQLV2FirmwareInfo(_QLV2_FW_INFO &info, std::span<const uint8_t> flash)
{
    return checkQLV2FirmwareInfo(info, flash) == HeaderFault::None;
}
