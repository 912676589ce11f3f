// The application controller: owns the firmware catalogue, the workflow state and the window's
// controls; runs the launch sequence and presents status and progress.
#include "app/appdelegate.h"

#include "app/cameraidentity.h"
#include "app/updaterun.h"

#include "platform/language.h"
#include "platform/logindinhibitor.h"
#include "platform/mainqueue.h"
#include "platform/systemlog.h"
#include "ui/aboutwindowcontroller.h"
#include "ui/applicationmenu.h"
#include "text/localization.h"
#include "ui/mainwindow.h"
#include "ui/statuslayout.h"
#include "ui/textmeasure.h"
#include "ui/windowplacement.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QScreen>

#include <cmath>

AppDelegate::AppDelegate(MainWindow &window, Resources resources, UsbBus *bus, QObject *parent)
    : QObject(parent)
    , button_update(window.ui.button_update)
    , myProgressView(window.ui.myProgressView)
    , progressText(window.ui.progressText)
    , mResources(std::move(resources))
    , mBus(bus)
    , _window(&window)
{
    connect(window.ui.actionAbout, &QAction::triggered, this, &AppDelegate::about);
    connect(button_update, &QPushButton::clicked, this, &AppDelegate::Patch_Firmware);
    window.installEventFilter(this);
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching()
{
    processName = QCoreApplication::applicationName();
    // A broken resources folder still launches, with empty texts: the log says what is wrong.
    for (const QString &problem : mResources.problems())
        systemLogFailure("applicationDidFinishLaunching", problem);
    deviceName = mResources.infoString(QStringLiteral("Device Name"));
    // Without a device name the name's place stays empty; the blank beside it must not show.
    localizedAppName = localizedFormat("MainMenu_Application_Name", {deviceName}).trimmed();
    if (MainWindow *w = window())
        localizeApplicationMenu(*w->applicationMenu(), localizedAppName, deviceName, languageCode());

    resize_app_window(false, false);

    button_update->setEnabled(false);
    button_update->setVisible(false);
    button_update->setText(localizedText("Button_Update"));
    // For screen readers: the button is named by its text, the status field by the status.
    button_update->setAccessibleDescription(localizedText("Accessible_Update_Description"));
    progressText->setAccessibleDescription(localizedText("Accessible_Status_Description"));
    myProgressView->setAccessibleName(localizedText("Accessible_Progress_Name"));
    myProgressView->setAccessibleDescription(localizedText("Accessible_Progress_Description"));

    downloadInProgress = false;
    downloadCompleted = false;
    b_DeviceTeacher = false;
    b_firmwareTeacher = false;
    _runLoopSource.reset();
    percentage = 0.0;
    binIndex = -1;
    binVersion = 0;
    chipID = 0;
    deviceEstablished = false;
    forceUpdate = false;

    myCatalogue.myDevicesInfo.clear();
    myHardware = mBus ? std::make_unique<bxHardwareLib>(*mBus) : std::make_unique<bxHardwareLib>();
    myHardware->setClock(mFlashClock);
    b_needsButton = false;
    b_needProgressBar = false;
    defaultFont = systemFontOfSize(16.0);

    prepareData();

    firmwareProductName = productNameFor(b_firmwareTeacher);
    update_status_text(localizedFormat("Status_Msg_Please_Connect_Your_Cam", {firmwareProductName}));
    if (MainWindow *w = window())
        w->setWindowTitle(localizedFormat("Application_Title", {firmwareProductName}));

    registerForUSBNotifications();
}

void AppDelegate::applicationWillTerminate()
{
    unregisterForUSBNotifications();
}

void AppDelegate::about()
{
    AboutWindowController &controller = AboutWindowController::defaultController();
    controller.setAppName(formatText(u"%@", {localizedFormat("Application_Title", {firmwareProductName})}));
    controller.orderFront(window());
}

void AppDelegate::prepareData()
{
    bool plain = false;
    if (const std::optional<bool> tKind = myCatalogue.prepare(mResources, &plain))
        b_firmwareTeacher = *tKind;
    if (plain)
        forceUpdate = true;
}

void AppDelegate::update_status_text(StatusText text)
{
    MainQueue::async(this, [this, text = std::move(text)] { showStatusText(text); });
}

void AppDelegate::update_progress_bar(float progress, QString text)
{
    // Shown from this task, not queued once more: a status text queued meanwhile must not
    // overtake it.
    MainQueue::async(this, [this, progress, text = std::move(text)] {
        showStatusText(text);
        myProgressView->setProgress(progress);
        myProgressView->update();
    });
}

void AppDelegate::showStatusText(const StatusText &text)
{
    using namespace StatusLayout;

    progressText->setStringValue(text);
    const double fitted = getAppropriateFontSizeforStringInRect(kFittingWidth, kFittingHeight, text.plainText());
    progressText->setFont(systemFontOfSize(std::trunc(fitted) - 1));
    // Sized in the font it is shown in: a field sized in the previous status's font cuts off a
    // text that the new font makes larger (a short prompt after a long, smaller message).
    progressText->sizeToFit();
    progressText->repaint();

    MainWindow *w = window();
    if (!w)
        return;
    ContentView *content = w->ui.contentView;
    const Placement placement{
        content->boundsSize(),
        content->frameOf(progressText).size(),
        content->frameOf(button_update).height,
        content->frameOf(myProgressView).height,
        b_needProgressBar,
        b_needsButton,
    };
    const Rect frame = statusFieldFrame(placement);
    content->setFrameOf(progressText, frame);
    progressText->repaint();

    systemLog(QStringLiteral("progressText.frame text: %1. rect: %2").arg(text.plainText(), describeRect(frame)));
}

double AppDelegate::getAppropriateFontSizeforStringInRect(double width, double height, const QString &text)
{
    const int start = int(std::trunc(pointSize(defaultFont)));
    if (start <= 0)
        return 0;
    const double wrapWidth = std::trunc(width);

    Size measured;
    const int size = StatusLayout::fittingFontSize(start, width, height, [&](int s) {
        measured = measureText(text, systemFontOfSize(s), wrapWidth, StatusLayout::kMeasuringHeight);
        return measured;
    });
    if (size > 0) {
        systemLog(QStringLiteral("match font: %1 for string: %2 with rect: %3")
                      .arg(size)
                      .arg(text, describeRect({0, 0, measured.width, measured.height})));
    }
    return size;
}

void AppDelegate::resize_app_window(bool needProgressBar, bool needButton)
{
    b_needsButton = needButton;
    b_needProgressBar = needProgressBar;

    MainWindow *w = window();
    if (!w)
        return;

    // The frame's lower-left corner stays where it is and the top edge moves, unless that takes
    // the frame off the screen's usable area: a window at the top of the screen would lose its
    // title bar and menu when it grows for the ring.
    const QRect frame = w->frameGeometry();
    const QRect inner = w->geometry();
    const Size target = StatusLayout::windowSize(needProgressBar);
    const QSize decoration = frame.size() - inner.size();
    const QSize targetFrame(int(target.width), int(target.height));
    const QRect available = w->screen() ? w->screen()->availableGeometry() : QRect();
    const QPoint frameTopLeft = WindowPlacement::resizedFrameTopLeft(frame, targetFrame, available);
    const QSize size = targetFrame - decoration;
    // The layout places every view at a fixed point: a stretched window would leave them in a
    // corner, a shrunk one would cut the text. Only this method sizes the window.
    w->setFixedSize(size);
    w->setGeometry(QRect(frameTopLeft + (inner.topLeft() - frame.topLeft()), size));

    ContentView *content = w->ui.contentView;
    Rect button = content->frameOf(button_update);
    button.x = StatusLayout::kButtonX;
    button.y = StatusLayout::buttonY(needProgressBar);
    content->setFrameOf(button_update, button);

    progressText->repaint();
    button_update->repaint();
}
