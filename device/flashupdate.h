// The one write sequence for the camera's SPI flash, which the window and the command line both
// run: identify the part, check that the image fits it, erase the sectors the image needs, program
// it page by page, lock the flash, and read back the whole erased range. Nothing is erased before
// the part is known and the image is known to fit, so a refusal leaves the camera as it was. Runs
// on whatever thread calls it, over the camera session it was given.
#pragma once

#include "device/camerasession.h"
#include "device/deviceresult.h"
#include "device/updateprogress.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class FlashUpdate
{
public:
    using Step = DeviceStep;
    // Why the camera was turned away before anything was erased.
    enum class Refusal { None, UnknownPart, TooLarge };

    // Called between the erase and the programming; false stops the run there (its reason is
    // whatever requestStop gave, else "stopped before programming").
    using BeforeProgramming = std::function<bool()>;

    // image is the whole image file: a 4-byte prefix, then the flash content from address 0. The
    // run holds the session for as long as it lives; a null one is a camera that has left.
    FlashUpdate(std::shared_ptr<CameraSession> session, std::vector<uint8_t> image, UpdateProgressSink &sink,
                BeforeProgramming beforeProgramming = {});

    FlashUpdate(const FlashUpdate &) = delete;
    FlashUpdate &operator=(const FlashUpdate &) = delete;

    // Identifies the part (a read) and checks the image fits it, once; then erases the 4 KiB
    // sectors from address 0 that the image file's length reaches, plus one, never past the part.
    bool spi_erase_firmware();
    // Programs the image in pages of the part's page size reporting progress after each page,
    // then sets the block protection.
    bool spi_update_firmware();
    // Reads the erased range back: true only when it holds the image, then 0xFF to its end.
    bool spi_verify_firmware();
    // The steps in order, stopping at the first that fails.
    bool run();

    // Asks the run, from any thread, to stop at the next sector, page or read-back piece: never
    // inside a transaction. why names who asked ("quit"); the reason says where it stopped.
    void requestStop(std::string why);

    // The share of the image programmed, 0 to 100; may be read from another thread.
    double percentage() const { return mPercentage.load(); }
    // How the last step or run came out: the step that failed, why and where.
    const DeviceResult &result() const { return mResult; }
    Step failedStep() const { return mResult.step(); }
    const std::string &failureReason() const { return mResult.reason(); }
    // Why the camera was turned away unchanged, when it was.
    Refusal refusal() const { return mRefusal; }
    // True when the run was refused before it erased anything: the camera holds what it held.
    bool leftUntouched() const { return mRefusal != Refusal::None; }
    // Where the read-back first found a byte other than the image's (or than erased), when it
    // did: a flash that was read and differs, not one that could not be read.
    std::optional<uint32_t> firstDifference() const { return mDifference; }

private:
    struct Part
    {
        uint32_t capacity;
        uint32_t pageSize;
        uint32_t sectorSize;
    };

    // How many sectors an image file of this length erases on the part.
    static uint32_t sectorsToErase(size_t fileLength, const Part &part);

    bool fail(Step step, std::string reason, std::optional<uint32_t> address = std::nullopt);
    bool hasPrefix();
    // Identification and the fit, asked of the camera once per run.
    bool identifyAndFit();
    bool stopRequested(const char *during);
    // The bytes the flash receives: the file from offset 4 on.
    const uint8_t *content() const { return mImage.data() + kPrefixLength; }
    size_t contentLength() const { return mImage.size() - kPrefixLength; }
    uint32_t erasedEnd() const;

    static constexpr size_t kPrefixLength = 4;

    const std::shared_ptr<CameraSession> mSession;
    const std::vector<uint8_t> mImage;
    UpdateProgressSink &mSink;
    BeforeProgramming mBeforeProgramming;
    std::optional<Part> mPart;
    std::atomic<bool> mStop = false;
    std::string mStopWhy; // written before mStop is set, read after it is seen
    std::atomic<double> mPercentage = 0.0;
    Step mStep = Step::None; // the step under way: the one a failure or a stop belongs to
    DeviceResult mResult;
    Refusal mRefusal = Refusal::None;
    std::optional<uint32_t> mDifference;
};
