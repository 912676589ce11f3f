// The firmware record in the camera's flash. Reading it needs the SPI flash driver; until that is
// in place the record keeps what it held and the strings come from it as they are.
#include "device/bxhardwarelib.h"

bool bxHardwareLib::loadQLV2FirmwareInfo()
{
    return false;
}
