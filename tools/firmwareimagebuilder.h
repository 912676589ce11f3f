// Makes firmware image files for tests and the demo: a 4-byte prefix, then flash content with a
// boot configuration, a user space and a default UVC block where the chosen base address puts them.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

class FirmwareImageBuilder
{
public:
    enum class Layout {
        BootAddress = 1, // code size zero: the base address comes from the boot address
        CodeAddress = 2, // code size non-zero: the base address comes from the code address
    };

    FirmwareImageBuilder &baseAddress(uint32_t address) { mBase = address; return *this; }
    FirmwareImageBuilder &layout(Layout layout) { mLayout = layout; return *this; }
    FirmwareImageBuilder &version(uint16_t version) { mVersion = version; return *this; }
    FirmwareImageBuilder &vid(uint16_t vid) { mVid = vid; return *this; }
    FirmwareImageBuilder &pid(uint16_t pid) { mPid = pid; return *this; }
    FirmwareImageBuilder &vendor(QString text) { mVendor = std::move(text); return *this; }
    FirmwareImageBuilder &product(QString text) { mProduct = std::move(text); return *this; }
    FirmwareImageBuilder &serial(QString text) { mSerial = std::move(text); return *this; }
    // Flash bytes after the prefix; raised to what the header needs when smaller (0: just that).
    FirmwareImageBuilder &flashLength(uint32_t length) { mFlashLength = length; return *this; }

    // Flash bytes the header needs with the current base address.
    uint32_t requiredFlashLength() const;

    // The whole file, prefix included.
    QByteArray build() const;

private:
    uint32_t mBase = 0;
    Layout mLayout = Layout::BootAddress;
    uint16_t mVersion = 0x0100;
    uint16_t mVid = 0xF055;
    uint16_t mPid = 0x5201;
    QString mVendor = QStringLiteral("LUMIVEX");
    QString mProduct = QStringLiteral("LUMIVEX Camera");
    QString mSerial = QStringLiteral("0001");
    uint32_t mFlashLength = 0;
};
