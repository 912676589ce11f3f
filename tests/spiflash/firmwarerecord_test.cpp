// The firmware record read from the camera's own flash when it is opened, as 16 bytes at 0 and the
// user space's sector (with the bytes after it where the record runs past its end); the camera's
// strings and version then come from it, each string bounded by its own field.
#include "device/spiflash.h"
#include "payload/firmwareheader.h"
#include "tests/spiflash/spiwire.h"
#include "tools/firmwareimagebuilder.h"

#include <gtest/gtest.h>

namespace {

// The flash bytes of an image, with the strings and version a camera reports.
std::vector<uint8_t> flashOf(FirmwareImageBuilder builder)
{
    builder.version(0x0102).product(QStringLiteral("LUMIVEX Audio T")).vendor(QStringLiteral("Lumivex Optics"));
    const QByteArray image = builder.serial(QStringLiteral("SN-4711")).build();
    return {image.begin() + qsizetype(FirmwareHeader::kImagePrefixSize), image.end()};
}

// Sets the stated length of the record's string that holds text to 255 bytes.
void overstate(std::vector<uint8_t> &flash, const QString &text)
{
    const QByteArray utf16(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    *(std::search(flash.begin(), flash.end(), utf16.begin(), utf16.end()) - 2) = 255;
}

} // namespace

TEST(CameraFirmwareRecord, OpeningReadsTheRecordFromTheFlash)
{
    using Layout = FirmwareImageBuilder::Layout;
    const struct { Layout layout; uint32_t base, sector, sectorRead /* bytes */; bool overstated = false; } cases[] = {
        {Layout::BootAddress, 0xE000, 0x10000, 4096},       // the highest base address
        {Layout::CodeAddress, 0x0F00, 0x2000, 0xF00 + 296}, // the record runs past its sector
        {Layout::BootAddress, 0xE000, 0x10000, 4096, true}, // product and serial state more than their field holds
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.base);
        std::vector<uint8_t> flash = flashOf(FirmwareImageBuilder().layout(c.layout).baseAddress(c.base));
        if (c.overstated) {
            overstate(flash, QStringLiteral("LUMIVEX Audio T"));
            overstate(flash, QStringLiteral("SN-4711"));
        }
        FlashSession session({}, flash);
        ASSERT_TRUE(session.open()); // again, on the wire this time
        bxHardwareLib &hardware = session.hardware;
        // "Audio" and NULs leave the product name; a string never reads past its own field.
        EXPECT_EQ(hardware.GetProductString(), "LUMIVEX  T");
        EXPECT_EQ(hardware.GetFirmwareVersion(), 0x0102u);
        EXPECT_EQ(hardware.GetManufacturerString(), "Lumivex Optics");
        EXPECT_EQ(hardware.GetSerialNumberString(), c.overstated ? "SN-4711" + QString(57, QChar(u'\0')) : "SN-4711");
        const auto reads = session.transactions();
        ASSERT_EQ(reads.size(), 2u);
        EXPECT_EQ(reads[0].out + QString::number(reads[0].in.size() / 2), "0300000016");
        EXPECT_EQ(reads[1].out, QStringLiteral("03%1").arg(c.sector, 6, 16, QChar(u'0')));
        EXPECT_EQ(uint32_t(reads[1].in.size() / 2), c.sectorRead);
    }
}

// Each open starts from an empty record and fills it only from a whole read: an open whose record
// cannot be read, after one that read it, shows no version and no name. The reopen's transfers:
// 1-2 register read, 3-4 the boot configuration's header piece, 5-6 its bytes, 7-8 the user
// space's header piece, 9-10 its first 32 bytes.
TEST(CameraFirmwareRecord, ARecordThatCannotBeReadStaysEmpty)
{
    for (const uint64_t shortAnswer : {6, 10}) {
        SCOPED_TRACE(shortAnswer);
        FlashSession session({}, flashOf(FirmwareImageBuilder()));
        ASSERT_EQ(session.hardware.GetFirmwareVersion(), 0x0102u);
        session.bench.camera().answerShort(session.bench.camera().transferCount() + shortAnswer, 8);
        ASSERT_TRUE(session.open());
        EXPECT_EQ(session.hardware.GetFirmwareVersion(), 0u);
        EXPECT_EQ(session.hardware.GetProductString() + session.hardware.GetSerialNumberString(), "");
    }
    FlashSession beyond({}, flashOf(FirmwareImageBuilder().baseAddress(0xE001)));
    EXPECT_EQ(beyond.hardware.GetFirmwareVersion() + beyond.hardware.GetProductString().size(), 0u);
}
