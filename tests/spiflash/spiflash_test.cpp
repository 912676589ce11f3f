// The SPI flash driver against the virtual camera's flash: what goes over the wire for reads,
// programs and erases, chip identification, the write-enable latch, block protection, the time
// limits (on a scripted clock) and failures that must be reported.
#include "device/spiflash.h"
#include "device/usbrequests.h"
#include "tests/spiflash/spiwire.h"

#include <gtest/gtest.h>

#include <QJsonArray>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// Recognisable content everywhere but a blank boot configuration, so that opening the camera
// reads 16 bytes and nothing more (8 transfers in all).
std::vector<uint8_t> flashContent()
{
    std::vector<uint8_t> bytes = pattern(131072, 0x31);
    std::fill_n(bytes.begin(), 16, 0xFF);
    return bytes;
}
constexpr int kOpeningTransfers = 8;

bool isBlank(const std::vector<uint8_t> &flash, size_t from, size_t to, uint8_t blank = 0xFF)
{
    return std::all_of(flash.begin() + qsizetype(from), flash.begin() + qsizetype(to),
                       [blank](uint8_t b) { return b == blank; });
}

} // namespace

TEST(SpiFlashWire, ReadOf16BytesAtZeroIsFourReports)
{
    const std::vector<uint8_t> flash = pattern(131072, 0x31);
    FlashSession session({}, flash);

    std::array<uint8_t, 16> buffer{};
    ASSERT_TRUE(spi_readData(0, 16, buffer.data()));
    // request type, request, report, length, data (the answer's first 16 bytes: the flash's)
    const QStringList expected = {
        "21 9 387 5 870b000000",
        "21 9 393 41 9300040003000000" + QString(66, u'0'),
        "21 9 387 5 870a001001",
        "a1 1 393 41 " + hexOf(std::vector<uint8_t>(flash.begin(), flash.begin() + 16)),
    };
    const auto wire = session.sent();
    ASSERT_EQ(wire.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        const TracedTransfer &t = wire[i];
        const QString seen = QStringLiteral("%1 %2 %3 %4 %5")
                                 .arg(t.bmRequestType, 0, 16).arg(t.bRequest, 0, 16).arg(t.wValue, 0, 16).arg(t.wLength).arg(t.data);
        EXPECT_TRUE(seen.startsWith(expected[qsizetype(i)])) << seen.toStdString();
    }
    // The answer starts at the report-id position: flash byte 0 first.
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), flash.begin()));
}

TEST(SpiFlashWire, PageProgramPiecesAndHeaders)
{
    // 32 bytes fit one piece with their header; 33 go as header, 32 and 1. The address goes
    // most significant byte first.
    const struct
    {
        uint32_t address;
        uint32_t length;
        QString header;
        QString pieces; // count/end flag of each piece
    } cases[] = {
        {0x10000, 32, "02010000", "36/1 "},
        {0x1000, 33, "02001000", "4/0 32/0 1/1 "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.length);
        FlashSession session;
        const std::vector<uint8_t> data = pattern(c.length, 0x40);
        ASSERT_TRUE(spi_programPage(c.address, c.length, data.data()));
        const auto transactions = session.transactions();
        EXPECT_EQ(commands(transactions), QStringList({"06", "05", c.header + hexOf(data), "05", "04", "05"}));
        EXPECT_EQ(transactions.at(2).pieces, c.pieces);
        EXPECT_TRUE(std::equal(data.begin(), data.end(), session.flash().begin() + c.address));
    }
}

TEST(SpiFlashIdentify, KnownPartsAreIdentifiedAndPagesNeverCrossAPageOfThePart)
{
    // The part's own page: 32 bytes for C2 22 10, 256 for EF 30 14. A program of 300 bytes in
    // pages of the identified size lands whole.
    const struct
    {
        const char *jedec;
        uint32_t size;
        uint32_t pageSize;
    } cases[] = {{"c22210", 0x10000, 32}, {"ef3014", 0x20000, 256}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.jedec);
        FlashSession session(QJsonObject{{"jedec", c.jedec}});
        SPI_FLASH_INFO_t info{};
        ASSERT_TRUE(spi_identifyFlash(&info));
        EXPECT_EQ(info.size, c.size);
        ASSERT_EQ(info.pageSize, c.pageSize);
        const auto identify = session.transactions();
        ASSERT_EQ(identify.size(), 1u);
        EXPECT_EQ(identify[0].out + identify[0].in, QStringLiteral("9f") + c.jedec);

        const std::vector<uint8_t> image = pattern(300, 0x11);
        for (uint32_t address = 0; address < image.size(); address += info.pageSize) {
            const uint32_t length = std::min<uint32_t>(info.pageSize, uint32_t(image.size()) - address);
            ASSERT_TRUE(spi_programPage(address, length, image.data() + address));
        }
        EXPECT_TRUE(std::equal(image.begin(), image.end(), session.flash().begin()));
        for (const QString &command : commands(session.transactions())) {
            const uint32_t address = command.mid(2, 6).toUInt(nullptr, 16), length = uint32_t(command.size() - 8) / 2;
            EXPECT_TRUE(!command.startsWith("02") || address % c.pageSize + length <= c.pageSize) << command.toStdString();
        }
    }
}

TEST(SpiFlashIdentify, UnknownPartIsAskedForOneSecond)
{
    for (const char *jedec : {"FFFFFF", "C22012"}) {
        SCOPED_TRACE(jedec);
        FlashSession session(QJsonObject{{"jedec", jedec}});
        ScriptedClock clock(10);
        SPI_FLASH_INFO_t info{0xAAAA, 0xBBBB};
        EXPECT_FALSE(spi_identifyFlash(&info));
        EXPECT_EQ(info.size, 0xAAAAu);
        // Started at 10 ms; asked again while at most 999 ms had passed.
        EXPECT_EQ(clock.now(), 1010u);
        EXPECT_EQ(commands(session.transactions()).count("9f"), 100);
    }
}

TEST(SpiFlashLatch, SetAtOnceOrNeverSet)
{
    FlashSession ready;
    EXPECT_TRUE(spi_writeEnable());
    EXPECT_EQ(commands(ready.transactions()), QStringList({"06", "05"}));

    FlashSession session(QJsonObject{{"never_ready", true}});
    ScriptedClock clock(25);
    // A program leaves the part busy for good; its own wait runs out.
    const uint8_t byte = 0x00;
    EXPECT_FALSE(spi_programPage(0, 1, &byte));
    session.mark();
    const uint64_t start = clock.now();
    EXPECT_FALSE(spi_writeEnable());
    // Five commands, each followed by status reads until 3000 ms have passed: 119 on a 25 ms step.
    const QStringList sent = commands(session.transactions());
    EXPECT_EQ(sent.count("06"), 5);
    EXPECT_EQ(sent.count("05"), 5 * 119);
    EXPECT_EQ(sent.indexOf("06", 1), 120);
    EXPECT_EQ(clock.now() - start, 5u * 3025u);
}

TEST(SpiFlashClock, AClockThatGoesBackMovesTheStartAndKeepsTheElapsedTime)
{
    FlashSession session;
    {
        // Without the latch the status write is ignored, so the wait for the protection bits runs
        // out. The clock reads 1000 at the start, 2000, then 500: the start moves to 500 and the
        // elapsed time stays 1000; 3400 and 3499 are still within the limit, 3500 is not.
        ScriptedClock clock(1, {1000, 2000, 500, 3400, 3499, 3500});
        EXPECT_FALSE(spi_protect());
        EXPECT_EQ(commands(session.transactions()), QStringList({"05", "010c", "05", "05", "05", "05"}));
        EXPECT_EQ(clock.now(), 3500u);
    }
    // Without a scripted clock the driver reads the steady clock.
    using namespace std::chrono;
    const auto steady = [] { return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count()); };
    const uint64_t before = steady(), now = currentMilliseconds();
    EXPECT_TRUE(before <= now && now <= steady()) << before << " " << now;
}

TEST(SpiFlashProtection, WritesTheStatusOnlyWhenTheBitsMustChange)
{
    // A status that cannot be read first (the fourth transfer) changes nothing and fails.
    const struct
    {
        const char *name;
        int status;
        int failing;
        bool (*operation)();
        bool ok;
        QStringList sent;
        int protection;
    } cases[] = {
        {"unprotect, already clear", 0x00, 0, &spi_unprotect, true, {"05", "06", "05"}, 0x00},
        {"protect, already set", 0x0C, 0, &spi_protect, true, {"05"}, 0x0C},
        {"set protection", 0x00, 0, [] { return spi_setProtection(1); }, true, {"06", "05", "05", "010e", "05", "04", "05"}, 0x0C},
        {"clear protection", 0x0C, 0, [] { return spi_setProtection(0); }, true,
         {"06", "05", "05", "0102", "05", "06", "05", "04", "05"}, 0x00},
        {"unprotect, status unread", 0x0C, 4, &spi_unprotect, false, {}, 0x0C},
        {"protect, status unread", 0x0C, 4, &spi_protect, false, {}, 0x0C},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FlashSession session({{"status", c.status}, {"fail_transfers", QJsonArray{c.failing ? kOpeningTransfers + c.failing : 0}}});
        const ScriptedClock clock(100); // a wait that runs out does not hold the test up
        EXPECT_EQ(c.operation(), c.ok);
        EXPECT_EQ(commands(session.transactions()), c.sent);
        if (c.failing) {
            EXPECT_EQ(session.sent().size(), 4u);
        }
        uint8_t status = 0;
        static constexpr uint8_t kReadStatus = 0x05;
        EXPECT_TRUE(spi_receiveBytes(0, 1, &kReadStatus, 1, 1, &status));
        EXPECT_EQ(status & 0x0C, c.protection);
    }
}

TEST(SpiFlashErase, EverySectorIsErasedTwice)
{
    const QStringList pass = {"06", "05", "05", "06", "05", "20001000", "05", "04", "05"};
    const QStringList unprotectingPass = {"06", "05", "05", "0102", "05", "06", "05", "20001000", "05", "04", "05"};
    for (const int status : {0x00, 0x0C}) {
        SCOPED_TRACE(status);
        const std::vector<uint8_t> content = flashContent();
        FlashSession session({{"status", status}}, content);
        ASSERT_TRUE(spi_eraseSector(0x1000));
        EXPECT_EQ(commands(session.transactions()), (status ? unprotectingPass : pass) + pass);
        EXPECT_TRUE(isBlank(session.flash(), 0x1000, 0x2000));
    }
}

TEST(SpiFlashErase, EraseAndProgramAreIgnoredWhileBlockProtectionIsSet)
{
    const std::vector<uint8_t> content = flashContent();
    FlashSession session({{"status", 0x0C}}, content);

    // A bare erase command behind a write enable: the part keeps the sector.
    const uint8_t erase[4] = {0x20, 0x00, 0x10, 0x00};
    ASSERT_TRUE(spi_writeEnable());
    ASSERT_TRUE(spi_sendBytes(0, 1, erase, 4, nullptr, 0));
    // A page program: the status alone decides, so it reports success, but nothing is stored.
    const std::vector<uint8_t> zeros(64, 0x00);
    EXPECT_TRUE(spi_programPage(0x3000, 64, zeros.data()));
    EXPECT_EQ(session.flash(), content);
}

TEST(SpiFlashFailures, ReadReportsAFailedPieceAndKeepsThatPartOfTheBuffer)
{
    // Transfers after the opening: 1-2 the header piece, then two per chunk of 32 bytes. Every
    // piece still goes out, so that the transaction ends on the wire.
    const struct
    {
        uint32_t length;
        int failing; // 0: none
        size_t keptFrom, keptTo; // the part of the buffer no answer reached
        size_t transfers;
        bool answeredShort = false; // the failing transfer brings 20 bytes instead of failing
    } cases[] = {
        {70, 0, 0, 0, 8},
        {70, 2, 0, 0, 8},   // the header's data report
        {70, 6, 32, 64, 8}, // the second chunk's answer
        {70, 8, 64, 70, 8}, // the last chunk's answer
        {16, 4, 0, 16, 4},  // a short read's answer
        {16, 1, 0, 0, 3},   // a short read's header: its data report is not sent
        {70, 6, 32, 64, 8, true}, // the zeros after a short answer are not the flash's
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 bytes, transfer %2 failing").arg(c.length).arg(c.failing).toStdString());
        const std::vector<uint8_t> content = flashContent();
        const int stalling = c.failing && !c.answeredShort ? kOpeningTransfers + c.failing : 0;
        FlashSession session({{"fail_transfers", QJsonArray{stalling}}}, content);
        if (c.answeredShort)
            session.bench.camera().answerShort(kOpeningTransfers + c.failing, 20);
        std::vector<uint8_t> buffer(c.length, 0xAA);
        EXPECT_EQ(spi_readData(0x100, c.length, buffer.data()), c.failing == 0);
        EXPECT_TRUE(isBlank(buffer, c.keptFrom, c.keptTo, 0xAA));
        if (c.failing == 0) {
            EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), content.begin() + 0x100));
        }
        EXPECT_EQ(session.sent().size(), c.transfers);
    }
}

TEST(SpiFlashFailures, OversizedPiecesAndOperationsWithoutASessionFailBeforeAnythingIsSent)
{
    FlashSession session;
    std::vector<uint8_t> bytes(64, 0x00);
    EXPECT_FALSE(spi_sendBytes(0, 1, bytes.data(), 4, bytes.data(), 34));
    EXPECT_FALSE(spi_sendBytes(0, 1, bytes.data(), 38, nullptr, 0));
    EXPECT_FALSE(spi_receiveBytes(0, 1, nullptr, 0, 41, bytes.data()));
    EXPECT_TRUE(session.sent().empty());
    EXPECT_TRUE(spi_sendBytes(0, 1, bytes.data(), 4, bytes.data(), 33));

    session.hardware.custom_dealloc();
    session.mark();
    ScriptedClock clock(500);
    SPI_FLASH_INFO_t info{};
    EXPECT_FALSE(spi_identifyFlash(&info));
    EXPECT_EQ(clock.now(), 500u); // the start was taken, nothing was waited for
    EXPECT_FALSE(spi_readData(0, 64, bytes.data()));
    EXPECT_FALSE(spi_eraseSector(0));
    EXPECT_FALSE(spi_programPage(0, 4, bytes.data()));
    EXPECT_TRUE(session.sent().empty());
}

// Two threads at once: each exchange (an EEPROM read, a register read, an SPI read) comes back
// whole and right, and reading never writes.
TEST(DeviceLock, ExchangesOfTwoThreadsNeverMix)
{
    // An EEPROM read of 32 bytes, or a flash read of 70 bytes followed by the chip's register.
    struct Side
    {
        bool eeprom;
        uint32_t address;
    };
    const struct
    {
        const char *name;
        Side first, second;
    } cases[] = {
        {"EEPROM against EEPROM", {true, 0x0100}, {true, 0x0800}},
        {"flash against EEPROM", {false, 0x0100}, {true, 0x0800}},
        {"flash and register against flash and register", {false, 0x0100}, {false, 0x4000}},
    };
    const std::vector<uint8_t> content = flashContent();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FlashSession session({}, content);
        bxHardwareLib &hardware = session.hardware;
        for (const Side &side : {c.first, c.second}) {
            if (side.eeprom)
                ASSERT_EQ(hardware.fEEPROMWrite(side.address, 32, content.data() + side.address), 0u);
        }
        const std::vector<uint8_t> eeprom = session.bench.camera().eepromContents();
        const auto exchange = [&](const Side &side) {
            std::vector<uint8_t> bytes(side.eeprom ? 32 : 70);
            uint8_t chip = 0;
            const bool ok = side.eeprom ? hardware.fEEPROMRead(side.address, 32, bytes.data()) == 0
                                        : spi_readData(side.address, 70, bytes.data()) && usbreq_readChipId(&chip) == 0 && chip == 0xB3;
            return ok && std::equal(bytes.begin(), bytes.end(), content.begin() + side.address);
        };

        // Each side goes on until both have made their rounds, so that they overlap throughout.
        constexpr int kRounds = 25;
        std::atomic<int> done = 0, wrong = 0;
        const auto hammer = [&](const Side &side) {
            for (int round = 1; round <= 100 * kRounds; ++round) {
                if (!exchange(side))
                    ++wrong;
                if (round == kRounds)
                    ++done;
                if (round >= kRounds && done == 2)
                    break;
            }
        };
        std::thread other(hammer, std::cref(c.second));
        hammer(c.first);
        other.join();
        EXPECT_EQ(wrong, 0);
        EXPECT_TRUE(session.bench.camera().eepromContents() == eeprom);
    }
}
