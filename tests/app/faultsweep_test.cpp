// The fault sweep: a 16 KiB update through the window, run again and again with one fault each
// time — every control transfer of the run failing in turn, every page program silently lost in
// turn, the camera pulled out after every hundredth transfer — tallying what the window said and
// what the flash then held. The promise under test: the completion text only ever stands over a
// flash that equals the image. LUMIVEX_SWEEP_REPORT names a Markdown file to write the table to.
#include "device/spiflash.h"
#include "tests/app/appbench.h"

#include <QFile>
#include <QJsonDocument>
#include <QMessageBox>
#include <QSysInfo>
#include <QThread>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdio>

namespace {

constexpr uint32_t kFlashBytes = 16384;
const QString kFailed = QStringLiteral("The firmware update failed. Please reconnect the camera and try again.");

// Waits that run out cost no real time: the flash driver's clock moves 10 ms a reading.
std::atomic<uint64_t> gFakeNow = 0;
uint64_t fastClock() { return gFakeNow += 10; }

enum Outcome { Verified, FailureText, Alert, FalseSuccess, Hang, kOutcomes };

// The outcomes in the table's column order.
struct Tally { QString fault; int runs = 0; std::array<int, kOutcomes> outcomes{}; };
// The transfers the camera made once offered, and in all.
struct SweepRun { Outcome outcome = Hang; uint64_t opened = 0, transfers = 0; };

SweepRun runWith(const QJsonObject &fault)
{
    QJsonObject camera = cameraWithFirmware(QStringLiteral("cam"), 0x0100);
    for (auto it = fault.begin(); it != fault.end(); ++it)
        camera[it.key()] = it.value();
    camera[QStringLiteral("trace")] = QString(); // thousands of runs: no trace files
    AppBench bench({{QStringLiteral("cam_RZ52940.bin"), 0x0102, kFlashBytes}}, QJsonArray{camera});
    bench.launch();
    SweepRun run{Hang, bench.cameras().camera().transferCount()};
    // A sanitizer build runs several times slower: a hang is a run that ends in none of them.
    if (!bench.offered() || !bench.pressUpdate(true) || !bench.waitForRunEnd(600000))
        return run;
    const QStringList shown = bench.statusTexts();
    const bool equal = holds(bench.cameras().camera().flashContents(), bench.image(0).mid(4));
    bool alert = false;
    for (const QMessageBox *sheet : bench.window().findChildren<QMessageBox *>())
        alert = alert || (sheet->isVisible() && sheet->text() == QStringLiteral("ERROR") && sheet->icon() == QMessageBox::Critical
                          && sheet->informativeText() == QStringLiteral("Device was removed during update process. Critial error")
                          && sheet->buttons().size() == 1 && sheet->windowModality() == Qt::WindowModal);
    // The alert of a camera pulled out stands in for the failure text: OK ends the process with
    // status 255 (tests/e2e presses it).
    if (shown.value(shown.size() - 1).startsWith(QStringLiteral("Firmware 0102 is now installed")))
        run.outcome = equal ? Verified : FalseSuccess;
    else if (shown.contains(kFailed))
        run.outcome = FailureText;
    else if (alert)
        run.outcome = Alert;
    run.transfers = bench.cameras().camera().transferCount();
    return run;
}

void count(Tally &tally, const QJsonObject &fault)
{
    const Outcome outcome = runWith(fault).outcome;
    if (outcome == Hang || outcome == FalseSuccess)
        std::printf("%s with %s\n", outcome == Hang ? "hang" : "false success",
                    QJsonDocument(fault).toJson(QJsonDocument::Compact).constData());
    ++tally.runs;
    ++tally.outcomes[outcome];
}

QString table(const std::vector<Tally> &tallies, uint64_t runTransfers, int stride)
{
    QString text = QStringLiteral("| fault | runs | completed, flash equal to the image | failure text | "
                                  "\"ERROR\" alert, then exit | false successes | hangs | crashes |\n|---|---|---|---|---|---|---|---|\n");
    for (const Tally &t : tallies) {
        text += QStringLiteral("| %1 | %2 |").arg(t.fault).arg(t.runs);
        for (const int n : t.outcomes)
            text += QStringLiteral(" %1 |").arg(n);
        text += QStringLiteral(" 0 |\n");
    }
    text += QStringLiteral("\nA clean run of the %1-byte image makes %2 control transfers after the camera was opened")
                .arg(kFlashBytes).arg(runTransfers);
    text += stride > 1 ? QStringLiteral("; this sweep failed every %1th of them.\n").arg(stride) : QStringLiteral(".\n");
    return text;
}

} // namespace

TEST(FaultSweep, NoFaultEndsInTheCompletionTextOverADifferentFlash)
{
    spi_setClock(fastClock);
    // LUMIVEX_SWEEP_STRIDE=n fails only every n-th transfer, for a quicker look.
    const int stride = std::max(1, qEnvironmentVariableIntValue("LUMIVEX_SWEEP_STRIDE"));

    // The opening's transfers are not part of the run: faults are counted from the first one after.
    const SweepRun clean = runWith({});
    ASSERT_EQ(clean.outcome, Verified);
    const uint64_t opened = clean.opened, runTransfers = clean.transfers - opened;

    std::vector<Tally> tallies = {{QStringLiteral("each control transfer fails in turn (a stall)")},
                                  {QStringLiteral("each page program is lost in turn (acknowledged, not stored)")},
                                  {QStringLiteral("the camera is pulled out after every hundredth transfer")}};
    for (uint64_t k = 1; k <= runTransfers; k += uint64_t(stride))
        count(tallies[0], {{"fail_transfers", QJsonArray{qint64(opened + k)}}});
    for (qint64 page = 1; page <= kFlashBytes / 256; ++page)
        count(tallies[1], {{"lose_programs", QJsonArray{page}}});
    for (uint64_t k = 100; k <= runTransfers; k += 100)
        count(tallies[2], {{"unplug_after_transfers", qint64(opened + k)}});
    spi_setClock(nullptr);

    const QString text = table(tallies, runTransfers, stride);
    std::fputs(text.toUtf8().constData(), stdout);
    for (const Tally &t : tallies) {
        EXPECT_EQ(t.outcomes[FalseSuccess], 0) << t.fault.toStdString();
        EXPECT_EQ(t.outcomes[Hang], 0) << t.fault.toStdString();
    }
    EXPECT_EQ(tallies[1].outcomes[Verified], 0); // a lost page is always found
    EXPECT_EQ(tallies[2].outcomes[Alert], tallies[2].runs);

    if (const QString report = qEnvironmentVariable("LUMIVEX_SWEEP_REPORT"); !report.isEmpty()) {
        QFile file(report);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QStringLiteral("# Fault sweep\n\nA 16 KiB firmware update through the main window on a virtual camera, "
                                  "repeated with one fault each time. Regenerate with `make sweep`.\n\n")
                       .toUtf8()
                   + text.toUtf8()
                   + QStringLiteral("\nMachine: %1, %2 cores. A crash would end the sweep, so a finished sweep counts none; "
                                    "a run that has not ended ten minutes after it started counts as a hang.\n")
                         .arg(QSysInfo::prettyProductName())
                         .arg(QThread::idealThreadCount())
                         .toUtf8());
    }
}
