// The update as a person drives it through the window, on virtual cameras: confirmation, the
// run, and what the window says at the end, checked against what the flash then holds.
#include "device/spiflash.h"
#include "tests/app/appbench.h"
#include "ui/progressview.h"

#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

const QString kFailed = QStringLiteral("The firmware update failed. Please reconnect the camera and try again.");

uint8_t flashStatus()
{
    static constexpr uint8_t kReadStatus = 0x05;
    uint8_t status = 0;
    EXPECT_TRUE(spi_receiveBytes(0, 1, &kReadStatus, 1, 1, &status));
    return status;
}

bool flashHolds(CameraModel &camera, const QByteArray &image)
{
    const std::vector<uint8_t> flash = camera.flashContents();
    const QByteArray content = image.mid(4);
    return flash.size() >= size_t(content.size())
        && std::equal(content.begin(), content.end(), flash.begin(), [](char a, uint8_t b) { return uint8_t(a) == b; });
}

} // namespace

// Update, OK, the ring, the completion text; then unplugged and plugged in again, the camera is
// offered the update again.
TEST(UpdateController, AConfirmedUpdateLeavesTheImageInTheFlash)
{
    const struct
    {
        const char *image;
        uint16_t version;
        int chip;
        const char *jedec; // 256-byte pages, then 32-byte pages
        const char *completion;
    } cases[] = {
        {"cam_RZ52940.bin", 0x0102, 0xB3, "C22010", "Firmware 0102 is now installed on your LUMIVEX T. Please reconnect the camera."},
        {"cam_RZ6610M.bin", 0x00A1, 0xB0, "C22210", "Firmware 00A1 is now installed on your LUMIVEX S. Please reconnect the camera."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.image);
        ScratchFolder flashes;
        QJsonObject camera = cameraWithFirmware(flashes, QStringLiteral("cam"), 0x0100, QStringLiteral("Cam"), c.chip);
        camera[QStringLiteral("jedec")] = QString::fromLatin1(c.jedec);
        AppBench bench({{QString::fromLatin1(c.image), c.version, 12000}}, QJsonArray{camera});
        bench.launch();
        ASSERT_TRUE(bench.offered());
        bench.statusTexts();

        ASSERT_TRUE(bench.pressUpdate(true));
        ASSERT_TRUE(bench.waitForRunEnd());
        const QStringList shown = bench.statusTexts();
        ASSERT_FALSE(shown.isEmpty());
        EXPECT_EQ(shown.last(), QString::fromLatin1(c.completion));
        EXPECT_TRUE(shown.contains(QStringLiteral("Updating firmware… Do not unplug the camera.")));
        const AppDelegate &d = bench.delegate();
        EXPECT_TRUE(d.downloadCompleted);
        EXPECT_FALSE(d.downloadInProgress);
        EXPECT_EQ(d.myProgressView->progress(), 100);
        EXPECT_FALSE(d.myProgressView->isHidden());
        EXPECT_FALSE(d.button_update->isVisible());
        EXPECT_TRUE(d.b_needProgressBar);
        EXPECT_TRUE(flashHolds(bench.cameras().camera(), bench.image(0)));
        EXPECT_EQ(flashStatus() & 0x0C, 0x0C);
        EXPECT_GT(d.executionTime, 0.0);

        bench.cameras().bus().unplug(0);
        drainMainQueue();
        EXPECT_EQ(bench.statusTexts().value(0).left(20), QStringLiteral("Please connect your "));
        bench.cameras().bus().plug(0);
        drainMainQueue();
        EXPECT_TRUE(bench.offered());
    }
}

TEST(UpdateController, CancelStartsNothing)
{
    ScratchFolder flashes;
    AppBench bench({{QStringLiteral("cam_RZ52940.bin"), 0x0102}}, QJsonArray{cameraWithFirmware(flashes, QStringLiteral("t"), 0x0100)});
    bench.launch();
    const uint64_t transfers = bench.cameras().camera().transferCount();
    ASSERT_TRUE(bench.pressUpdate(false));
    drainMainQueue();
    EXPECT_TRUE(bench.offered());
    EXPECT_FALSE(bench.delegate().downloadInProgress);
    EXPECT_EQ(bench.cameras().camera().transferCount(), transfers);
}

// A run that fails says so, and leaves the controller ready for the camera to be plugged in again:
// a flash that silently dropped a page, a flash chip the updater does not know, and a camera that
// left between the offer and the confirmation.
TEST(UpdateController, AFailedUpdateSaysSoAndTheCameraCanBeTriedAgain)
{
    enum class Fault { LostPage, UnknownChip, GoneBeforeConfirmation };
    for (const Fault fault : {Fault::LostPage, Fault::UnknownChip, Fault::GoneBeforeConfirmation}) {
        SCOPED_TRACE(int(fault));
        ScratchFolder flashes;
        QJsonObject camera = cameraWithFirmware(flashes, QStringLiteral("t"), 0x0100);
        if (fault == Fault::LostPage)
            camera[QStringLiteral("lose_programs")] = QJsonArray{3};
        if (fault == Fault::UnknownChip)
            camera[QStringLiteral("jedec")] = QStringLiteral("123456");
        AppBench bench({{QStringLiteral("cam_RZ52940.bin"), 0x0102, 8192}}, QJsonArray{camera});
        bench.launch();
        ASSERT_TRUE(bench.offered());
        bench.statusTexts();

        if (fault == Fault::GoneBeforeConfirmation) {
            bench.delegate().button_update->click();
            drainMainQueue();
            bench.cameras().bus().unplug(0);
            drainMainQueue();
            auto *sheet = bench.window().findChild<QMessageBox *>();
            ASSERT_TRUE(sheet);
            sheet->buttons().value(0)->click(); // OK, on a sheet left open
            drainMainQueue();
        } else {
            ASSERT_TRUE(bench.pressUpdate(true));
        }
        ASSERT_TRUE(bench.waitForRunEnd());
        EXPECT_EQ(bench.statusTexts().last(), kFailed);
        EXPECT_FALSE(bench.delegate().downloadInProgress);
        EXPECT_FALSE(bench.delegate().downloadCompleted);
        EXPECT_FALSE(flashHolds(bench.cameras().camera(), bench.image(0)));

        // Unplugged now, the camera brings the prompt, not the alert that ends the process.
        if (fault != Fault::GoneBeforeConfirmation) {
            bench.cameras().bus().unplug(0);
            drainMainQueue();
            EXPECT_EQ(bench.statusTexts().value(0), QStringLiteral("Please connect your LUMIVEX T camera."));
        }
        for (const QMessageBox *sheet : bench.window().findChildren<QMessageBox *>())
            EXPECT_FALSE(sheet->isVisible());
        bench.cameras().bus().plug(0);
        drainMainQueue();
        EXPECT_TRUE(bench.offered());
    }
}

// The EEPROM run: nothing in the window starts it, but it runs to the end when called.
TEST(UpdateController, TheEepromRunWritesVerifiesAndCloses)
{
    ScratchFolder flashes;
    AppBench bench({{QStringLiteral("cam_RZ52940.bin"), 0x0102}}, QJsonArray{cameraWithFirmware(flashes, QStringLiteral("t"), 0x0100)});
    bench.delegate().setEepromPause([](std::chrono::milliseconds) {});
    bench.launch();
    ASSERT_TRUE(bench.offered());
    bench.statusTexts();
    bench.delegate().execute();
    ASSERT_TRUE(bench.waitForRunEnd());

    const QStringList shown = bench.statusTexts();
    ASSERT_GE(shown.size(), 3);
    EXPECT_EQ(shown.first(), QStringLiteral("Updating firmware… Do not unplug the camera."));
    EXPECT_TRUE(shown.contains(QStringLiteral("Verification in progress...")));
    EXPECT_EQ(shown.mid(shown.size() - 2),
              (QStringList{QStringLiteral("Firmware update completed. please reconnect your device."),
                           QStringLiteral("Firmware update completed. Please reconnect your device. ")}));
    EXPECT_TRUE(bench.delegate().downloadCompleted);

    const std::vector<uint8_t> eeprom = bench.cameras().camera().eepromContents();
    const QByteArray image = bench.image(0);
    ASSERT_GE(eeprom.size(), size_t(image.size()));
    EXPECT_EQ(std::vector<uint8_t>(eeprom.begin(), eeprom.begin() + 4), (std::vector<uint8_t>{0x26, 0x00, 0x03, 0x00}));
    EXPECT_TRUE(std::equal(image.begin() + 356, image.end(), eeprom.begin() + 356,
                           [](char a, uint8_t b) { return uint8_t(a) == b; }));
}
