// The firmware record in the camera's own flash, read through the SPI flash driver by the same
// header rule that an image file is parsed with.
#include "device/bxhardwarelib.h"

#include "device/spiflash.h"
#include "payload/firmwareheader.h"

#include <algorithm>
#include <cstring>
#include <vector>

bool bxHardwareLib::loadQLV2FirmwareInfo()
{
    using namespace FirmwareHeader;
    _QLV2_FW_INFO &info = myQLV2_FW_Info;

    // A read that fails leaves its bytes as they were; the open goes on with what the record
    // then holds, as it did before the flash could be asked.
    std::array<uint8_t, kBootConfigSize> boot{};
    std::memcpy(boot.data(), &info.BootConfig, kBootConfigSize);
    spi_readData(0, kBootConfigSize, boot.data());
    if (!locateUserSpace(info, boot))
        return false;

    // The sector that holds the user space, and the flash bytes after it where the user space
    // and its default UVC block run past the sector's end.
    const uint32_t length = requiredFlashLength(info.UserSpaceAddr) - info.SectorAddr;
    std::vector<uint8_t> region(length, 0);
    spi_readData(info.SectorAddr, length, region.data());
    return readUserSpace(info, region, info.SectorAddr);
}
