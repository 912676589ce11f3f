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

// Little-endian at a file offset.
void put(QByteArray &file, qsizetype offset, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        file[offset + i] = char(value >> (8 * i));
}

TEST(FirmwareHeader, BaseAddressZeroReadsIdentityRightAfterThePrefixAndTwoSectors)
{
    // Built by hand at file offsets, so the record layout is not checked against itself.
    QByteArray file(4 + 0x3000, '\0');
    put(file, 4 + 0x2000 + 4, 0xABCD'1234'0102, 6); // version, VID, PID
    file[4 + 0x2000 + 72] = 4; // product string: two UTF-16 units
    file[4 + 0x2000 + 74] = 'T';
    _QLV2_FW_INFO info{};
    ASSERT_TRUE(parseQLV2FirmwareInfo(info, flashOf(file)));
    const auto &user = info.UserSpaceData;
    EXPECT_TRUE(info.ChipType == 1 && info.UserFreeSpaceAddr == 0x1000u && info.DefaultUVCPropertyAddr == 256u);
    EXPECT_TRUE(user.FirmwareVersion == 258 && user.VID == 0x1234 && user.PID == 0xABCD);
    EXPECT_TRUE(user.ProductString.StringLen == 4 && user.ProductString.StringData[0] == 'T');
}

// Each base address that is accepted then has its short files rejected without a read past their
// end: the sector end decides how long a file must be, except where the default UVC block runs past it.
TEST(FirmwareHeader, BaseAddressLimitsAndShortFiles)
{
    struct Row { uint32_t base; bool accepted; uint32_t userSpace, sector, uvcOffset, needed; };
    for (const Row r : {Row{0, true, 0x2000, 0x2000, 256, 0x3000}, Row{0x0F00, true, 0x2F00, 0x2000, 0x1000, 0x3028},
                        Row{0xE000, true, 0x10000, 0x10000, 256, 0x11000}, Row{0xE001, false, 0x10001, 0, 0, 0},
                        Row{0xFFFFFF, false, 0x1001FFF, 0, 0, 0}}) {
        SCOPED_TRACE(r.base);
        // The builder cannot lay out a rejected base; give it a valid one and patch the address.
        QByteArray file = FirmwareImageBuilder().baseAddress(r.accepted ? r.base : 0).flashLength(0x11000).build();
        put(file, 4 + 2, r.base, 3);
        _QLV2_FW_INFO info{};
        EXPECT_EQ(parseQLV2FirmwareInfo(info, flashOf(file)), r.accepted);
        EXPECT_TRUE(info.UserSpaceAddr == r.userSpace && info.SectorAddr == r.sector && info.DefaultUVCPropertyAddr == r.uvcOffset);
        EXPECT_EQ(info.UserSpaceData.FirmwareVersion, r.accepted ? 0x0100 : 0) << "a rejected parse leaves the user space zero";
        if (!r.accepted)
            continue;
        const QByteArray full = FirmwareImageBuilder().baseAddress(r.base).build();
        ASSERT_EQ(full.size(), qsizetype(4 + r.needed));
        for (uint32_t length : {r.needed, r.needed - 1, 0x2000u, 16u, 15u, 0u}) {
            // A copy of exactly that length, so a read past it is a read past the allocation.
            const std::vector<uint8_t> flash(full.begin() + 4, full.begin() + 4 + length);
            _QLV2_FW_INFO shortInfo{};
            EXPECT_EQ(parseQLV2FirmwareInfo(shortInfo, flash), length == r.needed) << length;
        }
    }
}

TEST(FirmwareHeader, CodeSizeBytesSwitchTheLayout)
{
    // Boot address says 0x1000, code address says 0x3000: a non-zero code size picks the latter.
    for (int nonZero = -1; nonZero < 3; ++nonZero) {
        SCOPED_TRACE(nonZero);
        QByteArray file = FirmwareImageBuilder().baseAddress(0x1000).version(0x1111).flashLength(0x8000).build();
        const QByteArray other = FirmwareImageBuilder().baseAddress(0x3000).version(0x3333).flashLength(0x8000).build();
        file.replace(4 + 0x5000, 0x1000, other.mid(4 + 0x5000, 0x1000));
        put(file, 4 + 2, 0x001000, 3);           // boot address
        put(file, 4 + 10, 0x003000, 3);          // code address
        put(file, 4 + 13, nonZero < 0 ? 0 : 1u << (8 * nonZero), 3); // code size
        _QLV2_FW_INFO info{};
        ASSERT_TRUE(parseQLV2FirmwareInfo(info, flashOf(file)));
        EXPECT_EQ(std::tuple(info.ChipType, info.UserSpaceAddr, int(info.UserSpaceData.FirmwareVersion)),
                  nonZero < 0 ? std::tuple(1, 0x3000u, 0x1111) : std::tuple(2, 0x5000u, 0x3333));
    }
}

} // namespace
