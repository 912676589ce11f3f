// libFuzzer target: the USB descriptor strings the device object decodes, from both places a camera
// keeps them. The input is read as an image's flash bytes (its firmware record names product,
// maker and serial number with a stated length) and its first 256 bytes as the EEPROM descriptor
// block (offset and length pairs into the block). Nothing in either may make the strings read past
// what they came from. No camera is opened: the record and the block are what a session would
// have loaded, set on a device object that holds no interface.
#include "device/bxhardwarelib.h"
#include "payload/firmwareheader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

void readStrings(bxHardwareLib &hardware)
{
    const QString product = hardware.GetProductString();
    const QString maker = hardware.GetManufacturerString();
    const QString serial = hardware.GetSerialNumberString();
    // The decoding buffer holds 128 bytes: no string can come out longer, nor hold a NUL.
    if (product.size() > 64 || maker.size() > 64 || serial.size() > 64 || product.contains(QChar(u'\0'))
        || maker.contains(QChar(u'\0')))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    bxHardwareLib hardware;

    _QLV2_FW_INFO record{};
    if (parseQLV2FirmwareInfo(record, {data, size})) {
        hardware.myQLV2_FW_Info = record;
        hardware.is_qlv2_hardware = 1;
        readStrings(hardware);
    }

    hardware.is_qlv2_hardware = 0;
    hardware.myQLV2_FW_Info = {};
    hardware.my256ByteData = std::make_unique<std::array<uint8_t, 256>>();
    std::copy_n(data, std::min<size_t>(size, 256), hardware.my256ByteData->begin());
    readStrings(hardware);
    return 0;
}
