// A camera of the family as its USB default pipe sees it: the bridge's HID command and data
// reports, its I2C master with the boot EEPROM, the SPI flash, the fault options, and a trace of
// every control transfer. It knows nothing of the transport, so the virtual bus and a usbfs
// emulation can both put it on a bus.
#pragma once

#include "platform/usbtypes.h"
#include "sim/i2ceeprom.h"
#include "sim/spiflash.h"
#include "sim/virtualcameraconfig.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class CameraModel
{
public:
    explicit CameraModel(VirtualCameraConfig config);
    ~CameraModel();

    CameraModel(const CameraModel &) = delete;
    CameraModel &operator=(const CameraModel &) = delete;

    const VirtualCameraConfig &config() const { return mConfig; }

    // Plugging in powers the parts up (memories read from their files; without one they keep
    // what they held) and starts attachment number `attachment`; requests of another attachment
    // fail with NoDevice.
    void plug(UsbDeviceId attachment);
    void unplug();
    bool plugged() const;
    UsbDeviceId attachment() const;

    // Called, on the transferring thread, when the camera leaves by itself after a transfer.
    void setUnplugHandler(std::function<void()> handler);

    // One control transfer of the given attachment. Takes latency_us, counts toward the fault
    // options and is traced. The latency is kept on a deadline per camera, so that one transfer
    // after another take their latency each, however late the system wakes the waiting thread.
    uint32_t controlTransfer(UsbDeviceRequest &request, UsbDeviceId attachment);

    // For tests: the device-to-host transfer numbered `transfer` moves only `length` bytes of its
    // answer, as a device may; the rest of the host's buffer stays as the host left it.
    void answerShort(uint64_t transfer, uint32_t length);

    uint64_t transferCount() const;
    std::vector<uint8_t> flashContents() const;
    std::vector<uint8_t> eepromContents() const;

private:
    using Clock = std::chrono::steady_clock;

    // When the transfer that arrives now ends, and the wait for it.
    Clock::time_point transferDeadline();
    void waitUntil(Clock::time_point deadline);
    uint32_t answer(UsbDeviceRequest &request);
    // Bytes a device-to-host transfer moves when it comes back short, by the test hook or the
    // description; nothing when it moves what it answers.
    std::optional<uint32_t> shortLength(uint64_t transfer, const UsbDeviceRequest &request) const;
    uint32_t answerPart(UsbDeviceRequest &request, uint32_t length);
    uint32_t answerReport(UsbDeviceRequest &request);
    uint32_t answerI2c(UsbDeviceRequest &request);
    bool isHidInterface(uint16_t number) const;
    void trace(uint64_t n, const UsbDeviceRequest &request, uint32_t status);

    VirtualCameraConfig mConfig;
    mutable std::mutex mLock;
    SpiFlash mFlash;
    I2cEeprom mEeprom;
    std::function<void()> mUnplugHandler;
    bool mPlugged = false;
    UsbDeviceId mAttachment = 0;
    uint64_t mTransfers = 0;
    std::map<uint64_t, uint32_t> mShortAnswers; // transfer number → bytes it moves
    // The command report's payload, waiting for the data report it announces.
    std::vector<uint8_t> mPendingCommand;
    std::FILE *mTrace = nullptr;
    // When the last transfer was due to end, and when its wait really returned.
    std::optional<Clock::time_point> mLastDeadline;
    Clock::time_point mLastReturn{};
};
