// The firmware record read from the camera's own flash when it is opened, as 16 bytes at 0 and the
// user space's sector (with the bytes after it where the record runs past its end); the camera's
// strings and version then come from it, each string bounded by its own field.
#include "device/spiflash.h"
#include "payload/firmwareheader.h"
#include "tests/spiflash/spiwire.h"
#include "tools/firmwareimagebuilder.h"

#include <gtest/gtest.h>

#include <QJsonArray>

namespace {

// The flash bytes of an image, with the strings and version a camera reports.
std::vector<uint8_t> flashOf(FirmwareImageBuilder builder, uint16_t version = 0x0102)
{
    builder.version(version).product(QStringLiteral("LUMIVEX Audio T")).vendor(QStringLiteral("Lumivex Optics"));
    const QByteArray image = builder.serial(QStringLiteral("SN-4711")).build();
    return {image.begin() + qsizetype(FirmwareHeader::kImagePrefixSize), image.end()};
}

// Sets the stated length of the record's string that holds text to 255 bytes.
void overstate(std::vector<uint8_t> &flash, const QString &text)
{
    const QByteArray utf16(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    const auto at = std::search(flash.begin(), flash.end(), utf16.begin(), utf16.end());
    ASSERT_NE(at, flash.end());
    *(at - 2) = 255;
}

QByteArray bytesOf(const std::vector<uint8_t> &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
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
        bool overstated = false; // product and serial state 255 bytes, more than their field holds
    } cases[] = {
        {Layout::BootAddress, 0xE000, 0x10000, 4096},       // the highest base address
        {Layout::CodeAddress, 0x0F00, 0x2000, 0xF00 + 296}, // the record runs past its sector
        {Layout::BootAddress, 0xE000, 0x10000, 4096, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.base);
        std::vector<uint8_t> flash = flashOf(FirmwareImageBuilder().layout(c.layout).baseAddress(c.base));
        if (c.overstated) {
            overstate(flash, QStringLiteral("LUMIVEX Audio T"));
            overstate(flash, QStringLiteral("SN-4711"));
        }
        FlashSession session({}, flash, FlashSession::Unopened);
        bxHardwareLib &hardware = session.hardware;
        ASSERT_TRUE(session.open());

        // "Audio" and NULs leave the product name; a string never reads past its own field.
        EXPECT_EQ(hardware.GetProductString(), "LUMIVEX  T");
        EXPECT_EQ(hardware.GetFirmwareVersion(), 0x0102u);
        EXPECT_EQ(hardware.GetManufacturerString(), "Lumivex Optics");
        EXPECT_EQ(hardware.GetSerialNumberString(), c.overstated ? "SN-4711" + QString(57, QChar(u'\0')) : "SN-4711");
        // Two reads: the boot configuration, then the sector and what runs past it.
        const auto reads = session.transactions();
        ASSERT_EQ(reads.size(), 2u);
        EXPECT_EQ(reads[0].out + QString::number(reads[0].in.size() / 2), "0300000016");
        EXPECT_EQ(reads[1].out, QStringLiteral("03%1").arg(c.sector, 6, 16, QChar(u'0')));
        EXPECT_EQ(uint32_t(reads[1].in.size() / 2), c.sectorRead);
    }
}

// Each open starts from an empty record and fills it only from a whole read: a camera whose
// record cannot be read, opened after one whose record could, shows no version and no name.
TEST(CameraFirmwareRecord, ARecordThatCannotBeReadStaysEmptyAfterAnotherCamerasRecord)
{
    const std::vector<uint8_t> recorded = flashOf(FirmwareImageBuilder(), 0x0203);
    // The second camera's open: 1-2 register read, 3-4 the boot configuration's header piece,
    // 5-6 its bytes, 7-8 the user space's header piece, 9-10 its first 32 bytes.
    const struct
    {
        const char *name;
        std::vector<uint8_t> flash;
        int failing;          // transfer that stalls, 0: none
        uint64_t shortAnswer; // transfer answered with 8 bytes, 0: none
    } cases[] = {
        {"base beyond the flash", flashOf(FirmwareImageBuilder().baseAddress(0xE001)), 0, 0},
        {"boot configuration unread", recorded, 6, 0},
        {"boot configuration answered short", recorded, 0, 6},
        {"user space unread", recorded, 10, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        folder.write("first.bin", bytesOf(flashOf(FirmwareImageBuilder())));
        folder.write("second.bin", bytesOf(c.flash));
        CameraBench bench(QJsonArray{QJsonObject{{"flash", folder.filePath("first.bin")}},
                                     QJsonObject{{"pid", "0x5202"}, {"flash", folder.filePath("second.bin")},
                                                 {"fail_transfers", QJsonArray{c.failing}}}});
        if (c.shortAnswer)
            bench.camera(1).answerShort(c.shortAnswer, 8);
        bxHardwareLib hardware(bench.bus());
        ASSERT_TRUE(hardware.initDevice(0xF055, 0x5201, bxHardwareLib::kAnyInterfaceClass));
        ASSERT_EQ(hardware.GetFirmwareVersion(), 0x0102u);
        ASSERT_TRUE(hardware.initDevice(0xF055, 0x5202, bxHardwareLib::kAnyInterfaceClass));
        EXPECT_EQ(hardware.GetFirmwareVersion(), 0u);
        EXPECT_EQ(hardware.GetProductString() + hardware.GetSerialNumberString(), "");
    }
}
