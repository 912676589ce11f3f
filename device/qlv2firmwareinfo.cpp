// The firmware record in the camera's own flash, read through the SPI flash driver by the same
// header rule that an image file is parsed with.
#include "device/bxhardwarelib.h"

#include "device/spiflash.h"
#include "payload/firmwareheader.h"

#include <vector>

bool bxHardwareLib::loadQLV2FirmwareInfo()
{
    _QLV2_FW_INFO info{};
    const std::shared_ptr<CameraSession> open = session();
    const bool loaded = open && readQLV2FirmwareInfo(*open, info);
    myQLV2_FW_Info = info;
    return loaded;
}

bool bxHardwareLib::readQLV2FirmwareInfo(CameraSession &session, _QLV2_FW_INFO &info)
{
    using namespace FirmwareHeader;

    // Bytes a failed piece did not bring are not the camera's: such a record is no record.
    std::array<uint8_t, kBootConfigSize> boot{};
    if (!spi_readData(session, 0, kBootConfigSize, boot.data())) {
        info = {};
        return false;
    }
    if (!locateUserSpace(info, boot))
        return false;

    // The sector that holds the user space, and the flash bytes after it where the user space
    // and its default UVC block run past the sector's end.
    const uint32_t length = requiredFlashLength(info.UserSpaceAddr) - info.SectorAddr;
    std::vector<uint8_t> region(length, 0);
    if (!spi_readData(session, info.SectorAddr, length, region.data())) {
        info = {};
        return false;
    }
    return readUserSpace(info, region, info.SectorAddr);
}
