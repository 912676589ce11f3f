// Rewriting a camera's boot EEPROM with a firmware image: write it in 32-byte pieces while keeping
// the camera's own descriptor block, compare it back and rewrite it a bounded number of times
// until it matches, then write the closing bytes that make the image bootable.
#pragma once

#include "device/deviceresult.h"
#include "device/updateprogress.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class bxHardwareLib;

class EepromUpdate
{
public:
    using Step = DeviceStep;
    using Pause = std::function<void(std::chrono::milliseconds)>;

    // The image is the EEPROM content from address 0, 356 to 65,536 bytes. A null pause sleeps.
    EepromUpdate(bxHardwareLib &hardware, std::vector<uint8_t> image, UpdateProgressSink &sink, Pause pause = {});

    EepromUpdate(const EepromUpdate &) = delete;
    EepromUpdate &operator=(const EepromUpdate &) = delete;

    // Writes the image with the camera's descriptor block (addresses 100-355) in place of the
    // image's. A piece that fails ends the pass early; the verification finds the gap.
    bool update_firmware();
    // Compares addresses 356 on with the image; on a difference waits, rewrites and compares
    // again, at most kRewrites times.
    bool verify_firmware();
    // Writes the closing bytes at address 0.
    bool finalizing_firmware();
    // The three steps in order, stopping at the first that fails.
    bool run();

    static constexpr int kRewrites = 3;

    double percentage() const { return mPercentage.load(); }
    // How the last step or run came out: the step that failed and why.
    const DeviceResult &result() const { return mResult; }
    Step failedStep() const { return mResult.step(); }
    const std::string &failureReason() const { return mResult.reason(); }

private:
    bool fail(Step step, std::string reason);
    bool fits();
    void report(double percent, UpdateProgressSink::Stage stage);
    // One comparison pass; the address of the first piece that differs or could not be read.
    bool compare(uint32_t *differsAt);

    bxHardwareLib &mHardware;
    const std::vector<uint8_t> mImage;
    UpdateProgressSink &mSink;
    Pause mPause;
    std::atomic<double> mPercentage = 0.0;
    DeviceResult mResult;
};
