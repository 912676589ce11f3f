// The SPI flash update against the virtual camera: what is erased and programmed for images of
// several lengths and chips, runs that must stop, and runs with a failed transfer or a page the
// flash silently dropped, which must never end in success over a flash that differs.
#include "device/flashupdate.h"
#include "device/spiflash.h"
#include "tests/spiflash/spiwire.h"
#include "tests/update/updatebench.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <cstdio>

namespace {

using Stage = UpdateProgressSink::Stage;

// What the camera held before: recognisable everywhere but a blank boot configuration, which
// keeps the opening read short.
std::vector<uint8_t> oldFlash()
{
    std::vector<uint8_t> bytes = pattern(131072, 0x31);
    std::fill_n(bytes.begin(), 16, 0xFF);
    return bytes;
}

// A run that ended early leaves its injected fault pending: two reads that agree are past it.
uint8_t flashStatus()
{
    static constexpr uint8_t kReadStatus = 0x05;
    bool read = false;
    uint8_t previous = 0;
    for (int i = 0; i < 4; ++i) {
        uint8_t status = 0;
        const bool ok = spi_receiveBytes(0, 1, &kReadStatus, 1, 1, &status);
        if (ok && read && previous == status)
            return status;
        read = ok;
        previous = status;
    }
    ADD_FAILURE() << "the status register cannot be read";
    return 0;
}

bool flashHoldsImage(FlashSession &session, const std::vector<uint8_t> &image)
{
    const std::vector<uint8_t> flash = session.flash();
    return image.size() >= 4 && flash.size() + 4 >= image.size() && std::equal(image.begin() + 4, image.end(), flash.begin());
}

uint32_t addressIn(const std::string &reason)
{
    const size_t at = reason.rfind("0x");
    return at == std::string::npos ? ~0u : uint32_t(std::stoul(reason.substr(at + 2), nullptr, 16));
}

// Every third position of a failed transfer is tried: a page costs 34 transfers, so over the
// pages every position within one is still met. A stride of 1 tries them all, three times as long.
constexpr uint64_t kFaultStride = 3;

} // namespace

TEST(FlashUpdate, ErasesProgramsByThePartsPageAndProtects)
{
    const struct
    {
        const char *jedec;
        size_t length; // of the image file
        uint32_t page;
        uint32_t sectors;
    } cases[] = {
        {"C22010", 8196, 256, 3},
        {"C22210", 8196, 32, 3},
        {"C22010", 4, 256, 1}, // nothing to program; the flash is still erased and locked
        {"C22010", 4095, 256, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1, %2 bytes").arg(c.jedec).arg(c.length).toStdString());
        // A protected flash holding older firmware: erase must unlock it, programs only clear bits.
        FlashSession session({{"jedec", c.jedec}, {"status", 0x0C}}, oldFlash());
        const std::vector<uint8_t> image = pattern(c.length, 0x52);
        RecordingSink sink;
        FlashUpdate update(image, sink);
        ASSERT_TRUE(update.run()) << update.failureReason();
        EXPECT_EQ(update.failedStep(), FlashUpdate::Step::None);

        const size_t n = c.length - 4;
        QStringList erased, programmed;
        for (const QString &command : commands(session.transactions())) {
            if (command.startsWith("20"))
                erased.append(command);
            else if (command.startsWith("02"))
                programmed.append(command.left(8));
        }
        QStringList sectors, pages;
        for (uint32_t s = 0; s < c.sectors; ++s)
            sectors << QString::asprintf("20%06x", s * 0x1000) << QString::asprintf("20%06x", s * 0x1000);
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
        EXPECT_EQ(flashStatus() & 0x0C, 0x0C);
    }
}

TEST(FlashUpdate, StopsWhereTheFlashCannotBeTrusted)
{
    const struct
    {
        const char *name;
        QJsonObject camera;
        size_t length;
        FlashUpdate::Step failed;
        const char *reason;
        size_t erasedSectors; // then nothing programmed
    } cases[] = {
        {"no prefix", {}, 3, FlashUpdate::Step::Erase, "the image is shorter than its 4-byte prefix", 0},
        {"empty file", {}, 0, FlashUpdate::Step::Erase, "the image is shorter than its 4-byte prefix", 0},
        {"unknown part", {{"jedec", "123456"}}, 8196, FlashUpdate::Step::Program, "identifying the flash chip failed", 3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FlashSession session(c.camera, oldFlash());
        const ScriptedClock clock(10);
        RecordingSink sink;
        FlashUpdate update(pattern(c.length, 0x52), sink);
        EXPECT_FALSE(update.run());
        EXPECT_EQ(update.failedStep(), c.failed);
        EXPECT_EQ(update.failureReason(), c.reason);
        EXPECT_TRUE(sink.reports.empty());

        const QStringList sent = commands(session.transactions());
        EXPECT_EQ(sent.filter(QRegularExpression("^20")).size(), qsizetype(2 * c.erasedSectors));
        EXPECT_TRUE(sent.filter(QRegularExpression("^02")).isEmpty());
        if (c.erasedSectors) {
            // The part was asked for its identifier for the driver's full second.
            EXPECT_GE(clock.now(), 1000u);
            EXPECT_EQ(sent.count("9f"), 100);
        } else {
            EXPECT_TRUE(session.sent().empty());
        }
        EXPECT_EQ(session.flash()[16], c.erasedSectors ? 0xFF : oldFlash()[16]);
    }
}

// Single faults a 16 KiB run can meet on the wire: a failed control transfer at a position
// (kFaultStride apart), and each page program lost in turn, which the flash acknowledges while
// keeping the old bytes. A run may fail, but a success must mean the flash holds the image.
TEST(FlashUpdateFaults, NoFaultEndsInSuccessOverADifferentFlash)
{
    struct Tally
    {
        int runs = 0, succeeded = 0, falseSuccesses = 0, unprotected = 0;
        int failedAt[4] = {}; // by FlashUpdate::Step
    };
    const std::vector<uint8_t> image16k = pattern(16388, 0x52);
    const auto runWith = [](const std::vector<uint8_t> &image, const QJsonObject &fault, Tally &tally) {
        QJsonObject camera = fault;
        camera["trace"] = "";
        FlashSession session(camera, oldFlash());
        const ScriptedClock clock(10); // waits that run out cost no real time
        RecordingSink sink;
        FlashUpdate update(image, sink);
        const bool ok = update.run();
        const bool equal = flashHoldsImage(session, image);
        EXPECT_TRUE(!ok || equal) << "success over a different flash with " << QJsonDocument(fault).toJson().toStdString();
        ++tally.runs;
        tally.succeeded += ok && equal;
        tally.falseSuccesses += ok && !equal;
        tally.unprotected += ok && (flashStatus() & 0x0C) != 0x0C;
        ++tally.failedAt[int(update.failedStep())];
        if (fault.contains("lose_programs")) { // the comparison names the lost page
            EXPECT_EQ(addressIn(update.failureReason()) / 256, fault["lose_programs"][0].toInt() - 1) << update.failureReason();
        }
        return session.bench.camera().transferCount();
    };

    uint64_t opened = 0;
    {
        FlashSession opening({{"trace", ""}});
        opened = opening.bench.camera().transferCount();
    }
    Tally clean, transfers, lost;
    const uint64_t total = runWith(image16k, {}, clean);
    ASSERT_EQ(clean.succeeded, 1);

    for (uint64_t k = opened + 1; k <= total; k += kFaultStride)
        runWith(image16k, {{"fail_transfers", QJsonArray{qint64(k)}}}, transfers);
    for (int p = 1; p <= 64; ++p)
        runWith(image16k, {{"lose_programs", QJsonArray{p}}}, lost);
    // The comparison reaches past the first 64 KiB.
    runWith(pattern(70004, 0x52), {{"lose_programs", QJsonArray{260}}}, lost);

    EXPECT_EQ(transfers.falseSuccesses + lost.falseSuccesses, 0);
    EXPECT_EQ(lost.failedAt[int(FlashUpdate::Step::Verify)], 65);
    std::printf("clean 16 KiB run: %llu transfers after the opening\n", static_cast<unsigned long long>(total - opened));
    for (const auto &[name, t] : {std::pair{"failed transfer", transfers}, std::pair{"lost program", lost}})
        std::printf("%s, %d runs: %d succeeded with the image (%d left unprotected), %d false successes; "
                    "failed in erase %d, program %d, verify %d\n",
                    name, t.runs, t.succeeded, t.unprotected, t.falseSuccesses, t.failedAt[1], t.failedAt[2], t.failedAt[3]);
}
