// The SPI flash update against the virtual camera: the exact sectors, pages and progress steps for
// images of several lengths and page sizes, runs that must stop, and a sample of single faults that
// must end where the failure names them. Every transfer and every page of a 16 KiB run is failed in
// turn by the window's fault sweep (tests/app).
#include "device/flashupdate.h"
#include "tests/spiflash/spiwire.h"
#include "tests/update/updatebench.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QRegularExpression>

#include <cstring>

namespace {

using Stage = UpdateProgressSink::Stage;
using Step = FlashUpdate::Step;

// What the camera held before: recognisable everywhere but a blank boot configuration, which
// keeps the opening read short.
std::vector<uint8_t> oldFlash()
{
    std::vector<uint8_t> bytes = pattern(131072, 0x31);
    std::fill_n(bytes.begin(), 16, 0xFF);
    return bytes;
}

bool flashHoldsImage(FlashSession &session, const std::vector<uint8_t> &image)
{
    const std::vector<uint8_t> flash = session.flash();
    return image.size() >= 4 && flash.size() + 4 >= image.size() && std::equal(image.begin() + 4, image.end(), flash.begin());
}

// The numbers of the data reports that carry just these bytes out to the flash: a command and its
// address.
std::vector<int> carrying(const std::vector<TracedTransfer> &sent, const char *bytes)
{
    std::vector<int> numbers;
    for (const TracedTransfer &t : sent)
        if (t.bmRequestType == 0x21 && t.wValue == 0x393 && t.data.mid(4, 2).toInt(nullptr, 16) * 2 == int(strlen(bytes))
            && t.data.mid(8).startsWith(bytes))
            numbers.push_back(t.n);
    return numbers;
}

} // namespace

TEST(FlashUpdate, ErasesProgramsByThePartsPageAndProtects)
{
    const struct
    {
        const char *jedec;
        size_t length; // of the image file
        uint32_t page, sectors;
    } cases[] = {
        {"C22010", 8196, 256, 3},
        {"C22210", 8196, 32, 3},
        {"C22010", 4, 256, 1}, // nothing to program; the flash is still erased and locked
        {"C22010", 4095, 256, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1, %2 bytes").arg(c.jedec).arg(c.length).toStdString());
        // A protected flash holding older firmware: erase must unlock it, programs only clear bits.
        // (The lock set again afterwards is checked through the window.)
        FlashSession session({{"jedec", c.jedec}, {"status", 0x0C}}, oldFlash());
        const std::vector<uint8_t> image = pattern(c.length, 0x52);
        RecordingSink sink;
        FlashUpdate update(image, sink);
        ASSERT_TRUE(update.run()) << update.failureReason();
        EXPECT_EQ(update.failedStep(), Step::None);

        const size_t n = c.length - 4;
        QStringList erased, programmed, sectors, pages;
        for (const QString &command : commands(session.transactions())) {
            if (command.startsWith("20"))
                erased << command;
            if (command.startsWith("02"))
                programmed << command.left(8);
        }
        for (uint32_t s = 0; s < 2 * c.sectors; ++s) // each sector twice over
            sectors << QString::asprintf("20%06x", s / 2 * 0x1000);
        std::vector<double> steps;
        for (size_t at = 0; at < n; at += c.page) {
            pages << QString::asprintf("02%06zx", at);
            steps.push_back(double(std::min(at + c.page, n)) / double(n) * 100.0);
        }
        EXPECT_EQ(erased, sectors);
        EXPECT_EQ(programmed, pages);
        EXPECT_EQ(sink.percents(Stage::Writing), steps);
        EXPECT_EQ(sink.reports.size(), steps.size()) << "only programming reports progress";
        EXPECT_EQ(update.percentage(), n ? 100.0 : 0.0);

        const std::vector<uint8_t> flash = session.flash();
        EXPECT_TRUE(flashHoldsImage(session, image));
        EXPECT_TRUE(std::all_of(flash.begin() + qsizetype(n), flash.begin() + c.sectors * 0x1000, [](uint8_t b) { return b == 0xFF; }));
        EXPECT_TRUE(std::equal(flash.begin() + c.sectors * 0x1000, flash.end(), oldFlash().begin() + c.sectors * 0x1000));
    }
}

// Runs that must stop, and single faults: the data report carrying a command fails on the wire, or
// the flash silently drops one page program. A part that never names itself is asked for the
// driver's full second, and nothing is programmed; a lost page past 64 KiB shows that the read-back
// goes beyond 16-bit addresses.
TEST(FlashUpdate, StopsWhereTheFlashCannotBeTrustedOrOvercomesTheFault)
{
    const struct
    {
        const char *name;
        size_t length;
        QJsonObject camera;
        const char *failedCommand; // the first data report after the opening carrying it fails
        Step failed;
        const char *reason;
        int identifierRequests; // none: nothing was sent at all
    } cases[] = {
        {"no prefix", 3, {}, nullptr, Step::Erase, "the image is shorter than its 4-byte prefix", 0},
        {"empty file", 0, {}, nullptr, Step::Erase, "the image is shorter than its 4-byte prefix", 0},
        {"unknown part", 8196, {{"jedec", "123456"}}, nullptr, Step::Program, "identifying the flash chip failed", 100},
        {"identifier read fails once", 16388, {}, "9f", Step::None, "", 2},
        {"a page's data fails", 16388, {}, "02001400", Step::Program, "programming the page at 0x1400", 1},
        {"a read-back piece fails", 16388, {}, "03002000", Step::Verify, "reading the flash back at 0x2000", 1},
        {"first page lost", 16388, {{"lose_programs", QJsonArray{1}}}, nullptr, Step::Verify, "the flash differs from the image at 0x0", 1},
        {"last page lost", 16388, {{"lose_programs", QJsonArray{64}}}, nullptr, Step::Verify, "the flash differs from the image at 0x3F00", 1},
        {"page past 64 KiB lost", 70004, {{"lose_programs", QJsonArray{260}}}, nullptr, Step::Verify, "the flash differs from the image at 0x10300", 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> image = pattern(c.length, 0x52);
        QJsonObject camera = c.camera;
        if (c.failedCommand) {
            FlashSession clean({}, oldFlash());
            RecordingSink sink;
            ASSERT_TRUE(FlashUpdate(image, sink).run());
            const auto sent = clean.sent();
            const std::vector<int> numbers = carrying(sent, c.failedCommand);
            ASSERT_FALSE(numbers.empty());
            int n = numbers.front();
            if (QByteArray("9f 03").contains(QByteArray(c.failedCommand).left(2))) // a read fails at its answer
                n = std::find_if(sent.begin(), sent.end(), [&](const TracedTransfer &t) { return t.n > n && t.bmRequestType == 0xA1; })->n;
            camera["fail_transfers"] = QJsonArray{n};
        }
        FlashSession session(camera, oldFlash());
        const ScriptedClock clock(10); // waits that run out cost no real time
        RecordingSink sink;
        FlashUpdate update(image, sink);
        EXPECT_EQ(update.run(), c.failed == Step::None);
        EXPECT_EQ(update.failedStep(), c.failed);
        EXPECT_EQ(update.failureReason(), c.reason);
        // Only a failed read-back leaves the image standing.
        EXPECT_EQ(flashHoldsImage(session, image), c.failed == Step::None || (c.failed == Step::Verify && c.failedCommand));

        EXPECT_EQ(carrying(session.sent(), "9f").size(), size_t(c.identifierRequests));
        EXPECT_EQ(session.sent().empty(), c.identifierRequests == 0);
    }
}
