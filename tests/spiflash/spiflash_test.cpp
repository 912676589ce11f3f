// The SPI flash driver against the virtual camera's flash: what goes over the wire for reads and
// programs, the time limits (on a scripted clock), block protection, failures that must be
// reported, and exchanges of two threads. Erase, identification and paging are proven by the
// update tests.
#include "device/spiflash.h"
#include "device/usbrequests.h"
#include "tests/spiflash/spiwire.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

// A read: the header as a piece of its own, then the answer from the report-id position on. A
// program of 33 bytes: header, 32 and 1, behind the latch and followed by the write disable. Pieces
// the bridge cannot carry are refused before anything is sent.
TEST(SpiFlashWire, ReadAndProgramReportsAndOversizedPieces)
{
    const std::vector<uint8_t> flash = recordlessFlash();
    FlashSession session({}, flash);
    std::array<uint8_t, 16> buffer{};
    ASSERT_TRUE(spi_readData(session.session(), 0x20, 16, buffer.data()));
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), flash.begin() + 0x20));
    const auto wire = session.sent();
    ASSERT_EQ(wire.size(), 4u);
    EXPECT_EQ(wire[0].wire(), "21 09 0387 0003 5 870b000000");
    EXPECT_EQ(wire[1].wire(), "21 09 0393 0003 41 93000400030000200" + QString(65, u'0'));
    EXPECT_EQ(wire[2].wire(), "21 09 0387 0003 5 870a001001");
    EXPECT_EQ(wire[3].wire(), "a1 01 0393 0003 41 " + hexOf({flash.begin() + 0x20, flash.begin() + 0x30}) + QString(50, u'0'));

    session.mark();
    const std::vector<uint8_t> data = pattern(33, 0x40);
    ASSERT_TRUE(spi_programPage(session.session(), 0x1000, 33, data.data()));
    EXPECT_EQ(session.commands(), QStringList({"06", "05", "02001000" + hexOf(data), "05", "04", "05"}));
    EXPECT_EQ(session.transactions().at(2).pieces, "4/0 32/0 1/1 ");

    session.mark();
    std::vector<uint8_t> bytes(64, 0x00);
    CameraSession &camera = session.session();
    EXPECT_EQ((std::array{spi_sendBytes(camera, 0, 1, bytes.data(), 4, bytes.data(), 34), spi_sendBytes(camera, 0, 1, bytes.data(), 38, nullptr, 0),
                          spi_receiveBytes(camera, 0, 1, nullptr, 0, 41, bytes.data())}),
              (std::array{false, false, false}));
    EXPECT_TRUE(session.sent().empty());
    EXPECT_TRUE(spi_sendBytes(camera, 0, 1, bytes.data(), 4, bytes.data(), 33));
}

// A part that never becomes ready: each of five write enables waits 3000 ms for the latch. A clock
// that goes back moves the start and keeps the elapsed time. Unscripted, a session's clock is the
// steady clock in milliseconds. (A camera that has gone ends a wait at once: the session tests.)
TEST(SpiFlashTime, LimitsOnTheDriversClock)
{
    using namespace std::chrono;
    const auto steady = [] { return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count()); };
    FlashSession stuck(QJsonObject{{"never_ready", true}});
    const uint64_t before = steady(), now = stuck.session().milliseconds();
    EXPECT_TRUE(before <= now && now <= steady()) << before << " " << now;

    stuck.scriptClock(25);
    const uint8_t byte = 0x00;
    EXPECT_FALSE(spi_programPage(stuck.session(), 0, 1, &byte)); // the part is busy for good from here
    stuck.mark();
    const uint64_t start = stuck.now();
    EXPECT_FALSE(spi_writeEnable(stuck.session()));
    const QStringList sent = stuck.commands();
    EXPECT_EQ(sent.count("06"), 5);
    EXPECT_EQ(sent.indexOf("06", 1), 120); // 119 status reads on a 25 ms step
    EXPECT_EQ(stuck.now() - start, 5u * 3025u);

    // Without the latch the status write is ignored, so the wait for the protection bits runs
    // out: 1000 at the start, 2000, then 500 (the start moves to 500, 1000 have passed); 3400
    // and 3499 are still within the limit, 3500 is not.
    FlashSession unlatched;
    unlatched.scriptClock(1, {1000, 2000, 500, 3400, 3499, 3500});
    EXPECT_FALSE(spi_protect(unlatched.session()));
    EXPECT_EQ(unlatched.commands(), QStringList({"05", "010c", "05", "05", "05", "05"}));
    EXPECT_EQ(unlatched.now(), 3500u);
}

// The status is written only when the protection bits must change, and never when it could not be
// read first (the fourth transfer fails).
TEST(SpiFlashProtection, WritesTheStatusOnlyWhenTheBitsMustChange)
{
    const struct { const char *name; int status, failing; bool (*operation)(CameraSession &); bool ok; QStringList sent; } cases[] = {
        {"unprotect, already clear", 0x00, 0, &spi_unprotect, true, {"05", "06", "05"}},
        {"protect, already set", 0x0C, 0, &spi_protect, true, {"05"}},
        {"clear protection", 0x0C, 0, [](CameraSession &s) { return spi_setProtection(s, 0); }, true, {"06", "05", "05", "0102", "05", "06", "05", "04", "05"}},
        {"unprotect, status unread", 0x0C, 4, &spi_unprotect, false, {}},
        {"protect, status unread", 0x00, 4, &spi_protect, false, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FlashSession session({{"status", c.status}, {"fail_transfers", QJsonArray{c.failing ? kOpeningTransfers + c.failing : 0}}});
        session.scriptClock(100); // a wait that runs out does not hold the test up
        EXPECT_EQ(c.operation(session.session()), c.ok);
        EXPECT_EQ(session.commands(), c.sent);
    }
}

// Transfers after the opening: 1-2 the header piece, then two per piece of 32 bytes. Every piece
// still goes out after a failure, so that the transaction ends on the wire; the part of the buffer
// no answer reached keeps what it held.
TEST(SpiFlashFailures, ReadReportsAFailedPieceAndKeepsThatPartOfTheBuffer)
{
    // failing: the transfer that fails (0: none), or brings 20 bytes of its answer when answeredShort;
    // keptFrom to keptTo: the part of the buffer that keeps what it held.
    const struct { uint32_t length; int failing; size_t keptFrom, keptTo, transfers; bool answeredShort = false; } cases[] = {
        {70, 0, 0, 0, 8},
        {70, 2, 0, 0, 8},   // the header's data report
        {70, 6, 32, 64, 8}, // the second piece's answer
        {16, 1, 0, 0, 3},   // a short read's header: its data report is not sent
        {70, 6, 32, 64, 8, true}, // the zeros after a short answer are not the flash's
    };
    const std::vector<uint8_t> content = recordlessFlash();
    for (const auto &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 bytes, transfer %2 failing").arg(c.length).arg(c.failing).toStdString());
        FlashSession session({{"fail_transfers", QJsonArray{c.failing && !c.answeredShort ? kOpeningTransfers + c.failing : 0}}}, content);
        if (c.answeredShort)
            session.camera().answerShort(kOpeningTransfers + c.failing, 20);
        std::vector<uint8_t> buffer(c.length, 0xAA);
        EXPECT_EQ(spi_readData(session.session(), 0x100, c.length, buffer.data()), c.failing == 0);
        EXPECT_TRUE(std::all_of(buffer.begin() + qsizetype(c.keptFrom), buffer.begin() + qsizetype(c.keptTo), [](uint8_t b) { return b == 0xAA; }));
        EXPECT_TRUE(c.failing || std::equal(buffer.begin(), buffer.end(), content.begin() + 0x100));
        EXPECT_EQ(session.sent().size(), c.transfers);
    }
}

// Two threads at once, each reading the flash and the chip's register, and every eighth round the
// EEPROM: every exchange comes back whole and right, and reading never writes. (The EEPROM's
// pauses are long; the flash reads need many rounds of their own to overlap.) Each side goes on
// until both have made their rounds, so that they overlap throughout.
TEST(DeviceLock, ExchangesOfTwoThreadsNeverMix)
{
    const std::vector<uint8_t> content = recordlessFlash();
    FlashSession session({}, content);
    bxHardwareLib &hardware = session.hardware;
    for (const uint32_t address : {0x0100, 0x0800})
        ASSERT_EQ(hardware.fEEPROMWrite(address, 32, content.data() + address), 0u);
    const std::vector<uint8_t> eeprom = session.camera().eepromContents();
    const auto right = [&](uint32_t address, int round) {
        std::vector<uint8_t> fromEeprom(32), fromFlash(70);
        const auto holds = [&](const std::vector<uint8_t> &b) { return std::equal(b.begin(), b.end(), content.begin() + address); };
        uint8_t chip = 0;
        return (round % 8 || (hardware.fEEPROMRead(address, 32, fromEeprom.data()) == 0 && holds(fromEeprom)))
            && spi_readData(session.session(), address, 70, fromFlash.data()) && holds(fromFlash)
            && usbreq_readChipId(session.session(), &chip) == 0 && chip == 0xB3;
    };
    constexpr int kRounds = 200;
    std::atomic<int> done = 0, wrong = 0;
    const auto hammer = [&](uint32_t address) {
        for (int round = 1; round <= 100 * kRounds && (round <= kRounds || done < 2); ++round) {
            wrong += !right(address, round);
            done += round == kRounds;
        }
    };
    std::thread other(hammer, 0x0800);
    hammer(0x0100);
    other.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_TRUE(session.camera().eepromContents() == eeprom);
}
