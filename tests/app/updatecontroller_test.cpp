// The update as a person drives it through the window, on virtual cameras: confirmation, the
// run, and what the window says at the end, checked against what the camera then holds.
#include "tests/app/appbench.h"
#include "ui/progressview.h"

#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

// Update, OK: the ring, the completion text and the image in the flash, for parts of either page
// size. (Cancel, and the camera unplugged and plugged in again afterwards: tests/e2e.)
TEST(UpdateController, AConfirmedUpdateLeavesTheImageInTheFlash)
{
    // The JEDEC identifiers: a part of 256-byte pages, then one of 32-byte pages.
    const struct { const char *image; uint16_t version; int chip; const char *jedec, *completion; } cases[] = {
        {"cam_RZ52940.bin", 0x0102, 0xB3, "C22010", "Firmware 0102 is now installed on your LUMIVEX T. Please reconnect the camera."},
        {"cam_RZ6610M.bin", 0x00A1, 0xB0, "C22210", "Firmware 00A1 is now installed on your LUMIVEX S. Please reconnect the camera."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.image);
        QJsonObject camera = cameraWithFirmware(QStringLiteral("cam"), 0x0100, QStringLiteral("Cam"), c.chip);
        camera[QStringLiteral("jedec")] = QString::fromLatin1(c.jedec);
        AppBench bench({{QString::fromLatin1(c.image), c.version, 12000}}, QJsonArray{camera});
        bench.launch();
        bench.statusTexts();
        ASSERT_TRUE(bench.pressUpdate(true));
        ASSERT_TRUE(bench.waitForRunEnd());
        const QStringList shown = bench.statusTexts();
        EXPECT_TRUE(shown.contains(QStringLiteral("Updating firmware… Do not unplug the camera.")));
        EXPECT_EQ(shown.value(shown.size() - 1), QString::fromLatin1(c.completion));
        const AppDelegate &d = bench.delegate();
        EXPECT_TRUE(d.myProgressView->progress() == 100 && !d.myProgressView->isHidden() && !d.button_update->isVisible());
        EXPECT_TRUE(holds(bench.cameras().camera().flashContents(), bench.image(0).mid(4)));
    }
}

// A camera that left between the offer and the confirmation: OK on the sheet left open starts a run
// that fails and says so, and the camera plugged in again is offered the update again. (A flash
// that fails mid-run: the fault sweep; a failed run, then unplugged and plugged in: tests/e2e.)
TEST(UpdateController, ACameraGoneBeforeTheConfirmationFailsAndCanBeTriedAgain)
{
    AppBench bench({{QStringLiteral("cam_RZ52940.bin"), 0x0102, 8192}}, QJsonArray{cameraWithFirmware(QStringLiteral("t"), 0x0100)});
    bench.launch();
    ASSERT_TRUE(bench.offered());
    bench.delegate().button_update->click();
    drainMainQueue();
    bench.cameras().bus().unplug(0);
    drainMainQueue();
    bench.statusTexts();
    auto *sheet = bench.window().findChild<QMessageBox *>();
    ASSERT_TRUE(sheet);
    sheet->buttons().value(0)->click(); // OK
    ASSERT_TRUE(bench.waitForRunEnd());
    EXPECT_EQ(bench.statusTexts().value(0), QStringLiteral("The firmware update failed. Please reconnect the camera and try again."));
    EXPECT_FALSE(bench.delegate().downloadInProgress || bench.delegate().downloadCompleted);
    EXPECT_FALSE(holds(bench.cameras().camera().flashContents(), bench.image(0).mid(4)));
    for (const QMessageBox *left : bench.window().findChildren<QMessageBox *>())
        EXPECT_FALSE(left->isVisible());
    bench.cameras().bus().plug(0);
    drainMainQueue();
    EXPECT_TRUE(bench.offered());
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
