// Makes firmware image files for tests and the demo: a 4-byte prefix, then flash content with a
// boot configuration, a user space and a default UVC block where the chosen base address puts them.
#include "tools/firmwareimagebuilder.h"

#include "payload/firmwareheader.h"

#include <algorithm>
#include <cstring>

namespace {

void putString(_USB_STRING_t &entry, const QString &text)
{
    const QByteArray utf16(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    const auto length = std::min<qsizetype>(utf16.size(), sizeof(entry.StringData)) & ~qsizetype(1);
    entry.StringLen = uint8_t(length);
    entry.StringType = 3; // USB string descriptor
    std::memcpy(entry.StringData, utf16.constData(), size_t(length));
}

} // namespace

uint32_t FirmwareImageBuilder::requiredFlashLength() const
{
    return FirmwareHeader::requiredFlashLength(FirmwareHeader::userSpaceAddress(mBase));
}

QByteArray FirmwareImageBuilder::build() const
{
    const uint32_t length = std::max(mFlashLength, requiredFlashLength());
    const auto prefix = FirmwareHeader::kImagePrefixSize;
    QByteArray file(qsizetype(prefix + length), '\0');
    auto *bytes = reinterpret_cast<uint8_t *>(file.data());

    // Recognisable, position-dependent filler so that a misplaced write shows up.
    for (uint32_t a = 0; a < length; ++a)
        bytes[prefix + a] = uint8_t(a * 31 + 7);
    bytes[0] = 'Q';
    bytes[1] = 'L';
    bytes[2] = 'V';
    bytes[3] = '2';

    QLV2_BOOT_CONFIG_t boot{};
    boot.KeyCodeLow = 0xA5;
    boot.KeyCodeHigh = 0x5A;
    const uint8_t base[3] = {uint8_t(mBase), uint8_t(mBase >> 8), uint8_t(mBase >> 16)};
    if (mLayout == Layout::BootAddress) {
        boot.BootAddressLow = base[0];
        boot.BootAddressMid = base[1];
        boot.BootAddressHigh = base[2];
        // A code address that would point elsewhere proves the code size decides the layout.
        boot.CodeAddressMid = 0x7F;
    } else {
        boot.CodeAddressLow = base[0];
        boot.CodeAddressMid = base[1];
        boot.CodeAddressHigh = base[2];
        boot.CodeSizeMid = 0x40;
        boot.BootAddressMid = 0x7F;
    }
    std::memcpy(bytes + prefix, &boot, sizeof boot);

    _QLV2_USER_SPACE_t user{};
    user.Signature = 0x32564C51;
    user.FirmwareVersion = mVersion;
    user.VID = mVid;
    user.PID = mPid;
    putString(user.VendorString, mVendor);
    putString(user.ProductString, mProduct);
    putString(user.SerialNumber, mSerial);
    user.COLOR_RED_GAIN = 0x40;
    user.COLOR_GREEN_GAIN = 0x41;
    user.COLOR_BLUE_GAIN = 0x42;
    user.AE_TARGET = 0x50;
    const uint32_t userSpace = FirmwareHeader::userSpaceAddress(mBase);
    std::memcpy(bytes + prefix + userSpace, &user, sizeof user);

    QLV2_DEF_UVC_PROPERTY_t uvc{};
    uvc.Signature = 0x50435655;
    uvc.uvc_prop.UVC_PU_Brightness_Param = 0x80;
    uvc.uvc_prop.UVC_CT_ET_Absolute_Param = 156;
    std::memcpy(bytes + prefix + userSpace + 256, &uvc, sizeof uvc);
    return file;
}
