// Rewriting the camera's SPI flash with a firmware image.
#include "device/flashupdate.h"

#include "device/spiflash.h"
#include "payload/firmwarecatalogue.h"

#include <algorithm>
#include <cstdio>
#include <span>

// The catalogue turns away images larger than this; the chip table is what decides it.
static_assert(kLargestFlashContent == kLargestPartCapacity, "the catalogue's image limit follows the chip table");

namespace {

constexpr uint32_t kSectorSize = 0x1000;
// The read-back goes in pieces so that a failure names where it happened and the buffer stays small.
constexpr uint32_t kVerifyPiece = 0x1000;

std::string at(const char *what, uint32_t address)
{
    char text[96];
    std::snprintf(text, sizeof text, "%s at 0x%X", what, address);
    return text;
}

} // namespace

FlashUpdate::FlashUpdate(std::vector<uint8_t> image, UpdateProgressSink &sink)
    : mImage(std::move(image))
    , mSink(sink)
{
}

bool FlashUpdate::fail(Step step, std::string reason)
{
    mFailedStep = step;
    mFailureReason = std::move(reason);
    return false;
}

bool FlashUpdate::hasPrefix()
{
    mFailedStep = Step::None;
    mFailureReason.clear();
    return mImage.size() >= kPrefixLength;
}

bool FlashUpdate::spi_erase_firmware()
{
    if (!hasPrefix())
        return fail(Step::Erase, "the image is shorter than its 4-byte prefix");
    // Counted on the file's length, prefix included: at times one sector more than the content
    // needs, never one less.
    const size_t sectors = mImage.size() / kSectorSize + 1;
    for (size_t k = 0; k < sectors; ++k) {
        const uint32_t address = uint32_t(k * kSectorSize);
        if (!spi_eraseSector(address))
            return fail(Step::Erase, at("erasing the sector", address));
    }
    return true;
}

bool FlashUpdate::spi_update_firmware()
{
    if (!hasPrefix())
        return fail(Step::Program, "the image is shorter than its 4-byte prefix");
    SPI_FLASH_INFO_t info{};
    if (!spi_identifyFlash(&info))
        return fail(Step::Program, "identifying the flash chip failed");

    const std::span<const uint8_t> content(this->content(), contentLength());
    for (size_t written = 0; written < content.size();) {
        const size_t length = std::min<size_t>(content.size() - written, info.pageSize);
        if (!spi_programPage(uint32_t(written), uint32_t(length), content.data() + written))
            return fail(Step::Program, at("programming the page", uint32_t(written)));
        written += length;
        mPercentage = double(written) / double(content.size()) * 100.0;
        mSink.progress(mPercentage, UpdateProgressSink::Stage::Writing);
    }

    // The image stands whether or not the lock takes; the read-back judges the content.
    spi_setWriteEnable(1);
    spi_setProtection(1);
    spi_setWriteEnable(0);
    return true;
}

bool FlashUpdate::spi_verify_firmware()
{
    if (!hasPrefix())
        return fail(Step::Verify, "the image is shorter than its 4-byte prefix");
    const std::span<const uint8_t> content(this->content(), contentLength());
    std::vector<uint8_t> piece(std::min<size_t>(content.size(), kVerifyPiece));
    for (size_t offset = 0; offset < content.size(); offset += piece.size()) {
        const auto expected = content.subspan(offset, std::min<size_t>(content.size() - offset, kVerifyPiece));
        const std::span<uint8_t> read(piece.data(), expected.size());
        std::fill(read.begin(), read.end(), 0);
        if (!spi_readData(uint32_t(offset), uint32_t(read.size()), read.data()))
            return fail(Step::Verify, at("reading the flash back", uint32_t(offset)));
        const auto differs = std::mismatch(expected.begin(), expected.end(), read.begin());
        if (differs.first != expected.end())
            return fail(Step::Verify, at("the flash differs from the image", uint32_t(offset + (differs.first - expected.begin()))));
    }
    return true;
}

bool FlashUpdate::run()
{
    return spi_erase_firmware() && spi_update_firmware() && spi_verify_firmware();
}
