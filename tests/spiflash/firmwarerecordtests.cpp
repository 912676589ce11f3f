// The firmware record read from the camera's own flash when it is opened: the same record an
// image file gives, read as 16 bytes at 0 and the user space's sector (with the bytes after it
// where the record runs past its end); the camera's strings and version then come from it.
#include "device/spiflash.h"
#include "payload/firmwareheader.h"
#include "tests/spiflash/spiwire.h"
#include "tools/firmwareimagebuilder.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The flash bytes of an image, with the strings and version a camera reports.
std::vector<uint8_t> flashOf(FirmwareImageBuilder builder)
{
    builder.version(0x0102).product(QStringLiteral("LUMIVEX T")).vendor(QStringLiteral("Lumivex Optics"));
    const QByteArray image = builder.serial(QStringLiteral("SN-4711")).build();
    return {image.begin() + qsizetype(FirmwareHeader::kImagePrefixSize), image.end()};
}

} // namespace

TEST(CameraFirmwareRecord, OpeningReadsTheRecordFromTheFlash)
{
    using Layout = FirmwareImageBuilder::Layout;
    const struct
    {
        Layout layout;
        uint32_t base;
        uint32_t sector;
        uint32_t sectorRead; // bytes read at the sector
    } cases[] = {
        {Layout::BootAddress, 0xE000, 0x10000, 4096},       // the highest base address
        {Layout::CodeAddress, 0x0F00, 0x2000, 0xF00 + 296}, // the record runs past its sector
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.base);
        const std::vector<uint8_t> flash = flashOf(FirmwareImageBuilder().layout(c.layout).baseAddress(c.base));
        FlashSession session({}, flash, FlashSession::Unopened);
        bxHardwareLib &hardware = session.hardware;
        ASSERT_TRUE(session.open());

        EXPECT_EQ(hardware.GetProductString(), "LUMIVEX T");
        EXPECT_EQ(hardware.GetFirmwareVersion(), 0x0102u);
        EXPECT_EQ(hardware.GetManufacturerString(), "Lumivex Optics");
        EXPECT_EQ(hardware.GetSerialNumberString(), "SN-4711");
        // The record is the one the image file gives, byte for byte.
        _QLV2_FW_INFO fromFile{};
        ASSERT_TRUE(parseQLV2FirmwareInfo(fromFile, flash));
        EXPECT_EQ(std::memcmp(&fromFile, &hardware.myQLV2_FW_Info, sizeof fromFile), 0);

        // Two reads: the boot configuration, then the sector and what runs past it.
        const auto reads = session.transactions();
        ASSERT_EQ(reads.size(), 2u);
        EXPECT_EQ(reads[0].out + QString::number(reads[0].in.size() / 2), "0300000016");
        EXPECT_EQ(reads[1].out, QStringLiteral("03%1").arg(c.sector, 6, 16, QChar(u'0')));
        EXPECT_EQ(uint32_t(reads[1].in.size() / 2), c.sectorRead);
    }
}

TEST(CameraFirmwareRecord, ABlankFlashOrABaseBeyondTheFlashGivesAnEmptyRecordAndTheOpenSucceeds)
{
    for (const auto &flash : {std::vector<uint8_t>{}, flashOf(FirmwareImageBuilder().baseAddress(0xE001))}) {
        SCOPED_TRACE(flash.size());
        FlashSession session({}, flash, FlashSession::Unopened);
        ASSERT_TRUE(session.open());
        EXPECT_EQ(session.hardware.myQLV2_FW_Info.SectorAddr, 0u);
        EXPECT_EQ(session.hardware.GetFirmwareVersion(), 0u);
        EXPECT_EQ(session.hardware.GetProductString(), "");
        EXPECT_FALSE(session.hardware.loadQLV2FirmwareInfo());
        EXPECT_EQ(commands(session.transactions()), QStringList({"03000000", "03000000"})); // at the open and again
    }
}
