// The EEPROM update against the virtual camera's boot EEPROM: the pieces written and read, the
// progress reported, what the EEPROM holds afterwards, images refused, and the bounded rewrites
// after a failed pass.
#include "device/eepromupdate.h"
#include "tests/spiflash/spiwire.h"
#include "tests/update/updatebench.h"

#include <gtest/gtest.h>

#include <QJsonArray>

namespace {

using Stage = UpdateProgressSink::Stage;
using namespace std::chrono_literals;

const std::vector<uint8_t> kOldEeprom = pattern(0x10000, 0x90);

// A camera whose EEPROM holds kOldEeprom, its session open; the update's pauses are recorded.
struct EepromBench
{
    explicit EepromBench(QJsonObject camera = {})
        : session((folder.write("eeprom.bin", QByteArray(reinterpret_cast<const char *>(kOldEeprom.data()), 0x10000)),
                   camera["eeprom"] = folder.filePath("eeprom.bin"), camera))
    {
    }

    // The EEPROM transfers since the opening: "w 992+8" a write of 8 bytes at 992, "r 996+4" a
    // held address write and the read after it ("r 996+" when no read followed).
    QStringList transfers() const
    {
        QStringList list;
        for (const TracedTransfer &t : session.sent()) {
            const QByteArray data = QByteArray::fromHex(t.data.toLatin1());
            const int address = data.size() >= 2 ? (uint8_t(data[0]) << 8 | uint8_t(data[1])) : -1;
            if (t.bmRequestType == 0xC0)
                list << (list.isEmpty() ? QString("read ") : list.takeLast()) + QString::number(t.wLength);
            else if (t.bRequest == 3 && t.wLength == 2)
                list << QStringLiteral("r %1+").arg(address);
            else
                list << QStringLiteral("w %1+%2").arg(address).arg(t.wLength - 2);
        }
        return list;
    }

    EepromUpdate::Pause pause()
    {
        return [this](std::chrono::milliseconds time) { pauses.push_back(time); };
    }

    ScratchFolder folder;
    FlashSession session;
    std::vector<std::chrono::milliseconds> pauses;
};

} // namespace

TEST(EepromUpdate, WritesInPiecesKeepsTheDescriptorBlockAndCloses)
{
    for (const size_t length : {1000, 1380, 1024, 356}) {
        SCOPED_TRACE(length);
        EepromBench bench;
        const std::vector<uint8_t> image = pattern(length, 0x52);
        RecordingSink sink;
        EepromUpdate update(bench.session.hardware, image, sink, bench.pause());
        ASSERT_TRUE(update.run()) << update.failureReason();

        // The camera's block first, then the image in whole pieces and a tail (empty or not),
        // the comparison from 356 on (an empty tail read sends nothing), and the closing bytes.
        const int whole = int(length / 32) * 32, n = int(length) - 356;
        QStringList expected;
        std::vector<double> writing, verifying;
        for (int a = 100; a < 356; a += 32)
            expected << QStringLiteral("r %1+32").arg(a);
        for (int a = 0; a < whole; a += 32) {
            expected << QStringLiteral("w %1+32").arg(a);
            writing.push_back(double(a) / double(length) * 100.0);
        }
        expected << QStringLiteral("w %1+%2").arg(whole).arg(length % 32);
        for (int k = 0; k < n / 32; ++k) {
            expected << QStringLiteral("r %1+32").arg(356 + 32 * k);
            verifying.push_back(double(32 * k) / double(n) * 100.0);
        }
        if (n % 32)
            expected << QStringLiteral("r %1+%2").arg(356 + n - n % 32).arg(n % 32);
        expected << "w 0+4";
        writing.push_back(100.0);
        verifying.push_back(100.0);
        EXPECT_EQ(bench.transfers(), expected);

        EXPECT_EQ(sink.percents(Stage::Writing), writing);
        EXPECT_EQ(sink.percents(Stage::Verifying), verifying);
        EXPECT_EQ(sink.stages(), std::vector<Stage>({Stage::Writing, Stage::Verifying, Stage::Verified, Stage::Finalized}));
        EXPECT_EQ(sink.reports.back().percent, 100.0);
        EXPECT_TRUE(bench.pauses.empty());

        std::vector<uint8_t> wanted = kOldEeprom;
        std::copy(image.begin(), image.end(), wanted.begin());
        std::copy_n(kOldEeprom.begin() + 100, 256, wanted.begin() + 100);
        const uint8_t closing[4] = {0x26, 0x00, 0x03, 0x00};
        std::copy_n(closing, 4, wanted.begin());
        EXPECT_EQ(bench.session.bench.camera().eepromContents(), wanted);
    }
}

TEST(EepromUpdate, ImagesThatDoNotFitLeaveTheEepromAlone)
{
    for (const size_t length : {0, 355, 65537}) {
        SCOPED_TRACE(length);
        EepromBench bench;
        RecordingSink sink;
        EepromUpdate update(bench.session.hardware, pattern(length, 0x52), sink, bench.pause());
        EXPECT_FALSE(update.update_firmware());
        EXPECT_FALSE(update.verify_firmware());
        EXPECT_FALSE(update.run());
        EXPECT_EQ(update.failedStep(), EepromUpdate::Step::Write);
        EXPECT_EQ(update.failureReason(), "the image is not 356 to 65536 bytes long");
        EXPECT_TRUE(bench.session.sent().empty() && sink.reports.empty());
    }
}

TEST(EepromUpdate, RewritesUntilTheComparisonMatchesAtMostThreeTimes)
{
    const std::vector<uint8_t> image = pattern(1000, 0x52);
    // On the wire after the opening: the descriptor block's eight address writes and reads, then
    // the pieces from address 0. A cycle after a failed piece is three transfers: the failed piece,
    // the comparison's address write and read.
    const int first = int(EepromBench().session.bench.camera().transferCount()) + 17;
    const struct
    {
        const char *name;
        QJsonArray failing;
        bool ok;
        size_t rewrites;
    } cases[] = {
        {"sixth piece of the first pass fails", {first + 5}, true, 1},
        {"every pass fails at its first piece", {first, first + 3, first + 6, first + 9}, false, 3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EepromBench bench({{"fail_transfers", c.failing}});
        RecordingSink sink;
        EepromUpdate update(bench.session.hardware, image, sink, bench.pause());
        EXPECT_EQ(update.run(), c.ok) << update.failureReason();

        // The failed transfers are the writes meant.
        for (const TracedTransfer &t : bench.session.sent())
            EXPECT_EQ(c.failing.contains(t.n), t.status != 0 && t.bmRequestType == 0x40 && t.bRequest == 2) << t.wire().toStdString();
        EXPECT_EQ(bench.pauses, std::vector<std::chrono::milliseconds>(c.rewrites, 2000ms));
        EXPECT_EQ(sink.percents(Stage::VerifyRetry), std::vector<double>(c.rewrites, 0.0));
        std::vector<Stage> stages = {Stage::Writing, Stage::Verifying};
        for (size_t i = 0; i < c.rewrites; ++i)
            stages.insert(stages.end(), {Stage::VerifyRetry, Stage::Writing, Stage::Verifying});
        if (c.ok)
            stages.insert(stages.end(), {Stage::Verified, Stage::Finalized});
        EXPECT_EQ(sink.stages(), stages);

        const std::vector<uint8_t> eeprom = bench.session.bench.camera().eepromContents();
        EXPECT_EQ(std::equal(image.begin() + 356, image.end(), eeprom.begin() + 356), c.ok);
        if (!c.ok) {
            EXPECT_EQ(update.failedStep(), EepromUpdate::Step::Verify);
            EXPECT_EQ(update.failureReason(), "the EEPROM still differs from the image at 0x164 after 3 rewrites");
            EXPECT_TRUE(std::equal(eeprom.begin(), eeprom.begin() + 4, kOldEeprom.begin())) << "not finalized";
        }
    }
}
