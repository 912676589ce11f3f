// The update as a person drives it through the window, on virtual cameras: confirmation, the
// run, and what the window says at the end, checked against what the camera then holds.
#include "tests/app/appbench.h"
#include "platform/mainqueue.h"
#include "ui/progressview.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

// Update, OK: the ring, the completion text and the image in the flash, for parts of either page
// size; a part the updater does not know, or one too small for the image, is refused before
// anything is erased, and the window says the camera was not changed. (Cancel, and the camera
// unplugged and plugged in again afterwards: tests/e2e.)
TEST(UpdateController, AConfirmedUpdateLeavesTheImageInTheFlashOrTheCameraUntouched)
{
    const QString unchanged = QStringLiteral("Your LUMIVEX %1 was not changed: %2 Nothing was erased.");
    // The JEDEC identifiers: a part of 256-byte pages, one of 32-byte pages, one not in the table.
    const struct { const char *image; uint16_t version; int chip; const char *jedec; uint32_t length; QString last; } cases[] = {
        {"cam_RZ52940.bin", 0x0102, 0xB3, "C22010", 12000, "Firmware 0102 is now installed on your LUMIVEX T. Please reconnect the camera."},
        {"cam_RZ6610M.bin", 0x00A1, 0xB0, "C22210", 12000, "Firmware 00A1 is now installed on your LUMIVEX S. Please reconnect the camera."},
        {"cam_RZ52940.bin", 0x0102, 0xB3, "EF4015", 12000, unchanged.arg("T", "its flash memory is of a kind this updater cannot write.")},
        {"cam_RZ6610M.bin", 0x00A1, 0xB0, "C22010", 0x10001, unchanged.arg("S", "the firmware image is larger than its flash memory.")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.jedec);
        QJsonObject camera = cameraWithFirmware(QStringLiteral("cam"), 0x0100, QStringLiteral("Cam"), c.chip);
        camera[QStringLiteral("jedec")] = QString::fromLatin1(c.jedec);
        AppBench bench({{QString::fromLatin1(c.image), c.version, c.length}}, QJsonArray{camera});
        bench.launch();
        bench.statusTexts();
        const std::vector<uint8_t> before = bench.cameras().camera().flashContents();
        ASSERT_TRUE(bench.pressUpdate(true));
        ASSERT_TRUE(bench.waitForRunEnd());
        const QStringList shown = bench.statusTexts();
        const bool written = c.last.startsWith(QStringLiteral("Firmware"));
        EXPECT_EQ(shown.contains(QStringLiteral("Updating firmware… Do not unplug the camera.")), written);
        EXPECT_EQ(shown.value(shown.size() - 1), c.last);
        const AppDelegate &d = bench.delegate();
        EXPECT_TRUE(!written || (d.myProgressView->progress() == 100 && !d.myProgressView->isHidden()));
        EXPECT_FALSE(d.button_update->isVisible());
        EXPECT_TRUE(written ? holds(bench.cameras().camera().flashContents(), bench.image(0).mid(4))
                            : bench.cameras().camera().flashContents() == before);
    }
}

// The sheet and the run belong to their camera. B, plugged in while the sheet asks about A, waits;
// A pulled out closes the sheet as Cancel and B is offered in its place, unwritten. C, plugged in
// while B is written, waits until B's run has ended and B has left.
TEST(UpdateController, TheSheetAndTheRunBelongToTheirCameraAndArrivalsWait)
{
    QJsonArray cameras{cameraWithFirmware(QStringLiteral("a"), 0x0100)};
    for (const QString &name : {QStringLiteral("b"), QStringLiteral("c")}) {
        QJsonObject later = cameraWithFirmware(name, 0x0100);
        later[QStringLiteral("plug_at_ms")] = 3600000;
        cameras.append(later);
    }
    AppBench bench({{QStringLiteral("cam_RZ52940.bin"), 0x0102, 8192}}, cameras);
    bench.launch();
    ASSERT_TRUE(bench.offered());
    const std::vector<uint8_t> a = bench.cameras().camera(0).flashContents(), b = bench.cameras().camera(1).flashContents();
    bench.delegate().button_update->click();
    drainMainQueue();
    bench.cameras().bus().plug(1);
    drainMainQueue();
    bench.cameras().bus().unplug(0);
    drainMainQueue();
    for (const QMessageBox *left : bench.window().findChildren<QMessageBox *>())
        EXPECT_FALSE(left->isVisible());
    EXPECT_TRUE(bench.offered());
    EXPECT_TRUE(bench.cameras().camera(0).flashContents() == a && bench.cameras().camera(1).flashContents() == b);

    ASSERT_TRUE(bench.pressUpdate(true));
    bench.cameras().bus().plug(2);
    ASSERT_TRUE(bench.waitForRunEnd());
    EXPECT_TRUE(holds(bench.cameras().camera(1).flashContents(), bench.image(0).mid(4)));
    bench.cameras().bus().unplug(1);
    drainMainQueue();
    EXPECT_TRUE(bench.offered());
    EXPECT_EQ(bench.statusTexts().last(), QStringLiteral("LUMIVEX T is ready to update.\nFirmware 0102 is available (installed: 0100)."));
}

// The GUI thread never waits for the update queue: once the camera is being erased, the window
// says so and work queued for it runs while the erase goes on. A run that fails on the first page
// leaves the camera without a valid record (version 0000): plugged in again it is offered the
// update, and the next run repairs it. Each run leaves one line in the history.
TEST(UpdateController, TheWindowAnswersWhileErasingAndACameraLeftBrokenIsRepaired)
{
    QJsonObject camera = cameraWithFirmware(QStringLiteral("t"), 0x0100);
    camera[QStringLiteral("lose_programs")] = QJsonArray{1};
    camera[QStringLiteral("erase_ms")] = 100; // 6 erases of 100 ms
    AppBench bench({{QStringLiteral("cam_RZ52940.bin"), 0x0102, 8192}}, QJsonArray{camera});
    bench.launch();
    ASSERT_TRUE(bench.pressUpdate(true));
    QStringList shown;
    ASSERT_TRUE(processEventsUntil([&] { return (shown += bench.statusTexts()).contains(QStringLiteral("Updating firmware… Do not unplug the camera.")); }));
    bool answered = false;
    MainQueue::async(&bench.delegate(), [&] { answered = true; });
    ASSERT_TRUE(processEventsUntil([&] { return answered; }));
    EXPECT_EQ(bench.delegate().percentage.load(), 0.0) << "a page was programmed before the window answered";
    ASSERT_TRUE(bench.waitForRunEnd());
    EXPECT_EQ(bench.statusTexts().last(), QStringLiteral("The firmware update failed. Please reconnect the camera and try again."));
    bench.cameras().bus().unplug(0);
    drainMainQueue();
    bench.cameras().bus().plug(0);
    drainMainQueue();
    ASSERT_TRUE(bench.offered());
    EXPECT_TRUE(bench.statusTexts().last().endsWith(QStringLiteral("(installed: 0000).")));
    ASSERT_TRUE(bench.pressUpdate(true) && bench.waitForRunEnd());
    EXPECT_TRUE(holds(bench.cameras().camera().flashContents(), bench.image(0).mid(4)));
    const QList<RunRecord> runs = bench.history();
    ASSERT_EQ(runs.size(), 2);
    EXPECT_TRUE(runs[0].result == "failed" && runs[0].failedStep == "verify" && runs[0].fromVersion == "0100");
    EXPECT_TRUE(runs[1].result == "verified" && runs[1].failedStep.isEmpty() && runs[1].fromVersion == "0000");
    const QString sha256 = QString::fromLatin1(QCryptographicHash::hash(bench.image(0), QCryptographicHash::Sha256).toHex());
    for (const RunRecord &run : runs)
        EXPECT_TRUE(QDateTime::fromString(run.time, Qt::ISODateWithMs).isValid() && run.device == "1-1" && run.product == "LUMIVEX T" &&
                    run.toVersion == "0102" && run.image == "cam_RZ52940.bin" && run.sha256 == sha256 && run.seconds > 0 && run.source == "window")
            << RunHistory::line(run).toStdString();
}

// The EEPROM run: nothing in the window starts it, but it runs to the end when called.
TEST(UpdateController, TheEepromRunWritesVerifiesAndCloses)
{
    AppBench bench({{QStringLiteral("cam_RZ52940.bin"), 0x0102}}, QJsonArray{cameraWithFirmware(QStringLiteral("t"), 0x0100)});
    bench.delegate().setEepromPause([](std::chrono::milliseconds) {});
    bench.launch();
    bench.statusTexts();
    bench.delegate().execute();
    ASSERT_TRUE(bench.waitForRunEnd());

    const QStringList shown = bench.statusTexts();
    EXPECT_EQ(shown.value(0), QStringLiteral("Updating firmware… Do not unplug the camera."));
    EXPECT_TRUE(shown.contains(QStringLiteral("Verification in progress...")));
    EXPECT_EQ(shown.mid(shown.size() - 2),
              (QStringList{QStringLiteral("Firmware update completed. please reconnect your device."),
                           QStringLiteral("Firmware update completed. Please reconnect your device. ")}));
    EXPECT_TRUE(bench.delegate().downloadCompleted);
    // Past the descriptor block the EEPROM update keeps, the image.
    EXPECT_TRUE(holds(bench.cameras().camera().eepromContents(), bench.image(0), 356));
}
