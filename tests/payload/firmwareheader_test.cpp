// Firmware header parsing: where the user space is found, which images are accepted, and that a
// short file is never read past its end.
#include "payload/firmwareheader.h"
#include "tools/firmwareimagebuilder.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::span<const uint8_t> flashOf(const QByteArray &file)
{
    return std::span(reinterpret_cast<const uint8_t *>(file.constData()), size_t(file.size()))
        .subspan(FirmwareHeader::kImagePrefixSize);
}

void putLe16(QByteArray &file, qsizetype offset, uint16_t v)
{
    file[offset] = char(v & 0xFF);
    file[offset + 1] = char(v >> 8);
}

} // namespace

TEST(FirmwareHeader, BaseAddressZeroReadsIdentityRightAfterThePrefixAndTwoSectors)
{
    // Built by hand at file offsets, so the record layout is not checked against itself.
    QByteArray file(4 + 0x3000, '\0');
    putLe16(file, 4 + 0x2000 + 4, 0x0102);
    putLe16(file, 4 + 0x2000 + 6, 0x1234);
    putLe16(file, 4 + 0x2000 + 8, 0xABCD);
    file[4 + 0x2000 + 72] = 4; // product string: two UTF-16 units
    file[4 + 0x2000 + 74] = 'T';

    _QLV2_FW_INFO info{};
    ASSERT_TRUE(parseQLV2FirmwareInfo(info, flashOf(file)));
    EXPECT_EQ(info.ChipType, 1);
    EXPECT_EQ(info.UserFreeSpaceAddr, 0x1000u);
    EXPECT_EQ(info.UserSpaceAddr, 0x2000u);
    EXPECT_EQ(info.SectorAddr, 0x2000u);
    EXPECT_EQ(info.DefaultUVCPropertyAddr, 256u);
    EXPECT_EQ(info.UserSpaceData.FirmwareVersion, 258);
    EXPECT_EQ(info.UserSpaceData.VID, 0x1234);
    EXPECT_EQ(info.UserSpaceData.PID, 0xABCD);
    EXPECT_EQ(info.UserSpaceData.ProductString.StringLen, 4);
    EXPECT_EQ(info.UserSpaceData.ProductString.StringData[0], 'T');
}

TEST(FirmwareHeader, BaseAddressLimits)
{
    struct Case
    {
        uint32_t base;
        bool accepted;
        uint32_t userSpace;
        uint32_t sector;
        uint32_t uvcOffset;
    };
    const std::vector<Case> cases = {
        {0x0000, true, 0x2000, 0x2000, 256},
        {0x0F00, true, 0x2F00, 0x2000, 0xF00 + 256},
        {0xE000, true, 0x10000, 0x10000, 256},
        {0xE001, false, 0x10001, 0, 0},
        {0xFFFFFF, false, 0x1001FFF, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.base);
        // The builder cannot lay out a rejected base; give it a valid one and patch the address.
        QByteArray file = FirmwareImageBuilder().baseAddress(c.accepted ? c.base : 0).flashLength(0x11000).build();
        file[4 + 2] = char(c.base);
        file[4 + 3] = char(c.base >> 8);
        file[4 + 4] = char(c.base >> 16);

        _QLV2_FW_INFO info{};
        EXPECT_EQ(parseQLV2FirmwareInfo(info, flashOf(file)), c.accepted);
        EXPECT_EQ(info.UserSpaceAddr, c.userSpace);
        EXPECT_EQ(info.SectorAddr, c.sector);
        EXPECT_EQ(info.DefaultUVCPropertyAddr, c.uvcOffset);
        if (!c.accepted) {
            EXPECT_EQ(info.UserSpaceData.FirmwareVersion, 0) << "a rejected parse leaves the user space zero";
        }
    }
}

TEST(FirmwareHeader, CodeSizeBytesSwitchTheLayout)
{
    // Boot address says 0x1000, code address says 0x3000: the code size picks one.
    for (int nonZero = -1; nonZero < 3; ++nonZero) {
        SCOPED_TRACE(nonZero);
        QByteArray file = FirmwareImageBuilder().baseAddress(0x1000).version(0x1111).flashLength(0x8000).build();
        QByteArray other = FirmwareImageBuilder().baseAddress(0x3000).version(0x3333).flashLength(0x8000).build();
        file.replace(4 + 0x5000, 0x1000, other.mid(4 + 0x5000, 0x1000));
        file[4 + 3] = 0x10;  // boot address 0x001000
        file[4 + 10] = 0x00; // code address 0x003000
        file[4 + 11] = 0x30;
        file[4 + 12] = 0x00;
        for (int i = 0; i < 3; ++i)
            file[4 + 13 + i] = char(i == nonZero ? 0x01 : 0x00);

        _QLV2_FW_INFO info{};
        ASSERT_TRUE(parseQLV2FirmwareInfo(info, flashOf(file)));
        EXPECT_EQ(info.ChipType, nonZero < 0 ? 1 : 2);
        EXPECT_EQ(info.UserSpaceAddr, nonZero < 0 ? 0x3000u : 0x5000u);
        EXPECT_EQ(info.UserSpaceData.FirmwareVersion, nonZero < 0 ? 0x1111 : 0x3333);
    }
}

TEST(FirmwareHeader, ShortFilesAreRejectedWithoutReadingPastTheirEnd)
{
    struct Case
    {
        uint32_t base;
        uint32_t needed; // flash bytes the header needs
    };
    // The sector end decides, except where the default UVC block runs past it.
    for (const Case c : {Case{0x0000, 0x3000}, Case{0x0F00, 0x3028}, Case{0xE000, 0x11000}}) {
        SCOPED_TRACE(c.base);
        const QByteArray full = FirmwareImageBuilder().baseAddress(c.base).build();
        ASSERT_EQ(full.size(), qsizetype(4 + c.needed));
        for (uint32_t length : {c.needed, c.needed - 1, 0x2000u, 16u, 15u, 0u}) {
            // A copy of exactly that length, so a read past it is a read past the allocation.
            const std::vector<uint8_t> flash(full.begin() + 4, full.begin() + 4 + length);
            _QLV2_FW_INFO info{};
            EXPECT_EQ(parseQLV2FirmwareInfo(info, flash), length == c.needed) << length;
        }
    }
}
