// The memory of a virtual flash or EEPROM, kept in a file: read when the device is plugged in
// (0xFF where the file is missing or short), and every change written through at once, so that
// the file is current whenever the process ends, on any path. Without a file the memory lives as
// long as the camera does, and keeps its content across plugs like the parts themselves.
#pragma once

#include <QFile>
#include <QString>

#include <cstdint>
#include <vector>

class BackingStore
{
public:
    BackingStore(uint32_t size, QString path);

    // Power-up: reloads the memory from the file (0xFF where it holds nothing); without a file
    // the content stays as it was.
    void load();

    uint8_t at(uint32_t address) const { return mBytes[address % mBytes.size()]; }
    uint32_t size() const { return uint32_t(mBytes.size()); }
    uint8_t *data() { return mBytes.data(); }

    // Writes [address, address + length) through to the file; the range must lie inside.
    void writeBack(uint32_t address, uint32_t length);

private:
    void reportFailure(const QString &reason);

    std::vector<uint8_t> mBytes;
    QString mPath;
    QFile mFile;
    bool mFailureReported = false;
};
