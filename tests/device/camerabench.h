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
    int n = 0;
    int bmRequestType = 0;
    int bRequest = 0;
    int wValue = 0;
    int wIndex = 0;
    int wLength = 0;
    QString data;
    uint32_t status = 0;

    // The setup packet and its data on one line: "21 09 0387 0003 5 8708000004".
    QString wire() const;
};

class CameraBench
{
public:
    // Each object describes one camera; "trace" defaults to a file of the bench.
    explicit CameraBench(QJsonArray cameras);
    explicit CameraBench(const QJsonObject &camera = {});

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
