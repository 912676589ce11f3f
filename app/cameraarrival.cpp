// Cameras coming and going: the controller's USB notifications, the arrival that opens a camera
// and decides what the window offers it, and the removal that resets the window or, while the
// camera is being written, ends the process after an alert.
#include "app/appdelegate.h"

#include "app/cameraidentity.h"
#include "app/updatedecision.h"
#include "platform/devicelog.h"
#include "device/usbrequests.h"
#include "platform/language.h"
#include "platform/mainqueue.h"
#include "platform/systemlog.h"
#include "text/localization.h"
#include "ui/progressview.h"

#include <QMessageBox>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <utility>

bool AppDelegate::registerForUSBNotifications()
{
    UsbBus &bus = mBus ? *mBus : UsbBus::system();
    // Devices already attached arrive inside watch(), so a camera present at launch is handled
    // before the launch ends.
    _runLoopSource = bus.watch(
        this, [this](const UsbDeviceInfo &device) { deviceMatched(device); },
        [this](const UsbDeviceInfo &device) { deviceTerminated(device); });
    return _runLoopSource != nullptr;
}

void AppDelegate::unregisterForUSBNotifications()
{
    _runLoopSource.reset();
}

void AppDelegate::deviceMatched(const UsbDeviceInfo &device)
{
    // A camera plugged in while the sheet asks about another, or while a run has the camera, is
    // kept for later rather than lost.
    if (holdsArrivals()) {
        mHeldArrivals.push_back(device);
        return;
    }
    // While one camera is offered, updated or finished, others wait for its removal.
    if (deviceEstablished)
        return;

    if (!device.productName.isNull())
        deviceLog("Device: %s\n", device.productName.toUtf8().constData());

    const std::optional<CameraIdentity> camera = identifyCamera(*myHardware, device);
    if (!camera)
        return;
    chipID = camera->chipID;
    const UpdateFacts facts = factsFor(*camera, b_firmwareTeacher, b_DeviceTeacher, mResources);
    const UpdateDecision decision = decideUpdate(myCatalogue, facts);
    const StatusText text = describeDecision(decision, facts);
    b_DeviceTeacher = decision.deviceTKind;

    // The window changes are queued like the text, behind whatever a removal just queued: a camera
    // that arrives in the same moment another leaves must not have its button hidden by that
    // removal's reset. The layout goes first, so that the text is placed for it.
    if (decision.outcome != UpdateDecision::Outcome::Offer) {
        MainQueue::async(this, [this] {
            resize_app_window(false, false);
            button_update->setVisible(false);
            button_update->setEnabled(false);
        });
        update_status_text(text);
        // Not offered: the session goes, so that the next camera's requests reach the next camera.
        myHardware->custom_dealloc();
        return;
    }

    binVersion = decision.binVersion;
    mCameraLocation = device.location;
    mCameraVersion = camera->version;
    binIndex = decision.binIndex;
    forceUpdate = true;
    deviceEstablished = true;
    for (const QString &line : text.plainText().split(u'\n'))
        systemLog(line);
    MainQueue::async(this, [this] {
        resize_app_window(false, true);
        button_update->setVisible(true);
        button_update->setEnabled(true);
    });
    update_status_text(text);
}

bool AppDelegate::holdsArrivals() const
{
    return mSheet || mRunActive || mRunCamera;
}

void AppDelegate::evaluateHeldArrivals()
{
    // Queued behind the window's reset for the camera that left, which is queued too.
    MainQueue::async(this, [this] {
        std::vector<UsbDeviceInfo> held = std::exchange(mHeldArrivals, {});
        for (const UsbDeviceInfo &device : held)
            deviceMatched(device);
    });
}

void AppDelegate::deviceTerminated(const UsbDeviceInfo &device)
{
    // A held arrival that leaves before its turn is forgotten.
    if (std::erase_if(mHeldArrivals, [&](const UsbDeviceInfo &d) { return d.id == device.id; }))
        return;
    // Only the session's camera counts: a mouse, a hub or a second camera leaving changes nothing.
    // Without a session every removal resets the window.
    if (const UsbDeviceId session = myHardware->sessionDevice(); session && session != device.id)
        return;

    percentage = 0.0;
    MainQueue::async(this, [this] {
        myProgressView->setHidden(true);
        resize_app_window(false, false);
        button_update->setEnabled(false);
        button_update->setVisible(false);
    });
    if (deviceEstablished) {
        deviceEstablished = false;
        forceUpdate = false;
        binIndex = -1;
        binVersion = 0;
        b_DeviceTeacher = false;
    }
    // The update queue's next request fails from here on.
    myHardware->custom_dealloc();

    if (downloadCompleted || !downloadInProgress)
        update_progress_bar(float(percentage.load()), localizedFormat("Status_Msg_Please_Connect_Your_Cam", {firmwareProductName}));
    else {
        mRemovedDuringUpdate = true;
        showRemovedDuringUpdateAlert();
        return;
    }

    // The sheet asked about this camera: it goes with it, as Cancel would, and the cameras held
    // meanwhile are looked at.
    if (mSheet && device.id == mSheetCamera) {
        mSheet->reject();
        return;
    }
    if (device.id == mRunCamera) {
        mRunCamera = 0;
        if (!mRunActive)
            evaluateHeldArrivals();
    }
}

void AppDelegate::showRemovedDuringUpdateAlert()
{
    // The alert is the only question left: quitting is what its OK does.
    if (mQuitQuestion)
        mQuitQuestion->reject();
    auto *alert = new QMessageBox(QMessageBox::Critical, QStringLiteral("ERROR"), QStringLiteral("ERROR"),
                                  QMessageBox::NoButton, window());
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setInformativeText(QStringLiteral("Device was removed during update process. Critial error"));
    QPushButton *ok = alert->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    alert->setDefaultButton(ok);
    alert->setWindowModality(Qt::WindowModal);
    connect(alert, &QMessageBox::finished, this, [this, alert, ok] {
        if (alert->clickedButton() != ok)
            return;
        // The run may still be inside a request: its line is written now or never.
        recordRun(QStringLiteral("removed"));
        // At once: the update queue may still be inside a request, so nothing is torn down. What
        // the camera took is already on it; only the output streams need their last lines.
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(255);
    });
    alert->open();
}
