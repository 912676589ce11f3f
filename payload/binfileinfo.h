// The catalogue's record of one image: the USB identity and firmware version its header names.
#pragma once

#include <QString>

#include <cstdint>

class BinFileInfo
{
public:
    int32_t pid() const { return mPid; }
    int32_t vid() const { return mVId; }
    int32_t firmwareVersion() const { return static_cast<int32_t>(mFirmwareVersion); }

    // The identifiers keep their low 16 bits, the version all 32.
    void setPID(int32_t pid) { mPid = static_cast<uint16_t>(pid); }
    void setVID(int32_t vid) { mVId = static_cast<uint16_t>(vid); }
    void setFirmwareVersion(int32_t version) { mFirmwareVersion = static_cast<uint32_t>(version); }

private:
    uint16_t mPid = 0;
    uint16_t mVId = 0;
    uint32_t mFirmwareVersion = 0;
};

// Versions (and USB identifiers) as the updater shows them: upper-case hexadecimal of at least four
// digits.
inline QString versionText(uint32_t version)
{
    return QStringLiteral("%1").arg(version, 4, 16, QLatin1Char('0')).toUpper();
}
