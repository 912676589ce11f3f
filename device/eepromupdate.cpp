// Rewriting a camera's boot EEPROM with a firmware image.
#include "device/eepromupdate.h"

#include "device/bxhardwarelib.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <span>
#include <thread>

namespace {

constexpr uint32_t kPiece = 32;
constexpr uint32_t kDescriptorBlock = 100;
constexpr uint32_t kDescriptorBlockLength = 256;
// The first address the comparison looks at: the bytes below are the image's header area, the
// camera's descriptor block and, at 0, the closing bytes written last.
constexpr uint32_t kComparedFrom = kDescriptorBlock + kDescriptorBlockLength;
constexpr size_t kEepromSize = 0x10000;
constexpr std::array<uint8_t, 4> kClosingBytes = {0x26, 0x00, 0x03, 0x00};
constexpr std::chrono::milliseconds kRetryPause{2000};

using Stage = UpdateProgressSink::Stage;

} // namespace

EepromUpdate::EepromUpdate(bxHardwareLib &hardware, std::vector<uint8_t> image, UpdateProgressSink &sink, Pause pause)
    : mHardware(hardware)
    , mImage(std::move(image))
    , mSink(sink)
    , mPause(pause ? std::move(pause) : Pause([](std::chrono::milliseconds time) { std::this_thread::sleep_for(time); }))
{
}

bool EepromUpdate::fail(Step step, std::string reason)
{
    mResult = DeviceFailure{step, std::move(reason)};
    return false;
}

bool EepromUpdate::fits()
{
    mResult = {};
    // Shorter images would put image bytes where the descriptor block and the comparison go;
    // longer ones do not fit the EEPROM's 16-bit addresses.
    return mImage.size() >= kComparedFrom && mImage.size() <= kEepromSize;
}

void EepromUpdate::report(double percent, Stage stage)
{
    mPercentage = percent;
    mSink.progress(percent, stage);
}

bool EepromUpdate::update_firmware()
{
    mPercentage = 0.0;
    if (!fits())
        return fail(Step::Write, "the image is not 356 to 65536 bytes long");

    std::vector<uint8_t> buffer = mImage;
    const uint8_t *block = mHardware.GetEeprom256Bytes();
    std::copy_n(block, kDescriptorBlockLength, buffer.begin() + kDescriptorBlock);

    const auto length = uint32_t(buffer.size());
    const uint32_t whole = length - length % kPiece;
    for (uint32_t offset = 0; offset < whole; offset += kPiece) {
        report(double(offset) / length * 100.0, Stage::Writing);
        // The rest of the pass is left out; the comparison that follows finds the difference and
        // writes the image again.
        if (mHardware.fEEPROMWrite(offset, kPiece, buffer.data() + offset) != 0)
            return true;
    }
    // Sent even without data bytes: it only sets the EEPROM's address then.
    mHardware.fEEPROMWrite(whole, length % kPiece, buffer.data() + whole);
    report(100.0, Stage::Writing);
    return true;
}

bool EepromUpdate::compare(uint32_t *differsAt)
{
    const std::span<const uint8_t> image(mImage);
    const auto length = uint32_t(image.size());
    const uint32_t n = length - kComparedFrom;
    std::array<uint8_t, kPiece> read{};
    for (uint32_t k = 0; k < n / kPiece; ++k) {
        const uint32_t offset = kComparedFrom + k * kPiece;
        read.fill(0);
        report(double(kPiece * k) / n * 100.0, Stage::Verifying);
        *differsAt = offset;
        // A piece that cannot be read counts as different, whatever the zeros would compare to.
        if (mHardware.fEEPROMRead(offset, kPiece, read.data()) != 0)
            return false;
        if (!std::equal(read.begin(), read.end(), image.begin() + offset))
            return false;
    }
    const uint32_t tail = n % kPiece;
    const uint32_t offset = kComparedFrom + n - tail;
    read.fill(0);
    const uint32_t status = mHardware.fEEPROMRead(offset, tail, read.data());
    report(100.0, Stage::Verifying);
    *differsAt = offset;
    if (tail == 0)
        return true;
    return status == 0 && std::equal(read.begin(), read.begin() + tail, image.begin() + offset);
}

bool EepromUpdate::verify_firmware()
{
    mPercentage = 0.0;
    if (!fits())
        return fail(Step::Verify, "the image is not 356 to 65536 bytes long");

    uint32_t differsAt = 0;
    for (int rewrites = 0;; ++rewrites) {
        if (compare(&differsAt)) {
            report(100.0, Stage::Verified);
            return true;
        }
        if (rewrites == kRewrites)
            break;
        report(mPercentage, Stage::VerifyRetry);
        mPause(kRetryPause);
        update_firmware();
    }
    char reason[96];
    std::snprintf(reason, sizeof reason, "the EEPROM still differs from the image at 0x%X after %d rewrites",
                  differsAt, kRewrites);
    return fail(Step::Verify, reason);
}

bool EepromUpdate::finalizing_firmware()
{
    mResult = {};
    // The run ends on these bytes; had they not gone in, completion would be reported over an
    // EEPROM that still holds the image's own first bytes.
    if (mHardware.fEEPROMWrite(0, uint32_t(kClosingBytes.size()), kClosingBytes.data()) != 0)
        return fail(Step::Finalize, "writing the closing bytes at 0x0 failed");
    report(100.0, Stage::Finalized);
    return true;
}

bool EepromUpdate::run()
{
    return update_firmware() && verify_firmware() && finalizing_firmware();
}
