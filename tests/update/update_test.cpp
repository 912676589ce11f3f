// The update procedures against the virtual camera. The SPI flash: the exact sectors, pages and
// progress steps for images of several lengths and page sizes, runs that must stop, and a sample
// of single faults that must end where the failure names them (every transfer and every page of a
// 16 KiB run is failed in turn by the window's fault sweep, tests/app). The boot EEPROM: the
// requests written and read, the progress, what it holds afterwards, images refused, and the
// bounded rewrites after a failed pass.
#include "device/eepromupdate.h"
#include "device/flashupdate.h"
#include "device/spiflash.h"
#include "tests/spiflash/spiwire.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <future>
#include <span>

namespace {

using Stage = UpdateProgressSink::Stage;
using Step = FlashUpdate::Step;

using Percents = std::map<Stage, std::vector<double>>;

// The progress reported: each stage's percentages, and the stages in order (a run of reports of one
// stage counted once). Given the update, it asks it to stop once the erase has made progress.
struct RecordingSink : UpdateProgressSink
{
    void progress(double percent, Stage stage) override
    {
        if (stages.empty() || stages.back() != stage)
            stages.push_back(stage);
        percents[stage].push_back(percent);
        if (stage == Stage::Erasing && percent > 0 && stopInErase)
            stopInErase->requestStop("quit");
    }

    Percents percents;
    std::vector<Stage> stages;
    FlashUpdate *stopInErase = nullptr;
};

// Whether this is the data report that carries just the command, as a piece of its own.
bool carries(const TracedTransfer &t, const QString &command)
{
    return t.bmRequestType == 0x21 && t.data.startsWith(QString::asprintf("9300%02x00", int(command.size() / 2)) + command);
}

// The number of the transfer that, failing, fails this command on the wire: the data report that
// carries it (for a read, the answer after it), as a clean run of the image sends it.
qint64 transferCarrying(const QString &command, const std::vector<uint8_t> &image)
{
    FlashSession clean({}, recordlessFlash());
    RecordingSink sink;
    EXPECT_TRUE(FlashUpdate(clean.hardware.session(), image, sink).run());
    const auto sent = clean.sent();
    auto it = std::find_if(sent.begin(), sent.end(), [&](const TracedTransfer &t) { return carries(t, command); });
    if (command.startsWith("9f") || command.startsWith("03"))
        it = std::find_if(it, sent.end(), [](const TracedTransfer &t) { return t.bmRequestType == 0xA1; });
    return it == sent.end() ? 0 : it->n;
}

const std::vector<uint8_t> kOldEeprom = pattern(0x10000, 0x90);

// A camera whose EEPROM holds kOldEeprom, its session open; the update's pauses are recorded.
struct EepromBench : FlashSession
{
    explicit EepromBench(const QJsonObject &camera = {}) : FlashSession(camera, {}, kOldEeprom) {}

    EepromUpdate::Pause pause() { return [this](std::chrono::milliseconds time) { pauses.push_back(time); }; }

    // The EEPROM requests since the opening: "w 992+8" a write of 8 bytes at 992, "r 996+4" a held
    // address write and the read after it ("r 996+" when no read followed); any other request as
    // its whole wire.
    QStringList transfers() const
    {
        QStringList list;
        for (const TracedTransfer &t : sent()) {
            const QString setup = t.wire().left(15);
            const int address = t.data.left(4).toInt(nullptr, 16);
            if (setup == "c0 02 0000 00a0" && !list.isEmpty() && list.last().endsWith(u'+'))
                list.last() += QString::number(t.wLength);
            else if (setup == "40 03 0000 00a0" && t.wLength == 2)
                list << QStringLiteral("r %1+").arg(address);
            else if (setup == "40 02 0000 00a0")
                list << QStringLiteral("w %1+%2").arg(address).arg(t.wLength - 2);
            else
                list << t.wire();
        }
        return list;
    }

    std::vector<std::chrono::milliseconds> pauses;
};

} // namespace

// A protected flash holding older firmware: erase must unlock it, programs only clear bits, and
// the flash holds the image, erased sectors after it, the older firmware beyond, locked again.
TEST(FlashUpdate, ErasesProgramsByThePartsPageAndProtects)
{
    const struct { const char *jedec; size_t length /* of the image file */; uint32_t page, sectors; } cases[] = {
        {"C22010", 8196, 256, 3},
        {"C22210", 8196, 32, 3},
        {"C22010", 4, 256, 1}, // nothing to program; the flash is still erased and locked
        {"C22010", 4095, 256, 1},
        {"C22010", 65540, 256, 16}, // fills the part: 17 sectors by the count, the 17th would wrap onto 0
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1, %2 bytes").arg(c.jedec).arg(c.length).toStdString());
        FlashSession session({{"jedec", c.jedec}, {"status", 0x0C}}, recordlessFlash());
        const std::vector<uint8_t> image = pattern(c.length, 0x52);
        RecordingSink sink;
        FlashUpdate update(session.hardware.session(), image, sink);
        ASSERT_TRUE(update.run()) << update.failureReason();

        const size_t n = c.length - 4;
        QStringList written, expected;
        for (const QString &command : session.commands())
            if (command.startsWith("20") || command.startsWith("02"))
                written << command.left(8);
        for (uint32_t s = 0; s < 2 * c.sectors; ++s) // each sector twice over
            expected << QString::asprintf("20%06x", s / 2 * 0x1000);
        std::vector<double> steps; // the ring follows the pages
        for (size_t at = 0; at < n; at += c.page) {
            expected << QString::asprintf("02%06zx", at);
            steps.push_back(double(std::min(at + c.page, n)) / double(n) * 100.0);
        }
        EXPECT_EQ(written, expected);
        EXPECT_EQ(sink.percents[Stage::Writing], steps);
        EXPECT_EQ(update.percentage(), n ? 100.0 : 0.0);

        std::vector<uint8_t> wanted = recordlessFlash();
        std::fill_n(wanted.begin(), c.sectors * 0x1000, 0xFF);
        std::copy(image.begin() + 4, image.end(), wanted.begin());
        EXPECT_TRUE(session.camera().flashContents() == wanted);
        uint8_t status = 0;
        ASSERT_TRUE(spi_receiveBytes(session.session(), 0, 1, std::array<uint8_t, 1>{0x05}.data(), 1, 1, &status));
        EXPECT_EQ(status & 0x0C, 0x0C);
    }
}

// Runs that must stop, and single faults: the data report carrying a command fails on the wire, or
// the flash silently drops one page program. A part that never names itself is asked for the
// driver's full second, and an image larger than the part is refused: both before anything is
// erased. A lost page past 64 KiB shows that the read-back goes beyond 16-bit addresses. A stop
// asked for during the erase ends the run at the next sector; one asked for between the erase and
// the first page ends it before programming. A byte left behind in the erased range after the
// image fails the read-back, which covers the whole range.
TEST(FlashUpdate, StopsWhereTheFlashCannotBeTrustedOrOvercomesTheFault)
{
    const auto dirt = [](CameraSession &s) { return spi_programPage(s, 0x2100, 1, std::array<uint8_t, 1>{0x00}.data()); };
    // failedCommand: the first data report after the opening that carries it fails; identifierRequests
    // none: nothing was sent at all. between: what happens between the erase and the first page.
    const struct { const char *name; size_t length; QJsonObject camera; const char *failedCommand; Step failed; const char *reason;
                   long identifierRequests; qsizetype erases, programs; std::function<bool(CameraSession &)> between = {}; bool stopInErase = false; } cases[] = {
        {"no prefix", 3, {}, nullptr, Step::Erase, "the image is shorter than its 4-byte prefix", 0, 0, 0},
        {"empty file", 0, {}, nullptr, Step::Erase, "the image is shorter than its 4-byte prefix", 0, 0, 0},
        {"unknown part", 8196, {{"jedec", "EF4015"}}, nullptr, Step::Identify, "the flash part is not one this updater supports", 100, 0, 0},
        {"larger than the part", 65541, {}, nullptr, Step::Fit, "the image holds 65537 bytes; the flash part holds 65536", 1, 0, 0},
        {"identifier read fails once", 16388, {}, "9f", Step::None, "", 2, 10, 64},
        {"a page's data fails", 16388, {}, "02001400", Step::Program, "programming the page at 0x1400", 1, 10, 20},
        {"a read-back piece fails", 16388, {}, "03002000", Step::Verify, "reading the flash back at 0x2000", 1, 10, 64},
        {"first page lost", 16388, {{"lose_programs", QJsonArray{1}}}, nullptr, Step::Verify, "the flash differs from the image at 0x0", 1, 10, 64},
        {"page past 64 KiB lost", 70004, {{"jedec", "C22011"}, {"lose_programs", QJsonArray{260}}}, nullptr, Step::Verify,
         "the flash differs from the image at 0x10300", 1, 36, 274},
        {"quit during the erase", 8196, {}, nullptr, Step::Erase, "quit during the erase", 1, 2, 0, {}, true},
        {"stopped before programming", 8196, {}, nullptr, Step::Program, "stopped before programming", 1, 6, 0, [](CameraSession &) { return false; }},
        {"dirt after the image", 8196, {}, nullptr, Step::Verify, "the flash is not erased at 0x2100", 1, 6, 33 /* with the dirt */, dirt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> image = pattern(c.length, 0x52);
        QJsonObject camera = c.camera;
        if (c.failedCommand)
            camera["fail_transfers"] = QJsonArray{transferCarrying(QLatin1String(c.failedCommand), image)};
        FlashSession session(camera, recordlessFlash());
        session.scriptClock(10); // waits that run out cost no real time
        RecordingSink sink;
        FlashUpdate update(session.hardware.session(), image, sink, [&] { return !c.between || c.between(session.session()); });
        sink.stopInErase = c.stopInErase ? &update : nullptr;
        EXPECT_EQ(update.run(), c.failed == Step::None);
        EXPECT_EQ(update.failedStep(), c.failed);
        EXPECT_EQ(update.failureReason(), c.reason);
        // Only a failed read-back leaves the image standing.
        const std::vector<uint8_t> flash = session.camera().flashContents();
        EXPECT_EQ(c.length >= 4 && flash.size() + 4 >= c.length && std::equal(image.begin() + 4, image.end(), flash.begin()),
                  c.failed == Step::None || (c.failed == Step::Verify && (c.failedCommand || c.between)));
        EXPECT_TRUE(!update.leftUntouched() || std::ranges::equal(recordlessFlash(), std::span(flash).first(0x10000)));
        const auto sent = session.sent();
        EXPECT_EQ(std::count_if(sent.begin(), sent.end(), [](const TracedTransfer &t) { return carries(t, "9f"); }), c.identifierRequests);
        EXPECT_EQ(sent.empty(), c.identifierRequests == 0);
        const QStringList commands = session.commands();
        EXPECT_EQ(std::pair(commands.filter(QRegularExpression("^20")).size(), commands.filter(QRegularExpression("^02")).size()),
                  std::pair(c.erases, c.programs));
    }
}

// Two cameras written at once from two threads, each through a session of its own: each camera
// sees exactly the traffic it sees when it is written alone.
TEST(FlashUpdate, TwoCamerasWrittenAtOnceEachAsIfAlone)
{
    const std::vector<uint8_t> image = pattern(8196, 0x52);
    const auto write = [&](CameraBench &bench, size_t camera) {
        bxHardwareLib hardware(bench.bus());
        RecordingSink sink;
        return hardware.initDevice(0xF055, 0x5201, bxHardwareLib::kAnyInterfaceClass, bench.camera(camera).attachment())
            && FlashUpdate(hardware.session(), image, sink).run();
    };
    // A failed transfer would fail its run: the setup packets and data say it all.
    const auto wire = [](const std::vector<TracedTransfer> &trace) { QStringList l; for (const auto &t : trace) l << t.wire(); return l; };
    CameraBench alone;
    ASSERT_TRUE(write(alone, 0));
    CameraBench both(QJsonArray{QJsonObject{}, QJsonObject{}});
    std::future<bool> second = std::async(std::launch::async, [&] { return write(both, 1); });
    EXPECT_TRUE(write(both, 0) && second.get());
    for (size_t camera : {0u, 1u})
        EXPECT_EQ(wire(both.trace(camera)), wire(alone.trace())) << "camera " << camera;
}

TEST(EepromUpdate, WritesInPiecesKeepsTheDescriptorBlockAndCloses)
{
    for (const int length : {1000, 1380, 1024, 356}) {
        SCOPED_TRACE(length);
        EepromBench bench;
        const std::vector<uint8_t> image = pattern(size_t(length), 0x52);
        RecordingSink sink;
        EepromUpdate update(bench.hardware, image, sink, bench.pause());
        ASSERT_TRUE(update.run()) << update.failureReason();

        // The camera's block first, then the image in whole pieces and a tail (empty or not),
        // the comparison from 356 on (an empty tail read sends nothing), and the closing bytes.
        const int whole = length / 32 * 32, n = length - 356;
        QStringList expected;
        Percents percents{{Stage::Verified, {100.0}}, {Stage::Finalized, {100.0}}};
        for (int a = 100; a < 356; a += 32)
            expected << QStringLiteral("r %1+32").arg(a);
        for (int a = 0; a < whole; a += 32) {
            expected << QStringLiteral("w %1+32").arg(a);
            percents[Stage::Writing].push_back(double(a) / length * 100.0);
        }
        expected << QStringLiteral("w %1+%2").arg(whole).arg(length % 32);
        for (int a = 0; a < n; a += 32) {
            expected << QStringLiteral("r %1+%2").arg(356 + a).arg(std::min(32, n - a));
            if (a + 32 <= n)
                percents[Stage::Verifying].push_back(double(a) / n * 100.0);
        }
        expected << "w 0+4";
        percents[Stage::Writing].push_back(100.0);
        percents[Stage::Verifying].push_back(100.0);
        EXPECT_EQ(bench.transfers(), expected);
        EXPECT_EQ(sink.percents, percents);
        EXPECT_EQ(sink.stages, std::vector<Stage>({Stage::Writing, Stage::Verifying, Stage::Verified, Stage::Finalized}));
        EXPECT_TRUE(bench.pauses.empty());

        std::vector<uint8_t> wanted = kOldEeprom;
        std::copy(image.begin(), image.end(), wanted.begin());
        std::copy_n(kOldEeprom.begin() + 100, 256, wanted.begin() + 100);
        std::ranges::copy(std::array<uint8_t, 4>{0x26, 0x00, 0x03, 0x00}, wanted.begin()); // the closing bytes
        EXPECT_TRUE(bench.camera().eepromContents() == wanted);
    }
}

TEST(EepromUpdate, ImagesThatDoNotFitLeaveTheEepromAlone)
{
    for (const size_t length : {0, 355, 65537}) {
        EepromBench bench;
        RecordingSink sink;
        EepromUpdate update(bench.hardware, pattern(length, 0x52), sink, bench.pause());
        EXPECT_FALSE(update.update_firmware() || update.verify_firmware() || update.run());
        EXPECT_TRUE(update.failedStep() == EepromUpdate::Step::Write && update.failureReason() == "the image is not 356 to 65536 bytes long"
                    && bench.sent().empty() && sink.stages.empty()) << length << ": " << update.failureReason();
    }
}

// On the wire after the opening: the descriptor block's eight address writes and reads, then the
// pieces from address 0. A cycle after a failed piece is three transfers: the failed piece, the
// comparison's address write and read. The closing bytes go in only over a matching EEPROM.
TEST(EepromUpdate, RewritesUntilTheComparisonMatchesAtMostThreeTimes)
{
    const std::vector<uint8_t> image = pattern(1000, 0x52);
    const int first = kOpeningTransfers + 17;
    const struct { const char *name; QJsonArray failing; bool ok; size_t rewrites; } cases[] = {
        {"sixth piece of the first pass fails", {first + 5}, true, 1},
        {"every pass fails at its first piece", {first, first + 3, first + 6, first + 9}, false, 3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EepromBench bench({{"fail_transfers", c.failing}});
        RecordingSink sink;
        EepromUpdate update(bench.hardware, image, sink, bench.pause());
        EXPECT_EQ(update.run(), c.ok) << update.failureReason();
        for (const TracedTransfer &t : bench.sent()) // the failed transfers are the writes meant
            EXPECT_EQ(c.failing.contains(t.n), t.status != 0 && t.wire().startsWith("40 02")) << t.wire().toStdString();
        EXPECT_EQ(bench.pauses, std::vector<std::chrono::milliseconds>(c.rewrites, std::chrono::seconds(2)));
        EXPECT_EQ(sink.percents[Stage::VerifyRetry], std::vector<double>(c.rewrites, 0.0));
        std::vector<Stage> stages = {Stage::Writing, Stage::Verifying};
        for (size_t i = 0; i < c.rewrites; ++i)
            stages.insert(stages.end(), {Stage::VerifyRetry, Stage::Writing, Stage::Verifying});
        if (c.ok)
            stages.insert(stages.end(), {Stage::Verified, Stage::Finalized});
        EXPECT_EQ(sink.stages, stages);
        EXPECT_EQ(update.failedStep(), c.ok ? EepromUpdate::Step::None : EepromUpdate::Step::Verify);
        EXPECT_EQ(update.failureReason(), c.ok ? "" : "the EEPROM still differs from the image at 0x164 after 3 rewrites");
        const std::vector<uint8_t> eeprom = bench.camera().eepromContents();
        EXPECT_EQ(std::equal(image.begin() + 356, image.end(), eeprom.begin() + 356), c.ok);
        EXPECT_EQ(std::equal(eeprom.begin(), eeprom.begin() + 4, kOldEeprom.begin()), !c.ok);
    }
}
