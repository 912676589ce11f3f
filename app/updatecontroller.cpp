// The update as the window drives it: the confirmation sheet, the SPI flash run that the Update
// button starts and the EEPROM run that nothing in the window starts. The device work is the
// engine's; the controller takes turns between its GUI steps and the update queue, and turns
// the engine's progress and outcome into the window's texts.
#include "app/appdelegate.h"

#include "app/cameraidentity.h"
#include "app/updatedecision.h"
#include "app/updaterun.h"
#include "platform/logindinhibitor.h"
#include "platform/mainqueue.h"
#include "platform/runhistory.h"
#include "platform/systemlog.h"
#include "text/localization.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QEvent>
#include <QMessageBox>
#include <QPushButton>

#include <optional>
#include <utility>

namespace {

using Stage = UpdateProgressSink::Stage;

// A window-modal sheet over the main window, gone once answered.
QMessageBox *sheet(QWidget *window, QMessageBox::Icon icon, const QString &text, const QString &informative)
{
    auto *box = new QMessageBox(window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(icon);
    box->setText(text);
    box->setInformativeText(informative);
    box->setWindowModality(Qt::WindowModal);
    return box;
}

} // namespace

void AppDelegate::Patch_Firmware()
{
    if (mSheet || mRunActive)
        return;
    QMessageBox *alert = sheet(window(), QMessageBox::Critical, localizedText("Status_Msg_Proceed_To_Update"),
                               localizedFormat("Status_Msg_Proceed_To_Update_Warning", {firmwareProductName}));
    QPushButton *ok = alert->addButton(localizedText("Button_OK"), QMessageBox::AcceptRole);
    QPushButton *cancel = alert->addButton(localizedText("Button_Cancel"), QMessageBox::RejectRole);
    // From the keyboard: Return answers the default OK, Escape Cancel.
    alert->setDefaultButton(ok);
    alert->setEscapeButton(cancel);
    mSheet = alert;
    mSheetCamera = myHardware->sessionDevice();
    connect(alert, &QMessageBox::finished, this, [this, alert, ok] {
        const UsbDeviceId camera = std::exchange(mSheetCamera, 0);
        mSheet = nullptr;
        // The consent was given for one camera: another in its place is not written on it.
        if (alert->clickedButton() == ok && camera && deviceEstablished && myHardware->sessionDevice() == camera)
            execute_qlv2();
        else
            evaluateHeldArrivals();
    });
    alert->open();
}

std::optional<std::vector<uint8_t>> AppDelegate::chosenImage() const
{
    // The camera may have left between the offer and the confirmation.
    if (binIndex < 0 || binIndex >= myCatalogue.UnzippedBinFileData.size())
        return std::nullopt;
    const QByteArray &image = myCatalogue.UnzippedBinFileData.at(binIndex);
    return std::vector<uint8_t>(image.begin(), image.end());
}

UpdateRun *AppDelegate::startRun(bool ringLayout, const std::function<void(UpdateRun &, std::vector<uint8_t>)> &engine)
{
    // The previous run ended long ago: its steps are through, so dropping it waits for nothing.
    mRun.reset();
    mRunActive = true;
    mRunCamera = myHardware->sessionDevice();
    mInhibitor = std::make_unique<LogindInhibitor>(localizedAppName, QStringLiteral("A camera's firmware is being written"));
    mRun = std::make_unique<UpdateRun>([this](double percent, Stage stage) { showProgress(percent, stage); });
    UpdateRun *run = mRun.get();
    RunRecord &record = run->record;
    record.device = mCameraLocation;
    // Read while the session is open, from what the open already read: no request of its own.
    record.serial = myHardware->GetSerialNumberString().remove(QChar(u'\0')).trimmed();
    record.product = productNameFor(b_DeviceTeacher);
    record.fromVersion = versionText(mCameraVersion);
    record.toVersion = versionText(binVersion);
    record.source = QStringLiteral("window");
    if (binIndex >= 0 && binIndex < myCatalogue.count()) {
        record.image = myCatalogue.UnzippedBinFileNames.at(binIndex);
        record.sha256 = QString::fromLatin1(
            QCryptographicHash::hash(myCatalogue.UnzippedBinFileData.value(binIndex), QCryptographicHash::Sha256).toHex());
    }
    if (std::optional<std::vector<uint8_t>> image = chosenImage())
        engine(*run, std::move(*image));
    else
        run->refusal = "no firmware image is chosen for a camera";

    // The first device step waits for the button to be gone, so that a second press cannot start
    // a second run.
    run->onMain(false, [this, run, ringLayout] {
        button_update->setEnabled(false);
        button_update->setVisible(false);
        resize_app_window(ringLayout, true);
        run->giveTurn();
    });
    return run;
}

void AppDelegate::showProgress(double percent, UpdateProgressSink::Stage stage)
{
    // The ring follows the writing; the erase only replaces the offer as soon as the camera is
    // touched, and the flash's read-back is the completion's to report.
    if (stage == Stage::Erasing) {
        if (percent == 0.0)
            update_progress_bar(0.0f, localizedFormat("Status_Msg_Update_In_Progress"));
        return;
    }
    if (stage == Stage::ReadingBack)
        return;
    percentage = percent;
    switch (stage) {
    case Stage::Erasing:
    case Stage::ReadingBack: // handled above
        break;
    case Stage::Writing:
        update_progress_bar(float(percent), localizedFormat("Status_Msg_Update_In_Progress"));
        break;
    case Stage::Verifying:
        update_progress_bar(float(percent), QStringLiteral("Verification in progress..."));
        break;
    case Stage::VerifyRetry:
        update_progress_bar(float(percent), QStringLiteral("Verification failed. Re-trying update."));
        break;
    case Stage::Verified:
        // Straight into the field, without fitting or placing it.
        MainQueue::async(this, [this] {
            percentage = 100.0;
            progressText->setStringValue(QStringLiteral("process completed"));
        });
        break;
    case Stage::Finalized:
        update_progress_bar(float(percent), QStringLiteral("Firmware update completed. please reconnect your device."));
        break;
    }
}

void AppDelegate::execute_qlv2()
{
    UpdateRun *r = startRun(false, [this](UpdateRun &run, std::vector<uint8_t> image) {
        // The ring layout comes between the erase and the first page. The GUI step gives the turn
        // back without taking it: the GUI thread never waits for the update queue.
        run.flash = std::make_unique<FlashUpdate>(myHardware->session(), std::move(image), run.sink(), [this, &run] {
            run.onMain(false, [this, &run] {
                resize_app_window(true, true);
                run.giveTurn();
            });
            return run.takeTurn();
        });
    });
    // The write sequence in one step: identify, fit, erase, program, protect, read back.
    r->onQueue(true, [this, r] {
        downloadInProgress = true;
        downloadCompleted = false;
        r->success = r->flash && r->flash->run();
    });
    // What the completion names is taken now: a removal on the GUI thread resets the fields.
    const QString version = versionText(binVersion);
    const QString product = productNameFor(b_DeviceTeacher);
    r->onQueue(false, [this, r, version, product] {
        finishRun(*r, "execute_qlv2", [this, &version, &product] {
            update_progress_bar(float(percentage.load()), localizedFormat("Status_Msg_Update_Completed", {version, product}));
        });
    });
}

bool AppDelegate::spi_erase_firmware()
{
    return mRun->flash->spi_erase_firmware();
}

bool AppDelegate::spi_update_firmware()
{
    return mRun->flash->spi_update_firmware();
}

bool AppDelegate::spi_verify_firmware()
{
    return mRun->flash->spi_verify_firmware();
}

void AppDelegate::execute()
{
    UpdateRun *r = startRun(true, [this](UpdateRun &run, std::vector<uint8_t> image) {
        run.eeprom = std::make_unique<EepromUpdate>(*myHardware, std::move(image), run.sink(), mEepromPause);
    });
    // Only the first step waits for the GUI thread; the queue orders the rest.
    r->onQueue(true, [this, r] {
        downloadInProgress = true;
        downloadCompleted = false;
        r->success = r->eeprom && update_firmware();
    });
    r->onQueue(false, [this, r] {
        if (r->success)
            r->success = verify_firmware();
    });
    r->onQueue(false, [this, r] {
        if (r->success)
            finalizing_firmware();
        finishRun(*r, "execute", [this] {
            update_progress_bar(float(percentage.load()),
                                QStringLiteral("Firmware update completed. Please reconnect your device. "));
        });
    });
}

bool AppDelegate::update_firmware()
{
    return mRun->eeprom->update_firmware();
}

bool AppDelegate::verify_firmware()
{
    return mRun->eeprom->verify_firmware();
}

bool AppDelegate::finalizing_firmware()
{
    return mRun->eeprom->finalizing_firmware();
}

void AppDelegate::finishRun(UpdateRun &run, const char *method, const std::function<void()> &showCompletion)
{
    executionTime = run.secondsSinceStart();
    const QString took = QString::number(executionTime.load(), 'f', 1);
    const bool succeeded = run.success;
    if (succeeded) {
        showCompletion();
        downloadCompleted = true;
        downloadInProgress = false;
        // Logged from the GUI thread, so that it follows the status lines queued before it.
        MainQueue::async(this, [this, line = QStringLiteral("%1 - update completed in %2 s").arg(QLatin1String(method), took)] {
            systemLog(line);
            recordRun(QStringLiteral("verified"));
            runEnded(true);
        });
        return;
    }
    // A refusal before the erase changed nothing, and says so instead of asking for a retry.
    const char *failureKey = "Status_Msg_Update_Failed";
    if (run.flash && run.flash->leftUntouched() && run.refusal.empty())
        failureKey = run.flash->refusal() == FlashUpdate::Refusal::TooLarge ? "Status_Msg_Update_Refused_Too_Large"
                                                                            : "Status_Msg_Update_Refused_Flash_Part";
    // Decided on the GUI thread, behind a removal that the failing request may have queued: a
    // camera pulled out keeps its alert. Otherwise the ring stays where it stopped, the camera's
    // removal brings the connect prompt, and plugging it in again offers the update again.
    const QString line = QStringLiteral("%1 - update failed after %2 s: %3")
                             .arg(QLatin1String(method), took, QString::fromStdString(run.failureReason()));
    const bool untouched = run.flash && run.flash->leftUntouched();
    MainQueue::async(this, [this, line, failureKey, untouched, step = run.failedStep()] {
        systemLog(line);
        recordRun(QLatin1String(mRemovedDuringUpdate ? "removed" : mQuitAnyway ? "quit" : untouched ? "refused" : "failed"), step);
        if (!mRemovedDuringUpdate) {
            showStatusText(localizedFormat(failureKey, {firmwareProductName}));
            downloadInProgress = false;
        }
        runEnded(false);
    });
}

void AppDelegate::recordRun(const QString &result, DeviceStep failedStep)
{
    if (!mRun || std::exchange(mRun->recorded, true))
        return;
    RunRecord &record = mRun->record;
    record.time = RunHistory::now();
    record.result = result;
    record.failedStep = QLatin1String(stepName(failedStep));
    record.seconds = mRun->secondsSinceStart();
    const QString path = RunHistory::path();
    if (const QString why = RunHistory::append(RunHistory::line(record), path); !why.isEmpty())
        systemLog(QStringLiteral("history - cannot append to %1: %2").arg(path, why));
}

void AppDelegate::runEnded(bool succeeded)
{
    mRunActive = false;
    mInhibitor.reset();
    if (mQuitQuestion)
        mQuitQuestion->reject(); // nothing is being written any more
    // A camera pulled out keeps its alert, whose OK ends the process.
    if (mRemovedDuringUpdate)
        return;
    if (mQuitAnyway || mQuitAfterRun) {
        QCoreApplication::exit(succeeded ? 0 : 1);
        return;
    }
    if (!mRunCamera)
        evaluateHeldArrivals();
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Close || watched != window())
        return QObject::eventFilter(watched, event);
    // The removal alert ends the process itself; a run that writes is not cut off unasked.
    if (mRemovedDuringUpdate || mRunActive) {
        event->ignore();
        if (mRunActive && !mRemovedDuringUpdate && !mQuitAnyway)
            askBeforeQuitting();
        return true;
    }
    return false;
}

void AppDelegate::askBeforeQuitting()
{
    if (mQuitQuestion) {
        mQuitQuestion->raise();
        return;
    }
    QMessageBox *question = sheet(window(), QMessageBox::Warning, localizedText("Quit_During_Update_Message"),
                                  localizedFormat("Quit_During_Update_Warning", {firmwareProductName}));
    QPushButton *keep = question->addButton(localizedText("Button_Keep_Updating"), QMessageBox::RejectRole);
    QPushButton *quit = question->addButton(localizedText("Button_Quit_Anyway"), QMessageBox::DestructiveRole);
    question->setDefaultButton(keep);
    question->setEscapeButton(keep);
    mQuitQuestion = question;
    connect(question, &QMessageBox::finished, this, [this, question, quit] {
        if (question->clickedButton() != quit || !mRunActive)
            return;
        mQuitAnyway = true;
        systemLog(QStringLiteral("applicationShouldTerminate - quitting during the update: it stops at the next sector or page"));
        if (mRun && mRun->flash)
            mRun->flash->requestStop("quit");
    });
    question->open();
}

void AppDelegate::terminationRequested()
{
    if (mRemovedDuringUpdate) {
        recordRun(QStringLiteral("removed"));
        QCoreApplication::exit(255);
        return;
    }
    if (!mRunActive) {
        QCoreApplication::quit();
        return;
    }
    // The camera is finished first: a half-written one would not start again.
    mQuitAfterRun = true;
    systemLog(QStringLiteral("applicationShouldTerminate - asked to quit during the update: quitting when it has ended"));
}
