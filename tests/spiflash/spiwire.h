// An open session on a virtual camera to run the driver against, the SPI traffic read back from
// its trace, and a scripted clock for the driver's time limits.
#pragma once

#include "device/bxhardwarelib.h"
#include "device/spiflash.h"
#include "tests/device/camerabench.h"

#include <deque>

// The bytes clocked out and in from the first piece handed to the bridge (a command report 0x87
// and the data report 0x93 it announced) to the one with the end flag.
struct SpiTransaction
{
    QString out; // in hex
    QString in;
    QString pieces; // each piece's byte count and end flag: "4/0 32/0 1/1 "
};

// A camera on its own bus, its memories holding `flash` and `eeprom` when they are given, with its
// session open (a failed open fails the test); sent() is what went over the wire since.
class FlashSession
{
public:
    explicit FlashSession(const QJsonObject &camera = {}, const std::vector<uint8_t> &flash = {},
                          const std::vector<uint8_t> &eeprom = {});

    // Opens the session (again); what the open sends counts as sent.
    bool open() { return hardware.initDevice(0xF055, 0x5201, bxHardwareLib::kAnyInterfaceClass); }
    std::vector<TracedTransfer> sent() const;
    std::vector<SpiTransaction> transactions() const;
    // The out column of each transaction: "06", "05", "20001000", …
    QStringList commands() const;
    // Starts sent() afresh from here.
    void mark() { mMark = bench.trace().size(); }
    CameraModel &camera() { return bench.camera(); }

    // The driver's clock until the session ends: readings come from the script first, then
    // advance by step. now() is the last reading.
    void scriptClock(uint64_t step, std::deque<uint64_t> script = {});
    uint64_t now() const { return mNow; }
    // The open session, for the driver's calls.
    CameraSession &session() { return *hardware.session(); }

    CameraBench bench;
    bxHardwareLib hardware;

private:
    size_t mMark = 0;
    std::deque<uint64_t> mScript;
    uint64_t mNow = 0, mStep = 0;
};

// Recognisable content everywhere but a blank boot configuration, so that opening the camera
// reads 16 bytes and nothing more (8 transfers in all).
std::vector<uint8_t> recordlessFlash();
constexpr int kOpeningTransfers = 8;
