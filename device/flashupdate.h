// Rewriting the camera's SPI flash with a firmware image: erase the sectors the image needs,
// program it page by page, lock the flash and compare what the flash holds with the image. Runs
// on whatever thread calls it, over the session that bxHardwareLib has open.
#pragma once

#include "device/updateprogress.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class FlashUpdate
{
public:
    enum class Step { None, Erase, Program, Verify };

    // image is the whole image file: a 4-byte prefix, then the flash content from address 0.
    FlashUpdate(std::vector<uint8_t> image, UpdateProgressSink &sink);

    FlashUpdate(const FlashUpdate &) = delete;
    FlashUpdate &operator=(const FlashUpdate &) = delete;

    // Erases the 4 KiB sectors from address 0 that the image file's length reaches, plus one.
    bool spi_erase_firmware();
    // Identifies the chip, programs the image in pages of its page size reporting progress after
    // each page, then sets the block protection.
    bool spi_update_firmware();
    // Reads the image's flash range back; true only when it equals the image.
    bool spi_verify_firmware();
    // The three steps in order, stopping at the first that fails.
    bool run();

    // The share of the image programmed, 0 to 100; may be read from another thread.
    double percentage() const { return mPercentage.load(); }
    // The step that failed last and why, in a few words for the log; None and empty after success.
    Step failedStep() const { return mFailedStep; }
    const std::string &failureReason() const { return mFailureReason; }

private:
    bool fail(Step step, std::string reason);
    bool hasPrefix();
    // The bytes the flash receives: the file from offset 4 on.
    const uint8_t *content() const { return mImage.data() + kPrefixLength; }
    size_t contentLength() const { return mImage.size() - kPrefixLength; }

    static constexpr size_t kPrefixLength = 4;

    const std::vector<uint8_t> mImage;
    UpdateProgressSink &mSink;
    std::atomic<double> mPercentage = 0.0;
    Step mFailedStep = Step::None;
    std::string mFailureReason;
};
