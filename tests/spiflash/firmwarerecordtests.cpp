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

using Layout = FirmwareImageBuilder::Layout;

FirmwareImageBuilder cameraImage()
{
    return FirmwareImageBuilder()
        .version(0x0102)
        .product(QStringLiteral("LUMIVEX T"))
        .vendor(QStringLiteral("Lumivex Optics"))
        .serial(QStringLiteral("SN-4711"));
}

// A camera whose flash holds the image's flash bytes.
class CameraWithImage
{
public:
    explicit CameraWithImage(const QByteArray &image)
        : flashBytes(image.mid(qsizetype(FirmwareHeader::kImagePrefixSize)))
    {
        folder.write(QStringLiteral("flash.bin"), flashBytes);
        session = std::make_unique<FlashSession>(QJsonObject{{"flash", folder.filePath(QStringLiteral("flash.bin"))}},
                                                 FlashSession::Unopened);
    }

    QByteArray flashBytes;
    ScratchFolder folder;
    std::unique_ptr<FlashSession> session;
};

} // namespace

TEST(CameraFirmwareRecord, OpeningReadsTheRecordFromTheFlash)
{
    struct Case
    {
        Layout layout;
        uint32_t base;
        uint32_t sector;
        uint32_t sectorRead; // bytes read at the sector
    };
    const Case cases[] = {
        {Layout::BootAddress, 0x0000, 0x2000, 4096},
        {Layout::CodeAddress, 0x3000, 0x5000, 4096},
        {Layout::BootAddress, 0xE000, 0x10000, 4096},        // the highest base address
        {Layout::CodeAddress, 0x0F00, 0x2000, 0xF00 + 296},  // the record runs past its sector
    };
    for (const Case &c : cases) {
        const QByteArray image = cameraImage().layout(c.layout).baseAddress(c.base).build();
        CameraWithImage camera(image);
        FlashSession &session = *camera.session;
        bxHardwareLib &hardware = session.hardware;
        ASSERT_TRUE(session.open()) << c.base;

        EXPECT_EQ(hardware.GetProductString(), "LUMIVEX T") << c.base;
        EXPECT_EQ(hardware.GetFirmwareVersion(), 0x0102u) << c.base;
        EXPECT_EQ(hardware.GetManufacturerString(), "Lumivex Optics") << c.base;
        EXPECT_EQ(hardware.GetSerialNumberString(), "SN-4711") << c.base;

        // The record is the one the image file gives, byte for byte.
        _QLV2_FW_INFO fromFile{};
        ASSERT_TRUE(parseQLV2FirmwareInfo(fromFile, std::span(reinterpret_cast<const uint8_t *>(camera.flashBytes.constData()),
                                                              size_t(camera.flashBytes.size()))));
        EXPECT_EQ(std::memcmp(&fromFile, &hardware.myQLV2_FW_Info, sizeof fromFile), 0) << c.base;
        EXPECT_EQ(hardware.myQLV2_FW_Info.SectorAddr, c.sector);

        // Two reads: the boot configuration, then the sector and what runs past it.
        std::vector<SpiTransaction> reads;
        for (const SpiTransaction &t : session.transactions()) {
            if (t.out.startsWith("03"))
                reads.push_back(t);
        }
        ASSERT_EQ(reads.size(), 2u) << c.base;
        EXPECT_EQ(reads[0].out, "03000000");
        EXPECT_EQ(reads[0].in.size(), 32);
        EXPECT_EQ(reads[1].out, QStringLiteral("03%1").arg(c.sector, 6, 16, QChar(u'0')));
        EXPECT_EQ(uint32_t(reads[1].in.size() / 2), c.sectorRead) << c.base;
    }
}

TEST(CameraFirmwareRecord, BaseAddressBeyondTheFlashFormatStopsAfterTheBootConfiguration)
{
    const QByteArray image = cameraImage().baseAddress(0xE001).build();
    CameraWithImage camera(image);
    FlashSession &session = *camera.session;
    ASSERT_TRUE(session.open());
    const _QLV2_FW_INFO &info = session.hardware.myQLV2_FW_Info;
    EXPECT_EQ(info.ChipType, 1);
    EXPECT_EQ(info.UserSpaceAddr, 0xE001u + 0x2000);
    EXPECT_EQ(info.SectorAddr, 0u);
    EXPECT_EQ(session.hardware.GetFirmwareVersion(), 0u);
    EXPECT_EQ(session.hardware.GetProductString(), "");
    EXPECT_EQ(session.hardware.loadQLV2FirmwareInfo(), false);
    int reads = 0;
    for (const SpiTransaction &t : session.transactions())
        reads += t.out.startsWith("03") ? 1 : 0;
    EXPECT_EQ(reads, 2); // the 16 bytes at 0, once at the open and once again
}

TEST(CameraFirmwareRecord, ABlankFlashGivesAnEmptyRecordAndTheOpenStillSucceeds)
{
    FlashSession session;
    ASSERT_TRUE(session.opened());
    EXPECT_EQ(session.hardware.GetFirmwareVersion(), 0u);
    EXPECT_EQ(session.hardware.GetProductString(), "");
    EXPECT_EQ(session.hardware.myQLV2_FW_Info.ChipType, 2); // code size bytes of 0xFF
}
