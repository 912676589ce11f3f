// The application controller: owns the firmware catalogue, the workflow state and the window's
// controls; runs the launch sequence and presents status and progress.
#pragma once

#include "device/bxhardwarelib.h"
#include "device/eepromupdate.h"
#include "device/updateprogress.h"
#include "payload/firmwarecatalogue.h"
#include "platform/resources.h"
#include "platform/usbbus.h"
#include "ui/mainwindow.h"
#include "text/statustext.h"

#include <QFont>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class LogindInhibitor;
class UpdateRun;


class AppDelegate : public QObject
{
    Q_OBJECT

public:
    // Cameras come from bus; without one, from the application's bus (UsbBus::system()).
    AppDelegate(MainWindow &window, Resources resources, UsbBus *bus = nullptr, QObject *parent = nullptr);
    ~AppDelegate() override;

    void awakeFromNib() {}
    void applicationDidFinishLaunching();
    void applicationWillTerminate();
    bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }

    // The application menu's About action: shows the About window, loading it the first time.
    void about();

    MainWindow *window() const { return _window; }
    void setWindow(MainWindow *window) { _window = window; }

    // Status and progress: callable from any thread; the work runs on the GUI thread in call order.
    void update_status_text(StatusText text);
    void update_progress_bar(float progress, QString text);
    // GUI thread only.
    void resize_app_window(bool needProgressBar, bool needButton);
    double getAppropriateFontSizeforStringInRect(double width, double height, const QString &text);

    void prepareData();

    // Arrivals and removals of USB devices, handled on the GUI thread; devices already attached
    // are evaluated before registration returns.
    bool registerForUSBNotifications();
    void unregisterForUSBNotifications();
    void deviceMatched(const UsbDeviceInfo &device);
    void deviceTerminated(const UsbDeviceInfo &device);

    // The Update button: asks for confirmation, then starts the SPI flash run. The sheet belongs
    // to the camera it was opened for: it closes as Cancel when that camera leaves, and OK starts
    // a run only while that camera is still the session's.
    void Patch_Firmware();
    // The SPI flash run on its own queue; returns at once. Its steps run on that queue.
    void execute_qlv2();
    bool spi_erase_firmware();
    bool spi_update_firmware();
    bool spi_verify_firmware();
    // The boot EEPROM run; no control starts it. Its steps run on the update queue.
    void execute();
    bool update_firmware();
    bool verify_firmware();
    bool finalizing_firmware();
    // How the EEPROM run waits before a rewrite, and the clock the cameras' flash waits are
    // measured with; tests make them instant. The clock applies to cameras opened after launch.
    void setEepromPause(EepromUpdate::Pause pause) { mEepromPause = std::move(pause); }
    void setFlashClock(MillisecondClock clock) { mFlashClock = std::move(clock); }

    const Resources &resources() const { return mResources; }

    // Closing the window or quitting while a run writes asks first; quitting anyway stops the run
    // at its next sector or page and ends the program with status 1 (0 if it verified first).
    bool eventFilter(QObject *watched, QEvent *event) override;
    // SIGTERM or SIGHUP: quits at once, or once the run that writes has ended.
    void terminationRequested();
    // True from the start of a run until its end has been shown.
    bool runActive() const { return mRunActive; }

    // Workflow state, shared with the arrival handlers and the update procedures.
    FirmwareCatalogue myCatalogue; // UnzippedBinFileData, …Names, …ByteLengths, myDevicesInfo
    std::shared_ptr<void> _runLoopSource; // the USB notifications; dropping it stops them
    QPushButton *button_update = nullptr;
    ProgressView *myProgressView = nullptr;
    HyperlinkTextField *progressText = nullptr;
    // The update queue writes these while the GUI thread reads them.
    std::atomic<double> percentage = 0.0;
    std::unique_ptr<bxHardwareLib> myHardware;
    int32_t binIndex = -1;
    bool deviceEstablished = false;
    bool forceUpdate = false;
    uint32_t binVersion = 0;
    uint8_t chipID = 0;
    std::atomic<double> executionTime = 0.0;
    std::atomic<bool> downloadInProgress = false;
    std::atomic<bool> downloadCompleted = false;
    bool b_DeviceTeacher = false;
    bool b_firmwareTeacher = false;
    QString firmwareProductName;
    QString processName;
    QString deviceName;
    QString localizedAppName;
    bool b_needsButton = false;
    bool b_needProgressBar = false;
    QFont defaultFont;

private:
    void showStatusText(const StatusText &text);
    // The critical sheet of a camera pulled out while it was being written; OK ends the process.
    void showRemovedDuringUpdateAlert();
    std::optional<std::vector<uint8_t>> chosenImage() const;
    // A new run with its engine made from the chosen image, and its first step, which hides the
    // button and switches the layout, queued.
    UpdateRun *startRun(bool ringLayout, const std::function<void(UpdateRun &, std::vector<uint8_t>)> &engine);
    void showProgress(double percent, UpdateProgressSink::Stage stage);
    // The end of every run: the completion or the failure text, the flags and one log line.
    void finishRun(UpdateRun &run, const char *method, const std::function<void()> &showCompletion);
    // On the GUI thread, after the run's last text: the quit that waited for it, the arrivals.
    void runEnded(bool succeeded);
    // Appends the latest run's line to the history with its outcome, unless it has one already.
    void recordRun(const QString &result, DeviceStep failedStep = DeviceStep::None);
    void askBeforeQuitting();
    // Arrivals held while the sheet is open or a run has the camera, evaluated in order once the
    // sheet was cancelled or the run's camera has left.
    bool holdsArrivals() const;
    void evaluateHeldArrivals();

    Resources mResources;
    UsbBus *mBus = nullptr;
    EepromUpdate::Pause mEepromPause;
    MillisecondClock mFlashClock;
    // The latest update run; dropping it waits for its queue.
    std::unique_ptr<UpdateRun> mRun;
    // Keeps logind from suspending or shutting down the machine while a run writes.
    std::unique_ptr<LogindInhibitor> mInhibitor;
    // The camera left while it was being written: the alert ends the process.
    bool mRemovedDuringUpdate = false;
    // The open confirmation sheet and the camera it asks about.
    QPointer<QMessageBox> mSheet;
    UsbDeviceId mSheetCamera = 0;
    // The camera on offer: where it is plugged in and the firmware it holds, for the history.
    QString mCameraLocation;
    uint32_t mCameraVersion = 0;
    // The camera of the latest run, until it leaves.
    UsbDeviceId mRunCamera = 0;
    bool mRunActive = false;
    std::vector<UsbDeviceInfo> mHeldArrivals;
    QPointer<QMessageBox> mQuitQuestion;
    // Quit once the run has ended, with status 0 when it verified and 1 when not: asked to stop it
    // (quit anyway), or asked to let it finish (a signal).
    bool mQuitAnyway = false;
    bool mQuitAfterRun = false;
    QPointer<MainWindow> _window;
};
