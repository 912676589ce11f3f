// Reading SPI traffic back from a virtual camera's trace: the pieces the bridge was handed and the
// flash transactions they make up; a scripted clock for the driver's time limits; and an open
// session on a virtual camera to run the driver against.
#pragma once

#include "device/bxhardwarelib.h"
#include "tests/device/camerabench.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <vector>

// The bytes clocked out and in from the first piece handed to the bridge (a command report 0x87
// and the data report 0x93 it announced) to the one with the end flag.
struct SpiTransaction
{
    QString out; // in hex
    QString in;
    QString pieces; // each piece's byte count and end flag: "4/0 32/0 1/1 "
};

// The out column of each transaction: "06", "05", "20001000", …
QStringList commands(const std::vector<SpiTransaction> &transactions);

// The driver's clock while it lives: readings come from the script first, then advance by step.
class ScriptedClock
{
public:
    explicit ScriptedClock(uint64_t step, std::deque<uint64_t> script = {});
    ~ScriptedClock();
    uint64_t now() const;
};

// A camera on its own bus, its flash holding `flash` when one is given, with its session open
// (a failed open fails the test); sent() is what went over the wire since.
class FlashSession
{
public:
    explicit FlashSession(const QJsonObject &camera = {}, const std::vector<uint8_t> &flash = {});

    // Opens the session (again); what the open sends counts as sent.
    bool open();
    std::vector<TracedTransfer> sent() const;
    std::vector<SpiTransaction> transactions() const;
    // Starts sent() afresh from here.
    void mark() { mMark = bench.trace().size(); }
    std::vector<uint8_t> flash() { return bench.camera().flashContents(); }

    ScratchFolder flashFolder; // before the bench, which reads the flash file
    CameraBench bench;
    bxHardwareLib hardware;

private:
    size_t mMark = 0;
};

std::vector<uint8_t> pattern(size_t length, uint8_t seed);
