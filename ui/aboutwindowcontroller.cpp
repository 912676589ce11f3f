// The About window: the application's icon, name, version and copyright notice.
#include "ui/aboutwindowcontroller.h"

#include "ui_aboutwindow.h"

#include "platform/language.h"
#include "text/localization.h"

#include <QCoreApplication>
#include <QDir>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QShortcut>
#include <QWidget>

namespace {

// German and Italian name the application after the device rather than the product.
constexpr char16_t kGermanName[] = u"%@ Firmware Aktualisierung";
constexpr char16_t kItalianName[] = u"Aggiornamenti firmware %@";

constexpr int kIconSize = 128;

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
    // It opens over the window it was asked from; once open, it stays where the user puts it.
    if (over && !w->isVisible()) {
        w->adjustSize();
        QRect placed = w->frameGeometry();
        placed.moveCenter(over->frameGeometry().center());
        w->move(placed.topLeft());
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
}
