// The SPI flash driver against the virtual camera's flash: what goes over the wire for reads,
// programs and erases, chip identification, the write-enable latch, block protection, the time
// limits (on a scripted clock) and failures that must be reported.
#include "device/spiflash.h"
#include "tests/spiflash/spiwire.h"

#include <gtest/gtest.h>

#include <QJsonArray>

#include <chrono>

namespace {

constexpr uint32_t kFlashSize = 131072;

QString hexOf(std::span<const uint8_t> bytes)
{
    return ::hexOf(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

// A flash file with recognisable content everywhere but a blank boot configuration, so that
// opening the camera reads 16 bytes and nothing more (8 transfers in all).
class FlashFile
{
public:
    explicit FlashFile(bool blankBootConfig = true)
        : bytes(pattern(kFlashSize, 0x31))
    {
        if (blankBootConfig)
            std::fill_n(bytes.begin(), 16, 0xFF);
        folder.write(QStringLiteral("flash.bin"),
                     QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size())));
    }

    QJsonObject camera(QJsonObject more = {}) const
    {
        more[QStringLiteral("flash")] = folder.filePath(QStringLiteral("flash.bin"));
        return more;
    }

    std::vector<uint8_t> bytes;

private:
    ScratchFolder folder;
};
constexpr int kOpeningTransfers = 8;

uint8_t statusOf()
{
    static constexpr uint8_t kReadStatus = 0x05;
    uint8_t status = 0;
    EXPECT_TRUE(spi_receiveBytes(0, 1, &kReadStatus, 1, 1, &status));
    return status;
}

} // namespace

TEST(SpiFlashWire, ReadOf16BytesAtZeroIsFourReports)
{
    const FlashFile file(false);
    FlashSession session(file.camera());
    ASSERT_TRUE(session.opened());

    std::array<uint8_t, 16> buffer{};
    ASSERT_TRUE(spi_readData(0, 16, buffer.data()));
    const auto wire = session.sent();
    ASSERT_EQ(wire.size(), 4u);
    struct Expected
    {
        int bmRequestType;
        int bRequest;
        int wValue;
        QString data;
    };
    const Expected expected[] = {
        {0x21, 0x09, 0x0387, "870b000000"},
        {0x21, 0x09, 0x0393, "93" "00040003000000" + QString(66, u'0')},
        {0x21, 0x09, 0x0387, "870a001001"},
        {0xA1, 0x01, 0x0393, {}},
    };
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(wire[i].bmRequestType, expected[i].bmRequestType) << i;
        EXPECT_EQ(wire[i].bRequest, expected[i].bRequest) << i;
        EXPECT_EQ(wire[i].wValue, expected[i].wValue) << i;
        EXPECT_EQ(wire[i].wLength, wire[i].wValue == 0x0387 ? 5 : 41) << i;
        if (!expected[i].data.isEmpty()) {
            EXPECT_EQ(wire[i].data, expected[i].data) << i;
        }
    }
    // The answer starts at the report-id position: flash byte 0 first.
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), file.bytes.begin()));
    EXPECT_EQ(wire[3].data.left(32), hexOf(buffer));
}

TEST(SpiFlashWire, LongerReadsGoInChunksOf32AfterTheirHeader)
{
    FlashFile file;
    FlashSession session(file.camera());
    ASSERT_TRUE(session.opened());

    std::vector<uint8_t> buffer(70);
    ASSERT_TRUE(spi_readData(0x1234, 70, buffer.data()));
    EXPECT_EQ(buffer, std::vector<uint8_t>(file.bytes.begin() + 0x1234, file.bytes.begin() + 0x1234 + 70));

    const auto pieces = spiPieces(session.sent());
    ASSERT_EQ(pieces.size(), 4u);
    EXPECT_TRUE(pieces[0].out);
    EXPECT_EQ(pieces[0].bytes, "03001234");
    EXPECT_EQ(pieces[0].end, 0);
    const int counts[] = {32, 32, 6};
    for (int i = 1; i < 4; ++i) {
        EXPECT_FALSE(pieces[size_t(i)].out);
        EXPECT_EQ(pieces[size_t(i)].count, counts[i - 1]);
        EXPECT_EQ(pieces[size_t(i)].end, i == 3 ? 1 : 0);
    }
}

TEST(SpiFlashWire, ProgramOf32BytesIsOnePieceAnd33BytesIsThree)
{
    struct Case
    {
        uint32_t length;
        std::vector<std::pair<int, int>> pieces; // count, end flag
    };
    const Case cases[] = {
        {32, {{36, 1}}},
        {33, {{4, 0}, {32, 0}, {1, 1}}},
    };
    for (const Case &c : cases) {
        FlashSession session;
        ASSERT_TRUE(session.opened());
        const std::vector<uint8_t> data = pattern(c.length, 0x40);
        ASSERT_TRUE(spi_programPage(0x100, c.length, data.data()));

        const std::vector<SpiPiece> pieces = spiPieces(session.sent());
        const auto header = std::find_if(pieces.begin(), pieces.end(),
                                         [](const SpiPiece &p) { return p.out && p.bytes.startsWith("02000100"); });
        ASSERT_GE(pieces.end() - header, std::ptrdiff_t(c.pieces.size())) << c.length;
        const std::vector<SpiPiece> program(header, header + std::ptrdiff_t(c.pieces.size()));
        QString sent;
        for (size_t i = 0; i < program.size(); ++i) {
            EXPECT_EQ(program[i].count, c.pieces[i].first) << c.length << " piece " << i;
            EXPECT_EQ(program[i].end, c.pieces[i].second) << c.length << " piece " << i;
            sent += program[i].bytes;
        }
        EXPECT_EQ(sent, "02000100" + hexOf(data));
        EXPECT_EQ(commands(session.transactions()), QStringList({"06", "05", sent, "05", "04", "05"}));
        const auto flash = session.flash();
        EXPECT_TRUE(std::equal(data.begin(), data.end(), flash.begin() + 0x100)) << c.length;
    }
}

TEST(SpiFlashWire, PageProgramHeadersCarryTheAddressMostSignificantByteFirst)
{
    const std::pair<uint32_t, QString> cases[] = {{0x10000, "02010000"}, {0x1000, "02001000"}};
    for (const auto &[address, header] : cases) {
        FlashSession session;
        ASSERT_TRUE(session.opened());
        const std::vector<uint8_t> data = pattern(256, uint8_t(address >> 8));
        ASSERT_TRUE(spi_programPage(address, 256, data.data()));
        // A header piece and eight pieces of 32 bytes, the last one ending the transaction.
        const QStringList sent = commands(session.transactions());
        ASSERT_EQ(sent.size(), 6);
        EXPECT_EQ(sent[2], header + hexOf(data));
        const auto flash = session.flash();
        EXPECT_TRUE(std::equal(data.begin(), data.end(), flash.begin() + address)) << address;
        EXPECT_EQ(flash[address - 1], 0xFF);
        EXPECT_EQ(flash[address + 256], 0xFF);
    }
}

TEST(SpiFlashIdentify, KnownPartsGiveTheirRowAtTheFirstAnswer)
{
    struct Case
    {
        const char *jedec;
        uint32_t size;
        uint32_t pageSize;
    };
    const Case cases[] = {{"C22210", 0x10000, 32}, {"EF3014", 0x20000, 256}, {"7F9D20", 0x10000, 256}};
    for (const Case &c : cases) {
        FlashSession session(QJsonObject{{"jedec", c.jedec}});
        ASSERT_TRUE(session.opened());
        SPI_FLASH_INFO_t info{};
        ASSERT_TRUE(spi_identifyFlash(&info)) << c.jedec;
        EXPECT_EQ(info.size, c.size) << c.jedec;
        EXPECT_EQ(info.pageSize, c.pageSize) << c.jedec;
        const auto transactions = session.transactions();
        ASSERT_EQ(transactions.size(), 1u);
        EXPECT_EQ(transactions[0].out, "9f");
        EXPECT_EQ(transactions[0].in, QString(c.jedec).toLower());
    }
}

TEST(SpiFlashIdentify, UnknownPartIsAskedForOneSecond)
{
    for (const char *jedec : {"000000", "FFFFFF", "C22012"}) {
        FlashSession session(QJsonObject{{"jedec", jedec}});
        ASSERT_TRUE(session.opened());
        ScriptedClock clock(10);
        SPI_FLASH_INFO_t info{0xAAAA, 0xBBBB};
        EXPECT_FALSE(spi_identifyFlash(&info)) << jedec;
        EXPECT_EQ(info.size, 0xAAAAu);
        // Started at 10 ms; asked again while at most 999 ms had passed.
        EXPECT_EQ(clock.now(), 1010u) << jedec;
        EXPECT_EQ(countOf(commands(session.transactions()), "9f"), 100) << jedec;
    }
}

TEST(SpiFlashIdentify, UnknownPartOnTheSteadyClockGivesUpAfterAboutASecond)
{
    FlashSession session(QJsonObject{{"jedec", "123456"}});
    ASSERT_TRUE(session.opened());
    SPI_FLASH_INFO_t info{};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(spi_identifyFlash(&info));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(999));
    EXPECT_LT(took, std::chrono::milliseconds(3000));
}

TEST(SpiFlashIdentify, UnreadableIdentifierFailsAtOnce)
{
    FlashSession session;
    ASSERT_TRUE(session.opened());
    session.hardware.custom_dealloc();
    ScriptedClock clock(10);
    SPI_FLASH_INFO_t info{};
    EXPECT_FALSE(spi_identifyFlash(&info));
    EXPECT_EQ(clock.now(), 10u); // the start was taken, nothing was waited for
}

TEST(SpiFlashLatch, SetAtOnceCostsOneCommandAndOneStatusRead)
{
    FlashSession session;
    ASSERT_TRUE(session.opened());
    EXPECT_TRUE(spi_writeEnable());
    EXPECT_EQ(commands(session.transactions()), QStringList({"06", "05"}));
    EXPECT_EQ(session.transactions()[1].in, "02");
}

TEST(SpiFlashLatch, NeverSetCostsFiveCommandsOfThreeSecondsEach)
{
    FlashSession session(QJsonObject{{"never_ready", true}});
    ASSERT_TRUE(session.opened());
    ScriptedClock clock(25);
    // A program leaves the part busy for good; its own wait runs out.
    const uint8_t byte = 0x00;
    EXPECT_FALSE(spi_programPage(0, 1, &byte));
    session.mark();

    const uint64_t start = clock.now();
    EXPECT_FALSE(spi_writeEnable());
    const QStringList sent = commands(session.transactions());
    EXPECT_EQ(countOf(sent, "06"), 5);
    // Each wait reads the status until 3000 ms have passed: 119 reads on a 25 ms step.
    EXPECT_EQ(countOf(sent, "05"), 5 * 119);
    EXPECT_EQ(sent.size(), 5 + 5 * 119);
    EXPECT_EQ(clock.now() - start, 5u * 3025u);
    EXPECT_EQ(sent.indexOf("06", 1), 120); // the command again only after a whole wait
}

TEST(SpiFlashClock, AClockThatGoesBackMovesTheStartAndKeepsTheElapsedTime)
{
    FlashSession session;
    ASSERT_TRUE(session.opened());
    // Without the latch the status write is ignored, so the wait for the protection bits runs
    // out. The clock reads 1000 at the start, 2000, then 500: the start moves to 500 and the
    // elapsed time stays 1000; 3400 and 3499 are still within the limit, 3500 is not.
    ScriptedClock clock(1, {1000, 2000, 500, 3400, 3499, 3500});
    EXPECT_FALSE(spi_protect());
    EXPECT_EQ(commands(session.transactions()), QStringList({"05", "010c", "05", "05", "05", "05"}));
    EXPECT_EQ(clock.now(), 3500u);
}

TEST(SpiFlashProtection, WritesTheStatusOnlyWhenTheBitsMustChange)
{
    struct Case
    {
        const char *name;
        int status;
        bool (*operation)();
        QStringList sent;
        uint8_t protection;
    };
    const Case cases[] = {
        {"unprotect, already clear", 0x00, [] { return spi_unprotect(); }, {"05", "06", "05"}, 0x00},
        {"protect, already set", 0x0C, [] { return spi_protect(); }, {"05"}, 0x0C},
        {"set protection", 0x00, [] { return spi_setProtection(1); },
         {"06", "05", "05", "010e", "05", "04", "05"}, 0x0C},
        {"clear protection", 0x0C, [] { return spi_setProtection(0); },
         {"06", "05", "05", "0102", "05", "06", "05", "04", "05"}, 0x00},
    };
    for (const Case &c : cases) {
        FlashSession session(QJsonObject{{"status", c.status}});
        ASSERT_TRUE(session.opened());
        EXPECT_TRUE(c.operation()) << c.name;
        EXPECT_EQ(commands(session.transactions()), c.sent) << c.name;
        EXPECT_EQ(statusOf() & 0x0C, c.protection) << c.name;
    }
}

TEST(SpiFlashErase, EverySectorIsErasedTwice)
{
    const QStringList pass = {"06", "05", "05", "06", "05", "20001000", "05", "04", "05"};
    const QStringList unprotectingPass = {"06", "05", "05", "0102", "05", "06", "05", "20001000", "05", "04", "05"};
    for (const int status : {0x00, 0x0C}) {
        FlashFile file;
        FlashSession session(file.camera({{"status", status}}));
        ASSERT_TRUE(session.opened());
        ASSERT_TRUE(spi_eraseSector(0x1000));
        EXPECT_EQ(commands(session.transactions()), (status ? unprotectingPass : pass) + pass) << status;
        const auto flash = session.flash();
        EXPECT_TRUE(std::all_of(flash.begin() + 0x1000, flash.begin() + 0x2000, [](uint8_t b) { return b == 0xFF; }));
        EXPECT_EQ(flash[0xFFF], file.bytes[0xFFF]);
        EXPECT_EQ(flash[0x2000], file.bytes[0x2000]);
    }
}

TEST(SpiFlashErase, EraseAndProgramAreIgnoredWhileBlockProtectionIsSet)
{
    FlashFile file;
    FlashSession session(file.camera({{"status", 0x0C}}));
    ASSERT_TRUE(session.opened());

    // A bare erase command behind a write enable: the part keeps the sector.
    const uint8_t erase[4] = {0x20, 0x00, 0x10, 0x00};
    ASSERT_TRUE(spi_writeEnable());
    ASSERT_TRUE(spi_sendBytes(0, 1, erase, 4, nullptr, 0));
    // A page program: the status alone decides, so it reports success, but nothing is stored.
    const std::vector<uint8_t> zeros(64, 0x00);
    EXPECT_TRUE(spi_programPage(0x3000, 64, zeros.data()));
    EXPECT_EQ(session.flash(), file.bytes);

    // Unprotected, the same program lands; protected again, the next one does not.
    ASSERT_TRUE(spi_setProtection(0));
    EXPECT_TRUE(spi_programPage(0x3000, 32, zeros.data()));
    ASSERT_TRUE(spi_setProtection(1));
    EXPECT_TRUE(spi_programPage(0x3020, 32, zeros.data()));
    const auto flash = session.flash();
    EXPECT_TRUE(std::all_of(flash.begin() + 0x3000, flash.begin() + 0x3020, [](uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::equal(flash.begin() + 0x3020, flash.end(), file.bytes.begin() + 0x3020));
}

TEST(SpiFlashProgram, PagesOfTheIdentifiedSizeNeverCrossAPageOfThePart)
{
    // The part's own page: 32 bytes for C2 22 10, 256 for the others.
    const std::pair<const char *, uint32_t> parts[] = {{"C22210", 32}, {"EF3014", 256}, {"C22010", 256}};
    for (const auto &[jedec, partPage] : parts) {
        FlashSession session(QJsonObject{{"jedec", jedec}});
        ASSERT_TRUE(session.opened());
        SPI_FLASH_INFO_t info{};
        ASSERT_TRUE(spi_identifyFlash(&info));
        const std::vector<uint8_t> image = pattern(0x1000 + 100, 0x11);
        ASSERT_TRUE(spi_eraseSector(0x0000));
        ASSERT_TRUE(spi_eraseSector(0x1000));
        session.mark();
        for (uint32_t address = 0; address < image.size(); address += info.pageSize) {
            const uint32_t length = std::min<uint32_t>(info.pageSize, uint32_t(image.size()) - address);
            ASSERT_TRUE(spi_programPage(address, length, image.data() + address));
        }
        std::vector<uint8_t> back(image.size());
        ASSERT_TRUE(spi_readData(0, uint32_t(back.size()), back.data()));
        EXPECT_EQ(back, image) << jedec;

        int programs = 0;
        for (const SpiTransaction &t : session.transactions()) {
            if (!t.out.startsWith("02"))
                continue;
            ++programs;
            const uint32_t address = t.out.mid(2, 6).toUInt(nullptr, 16);
            const uint32_t length = uint32_t(t.out.size() - 8) / 2;
            EXPECT_LE(address % partPage + length, partPage) << jedec << " at " << address;
        }
        EXPECT_EQ(programs, int((image.size() + info.pageSize - 1) / info.pageSize)) << jedec;
    }
}

TEST(SpiFlashFailures, ReadReportsAFailedPieceAndKeepsThatPartOfTheBuffer)
{
    // Transfers after the opening: 1-2 the header piece, then two per chunk.
    struct Case
    {
        uint32_t length;
        int failing; // 0: none
        bool ok;
        size_t keptFrom, keptTo; // the part of the buffer no answer reached
        size_t transfers;
    };
    // Every piece still goes out, so that the transaction ends on the wire.
    const Case cases[] = {
        {70, 0, true, 0, 0, 8},
        {70, 2, false, 0, 0, 8},   // the header's data report
        {70, 6, false, 32, 64, 8}, // the second chunk's answer
        {70, 8, false, 64, 70, 8}, // the last chunk's answer
        {16, 4, false, 0, 16, 4},  // a short read's answer
        {16, 1, false, 0, 0, 3},   // a short read's header: its data report is not sent
    };
    for (const Case &c : cases) {
        FlashFile file;
        QJsonArray failing;
        if (c.failing)
            failing.append(kOpeningTransfers + c.failing);
        FlashSession session(file.camera({{"fail_transfers", failing}}));
        ASSERT_TRUE(session.opened());
        std::vector<uint8_t> buffer(c.length, 0xAA);
        EXPECT_EQ(spi_readData(0x100, c.length, buffer.data()), c.ok) << c.length << " failing " << c.failing;
        for (size_t i = c.keptFrom; i < c.keptTo; ++i)
            EXPECT_EQ(buffer[i], 0xAA) << i;
        EXPECT_EQ(session.sent().size(), c.transfers) << c.length << " failing " << c.failing;
    }
}

TEST(SpiFlashFailures, NoSessionMakesEveryOperationFail)
{
    FlashSession session;
    ASSERT_TRUE(session.opened());
    session.hardware.custom_dealloc();
    ScriptedClock clock(500);
    std::vector<uint8_t> buffer(64);
    EXPECT_FALSE(spi_readData(0, 64, buffer.data()));
    EXPECT_FALSE(spi_readData(0, 4, buffer.data()));
    EXPECT_FALSE(spi_writeEnable());
    EXPECT_FALSE(spi_writeDisable());
    EXPECT_FALSE(spi_unprotect());
    EXPECT_FALSE(spi_protect());
    EXPECT_FALSE(spi_eraseSector(0));
    EXPECT_FALSE(spi_programPage(0, 4, buffer.data()));
    EXPECT_TRUE(session.sent().empty());
}

TEST(SpiFlashFailures, ProtectionChangeWithoutAFirstStatusFailsAndWritesNothing)
{
    // The status read's answer is the fourth transfer after the opening.
    struct Case
    {
        const char *name;
        bool (*operation)();
    };
    const Case cases[] = {{"unprotect", [] { return spi_unprotect(); }}, {"protect", [] { return spi_protect(); }}};
    for (const Case &c : cases) {
        FlashSession session(QJsonObject{{"status", 0x0C}, {"fail_transfers", QJsonArray{kOpeningTransfers + 4}}});
        ASSERT_TRUE(session.opened());
        const ScriptedClock clock(100); // a wait, were there one, would not hold the test up
        EXPECT_FALSE(c.operation()) << c.name;
        EXPECT_EQ(session.sent().size(), 4u) << c.name; // no status write, no write enable
        EXPECT_EQ(statusOf() & 0x0C, 0x0C) << c.name;
    }
}

TEST(SpiFlashFailures, OversizedPiecesAreRefusedBeforeAnythingIsSent)
{
    FlashSession session;
    ASSERT_TRUE(session.opened());
    const std::vector<uint8_t> bytes(64, 0x00);
    EXPECT_FALSE(spi_sendBytes(0, 1, bytes.data(), 4, bytes.data(), 34));
    EXPECT_FALSE(spi_sendBytes(0, 1, bytes.data(), 38, nullptr, 0));
    std::vector<uint8_t> into(64);
    EXPECT_FALSE(spi_receiveBytes(0, 1, nullptr, 0, 41, into.data()));
    EXPECT_TRUE(session.sent().empty());
    EXPECT_TRUE(spi_sendBytes(0, 1, bytes.data(), 4, bytes.data(), 33));
}
