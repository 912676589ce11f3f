// The one write sequence for the camera's SPI flash.
#include "device/flashupdate.h"

#include "device/spiflash.h"
#include "payload/firmwarecatalogue.h"

#include <algorithm>
#include <cstdio>
#include <span>

// The catalogue turns away images larger than this; the chip table is what decides it.
static_assert(kLargestFlashContent == kLargestPartCapacity, "the catalogue's image limit follows the chip table");

namespace {

// The read-back goes in pieces so that a failure names where it happened and the buffer stays small.
constexpr uint32_t kVerifyPiece = 0x1000;

std::string at(const char *what, uint32_t address)
{
    char text[96];
    std::snprintf(text, sizeof text, "%s at 0x%X", what, address);
    return text;
}

} // namespace

FlashUpdate::FlashUpdate(std::shared_ptr<CameraSession> session, std::vector<uint8_t> image, UpdateProgressSink &sink,
                         BeforeProgramming beforeProgramming)
    : mSession(std::move(session))
    , mImage(std::move(image))
    , mSink(sink)
    , mBeforeProgramming(std::move(beforeProgramming))
{
}

uint32_t FlashUpdate::sectorsToErase(size_t fileLength, const Part &part)
{
    // Counted on the file's length, prefix included: at times one sector more than the content
    // needs, never one less; but a sector past the part's end would wrap onto sector 0.
    return uint32_t(std::min<size_t>(fileLength / part.sectorSize + 1, part.capacity / part.sectorSize));
}

void FlashUpdate::requestStop(std::string why)
{
    if (mStop.load())
        return;
    mStopWhy = std::move(why);
    mStop = true;
}

bool FlashUpdate::stopRequested(const char *during)
{
    if (!mStop.load())
        return false;
    fail(mStep, mStopWhy + " " + during);
    return true;
}

bool FlashUpdate::fail(Step step, std::string reason, std::optional<uint32_t> address)
{
    mResult = DeviceFailure{step, std::move(reason), address};
    return false;
}

bool FlashUpdate::hasPrefix()
{
    mResult = {};
    mRefusal = Refusal::None;
    mDifference.reset();
    return mImage.size() >= kPrefixLength;
}

bool FlashUpdate::identifyAndFit()
{
    if (mPart)
        return true;
    SPI_FLASH_INFO_t info{};
    if (!mSession || !spi_identifyFlash(*mSession, &info)) {
        // A camera that has gone is not a part that was refused.
        if (!mSession || !mSession->isOpen())
            return fail(Step::Identify, "the camera has left");
        mRefusal = Refusal::UnknownPart;
        return fail(Step::Identify, "the flash part is not one this updater supports");
    }
    if (info.capacity == 0 || contentLength() > info.capacity) {
        char reason[128];
        std::snprintf(reason, sizeof reason, "the image holds %zu bytes; the flash part holds %u", contentLength(),
                      unsigned(info.capacity));
        mRefusal = Refusal::TooLarge;
        return fail(Step::Fit, reason);
    }
    mPart = Part{info.capacity, info.pageSize, info.sectorSize};
    return true;
}

uint32_t FlashUpdate::erasedEnd() const
{
    return mPart ? sectorsToErase(mImage.size(), *mPart) * mPart->sectorSize : 0;
}

bool FlashUpdate::spi_erase_firmware()
{
    if (!hasPrefix())
        return fail(Step::Erase, "the image is shorter than its 4-byte prefix");
    if (!identifyAndFit())
        return false;
    const uint32_t sectors = sectorsToErase(mImage.size(), *mPart);
    for (uint32_t k = 0; k < sectors; ++k) {
        mSink.progress(double(k) / double(sectors) * 100.0, UpdateProgressSink::Stage::Erasing);
        mStep = Step::Erase;
        if (stopRequested("during the erase"))
            return false;
        const uint32_t address = k * mPart->sectorSize;
        if (!spi_eraseSector(*mSession, address))
            return fail(Step::Erase, at("erasing the sector", address), address);
    }
    mStep = Step::None;
    return true;
}

bool FlashUpdate::spi_update_firmware()
{
    if (!hasPrefix())
        return fail(Step::Program, "the image is shorter than its 4-byte prefix");
    if (!identifyAndFit())
        return false;

    const std::span<const uint8_t> content(this->content(), contentLength());
    for (size_t written = 0; written < content.size();) {
        mStep = Step::Program;
        if (stopRequested("during programming"))
            return false;
        const size_t length = std::min<size_t>(content.size() - written, mPart->pageSize);
        if (!spi_programPage(*mSession, uint32_t(written), uint32_t(length), content.data() + written))
            return fail(Step::Program, at("programming the page", uint32_t(written)), uint32_t(written));
        written += length;
        mPercentage = double(written) / double(content.size()) * 100.0;
        mSink.progress(mPercentage, UpdateProgressSink::Stage::Writing);
    }
    mStep = Step::None;

    // The image stands whether or not the lock takes; the read-back judges the content.
    spi_setWriteEnable(*mSession, 1);
    spi_setProtection(*mSession, 1);
    spi_setWriteEnable(*mSession, 0);
    return true;
}

bool FlashUpdate::spi_verify_firmware()
{
    if (!hasPrefix())
        return fail(Step::Verify, "the image is shorter than its 4-byte prefix");
    if (!identifyAndFit())
        return false;
    // What was erased is what is checked: the image, then the erased bytes to the last sector's end.
    const std::span<const uint8_t> content(this->content(), contentLength());
    const uint32_t end = std::max<uint32_t>(erasedEnd(), uint32_t(content.size()));
    std::vector<uint8_t> piece(kVerifyPiece);
    for (uint32_t offset = 0; offset < end; offset += kVerifyPiece) {
        mSink.progress(double(offset) / double(end) * 100.0, UpdateProgressSink::Stage::ReadingBack);
        mStep = Step::Verify;
        if (stopRequested("during the read-back"))
            return false;
        const std::span<uint8_t> read(piece.data(), std::min(end - offset, kVerifyPiece));
        std::fill(read.begin(), read.end(), 0);
        if (!spi_readData(*mSession, offset, uint32_t(read.size()), read.data()))
            return fail(Step::Verify, at("reading the flash back", offset), offset);
        for (size_t i = 0; i < read.size(); ++i) {
            const size_t address = offset + i;
            const uint8_t expected = address < content.size() ? content[address] : 0xFF;
            if (read[i] != expected) {
                mDifference = uint32_t(address);
                return fail(Step::Verify,
                            at(address < content.size() ? "the flash differs from the image" : "the flash is not erased",
                               uint32_t(address)),
                            uint32_t(address));
            }
        }
    }
    mStep = Step::None;
    return true;
}

bool FlashUpdate::run()
{
    if (!spi_erase_firmware())
        return false;
    if (mBeforeProgramming && !mBeforeProgramming()) {
        mStep = Step::Program;
        if (!stopRequested("before programming"))
            fail(Step::Program, "stopped before programming");
        return false;
    }
    return spi_update_firmware() && spi_verify_firmware();
}
