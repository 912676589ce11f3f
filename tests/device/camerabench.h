// A bench for device tests: virtual cameras described as JSON in a scratch folder, on their own
// virtual bus, each with a trace file that the tests read back transfer by transfer.
#pragma once

#include "sim/virtualbus.h"
#include "tests/support/testsupport.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

#include <memory>
#include <vector>

struct TracedTransfer
{
    int n = 0, bmRequestType = 0, bRequest = 0, wValue = 0, wIndex = 0, wLength = 0;
    QString data;
    uint32_t status = 0;

    // The setup packet and its data on one line: "21 09 0387 0003 5 8708000004".
    QString wire() const;
};

class CameraBench
{
public:
    // Each object describes one camera; "trace" defaults to a file of the bench. The first camera's
    // flash and EEPROM hold `flash` and `eeprom` when they are given.
    explicit CameraBench(QJsonArray cameras, const std::vector<uint8_t> &flash = {}, const std::vector<uint8_t> &eeprom = {});
    explicit CameraBench(const QJsonObject &camera = {}, const std::vector<uint8_t> &flash = {},
                         const std::vector<uint8_t> &eeprom = {})
        : CameraBench(QJsonArray{camera}, flash, eeprom)
    {
    }

    VirtualBus &bus() { return *mBus; }
    CameraModel &camera(size_t index = 0) { return mBus->camera(index); }

    std::vector<TracedTransfer> trace(size_t index = 0) const;

private:
    ScratchFolder mFolder;
    QStringList mTraces;
    std::unique_ptr<VirtualBus> mBus;
};

// Bytes as lower-case hex, the way the trace writes them.
QString hexOf(const std::vector<uint8_t> &bytes);
// Recognisable bytes that differ from one seed to the next.
std::vector<uint8_t> pattern(size_t length, uint8_t seed);
