// The About window: the application's icon, name, version and copyright notice.
#include "ui/aboutwindowcontroller.h"

#include "ui_aboutwindow.h"

#include "platform/language.h"
#include "text/localization.h"
#include "ui/windowplacement.h"

#include <QCoreApplication>
#include <QDir>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QPixmap>
#include <QScreen>
#include <QShortcut>
#include <QWidget>

#include <algorithm>

namespace {

// German and Italian name the application after the device rather than the product.
constexpr char16_t kGermanName[] = u"%@ Firmware Aktualisierung";
constexpr char16_t kItalianName[] = u"Aggiornamenti firmware %@";

constexpr int kIconSize = 128;
// Glyph advances are fractional: a width rounded down to whole pixels can wrap the last word.
constexpr int kTextSlack = 2;

QPixmap applicationIcon(const Resources &resources)
{
    // A packager's icon in the resources folder wins over the one built into the program.
    QPixmap icon(QDir(resources.folder()).filePath(QStringLiteral("AppIcon.png")));
    if (icon.isNull())
        icon = QPixmap(QStringLiteral(":/icons/AppIcon.png"));
    if (icon.isNull())
        return icon;
    return icon.scaled(kIconSize, kIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

} // namespace

AboutWindowController &AboutWindowController::defaultController()
{
    static AboutWindowController controller(Resources::locate(), languageCode());
    return controller;
}

AboutWindowController::AboutWindowController(Resources resources, QString language)
    : mResources(std::move(resources))
    , mLanguage(std::move(language))
{
}

AboutWindowController::~AboutWindowController()
{
    // The shared controller outlives the application object; a widget must not be deleted after
    // it, so the window is left to the end of the process then.
    if (!QCoreApplication::instance())
        static_cast<void>(mWindow.release());
}

QWidget *AboutWindowController::window()
{
    if (mWindow)
        return mWindow.get();

    mWindow = std::make_unique<QWidget>();
    Ui::AboutWindow form;
    form.setupUi(mWindow.get());
    appNameLabel = form.appNameLabel;
    appVersionLabel = form.appVersionLabel;
    appCopyrightLabel = form.appCopyrightLabel;
    appIconImageView = form.appIconImageView;
    // An open About window must not keep the application running once the main window closes.
    mWindow->setAttribute(Qt::WA_QuitOnClose, false);
    mWindow->setAttribute(Qt::WA_ShowWithoutActivating, true);
    for (const QKeySequence &keys : {QKeySequence(QKeySequence::Close), QKeySequence(Qt::Key_Escape)})
        QObject::connect(new QShortcut(keys, mWindow.get()), &QShortcut::activated, mWindow.get(), &QWidget::close);
    windowDidLoad();
    return mWindow.get();
}

void AboutWindowController::orderFront(const QWidget *over)
{
    QWidget *w = window();
    // It opens over the window it was asked from, inside that window's screen; once open, it
    // stays where the user puts it.
    if (over && !w->isVisible()) {
        w->adjustSize();
        // Its own frame is unknown until it shows: the window manager frames it as it framed
        // the window it opens over.
        const QRect overFrame = over->frameGeometry(), overInner = over->geometry();
        const QMargins decoration(overInner.left() - overFrame.left(), overInner.top() - overFrame.top(),
                                  overFrame.right() - overInner.right(), overFrame.bottom() - overInner.bottom());
        QRect placed(QPoint(), w->size().grownBy(decoration));
        placed.moveCenter(overFrame.center());
        const QRect available = over->screen() ? over->screen()->availableGeometry() : QRect();
        w->move(WindowPlacement::keptInside(placed, available));
    }
    if (w->isMinimized())
        w->showNormal();
    else
        w->show();
    w->raise();
}

void AboutWindowController::windowDidLoad()
{
    const QPixmap icon = applicationIcon(mResources);
    appIconImageView->setPixmap(icon);
    if (!icon.isNull())
        mWindow->setWindowIcon(QIcon(icon));

    appNameLabel->setText(mAppName);
    const QString version = mResources.infoString(QStringLiteral("CFBundleShortVersionString"));
    appVersionLabel->setText(formatText(u"%@ %@", {localizedText("About_Window_Version"), version}).trimmed());
    appCopyrightLabel->setText(mResources.infoString(QStringLiteral("NSHumanReadableCopyright")));

    // Without a device name the German and Italian forms would read as a fragment: keep the name.
    const QString deviceName = mResources.infoString(QStringLiteral("Device Name"));
    if (mLanguage == u"de" && !deviceName.isEmpty())
        appNameLabel->setText(formatText(kGermanName, {deviceName}));
    if (mLanguage == u"it" && !deviceName.isEmpty())
        appNameLabel->setText(formatText(kItalianName, {deviceName}));

    mWindow->setWindowTitle(appNameLabel->text());

    // The name on one line in every language: a wrapping label breaks a title of thirty letters
    // into two. Only a name wider than the screen still wraps.
    const int oneLine = QFontMetrics(appNameLabel->font()).horizontalAdvance(appNameLabel->text()) + kTextSlack;
    int room = oneLine;
    if (const QScreen *screen = mWindow->screen()) {
        const QMargins margins = mWindow->layout()->contentsMargins();
        room = screen->availableGeometry().width() - margins.left() - margins.right();
    }
    appNameLabel->setMinimumWidth(std::min(oneLine, room));
}
