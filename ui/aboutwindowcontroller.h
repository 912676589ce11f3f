// The About window: the application's icon, name, version and copyright notice.
#pragma once

#include "platform/resources.h"

#include <QPointer>
#include <QString>

#include <memory>

class QLabel;
class QWidget;

class AboutWindowController
{
public:
    // The one controller of the run, made on first use (also when several threads ask at once)
    // for the resources folder and the language of this run.
    static AboutWindowController &defaultController();

    // The window is not loaded yet: that happens on the first call of window().
    AboutWindowController(Resources resources, QString language);
    virtual ~AboutWindowController();
    AboutWindowController(const AboutWindowController &) = delete;
    AboutWindowController &operator=(const AboutWindowController &) = delete;

    const QString &appName() const { return mAppName; }
    // Only stored: the name label takes the name when the window loads.
    void setAppName(const QString &name) { mAppName = name; }

    // The window, loaded from the layout "AboutWindow" and filled by windowDidLoad on the first call.
    // Like every widget, on the GUI thread only.
    QWidget *window();
    bool isWindowLoaded() const { return mWindow != nullptr; }

    // Brings the window to the front of the others without taking the focus; when it opens, centred
    // over the window it was asked from (when there is one) and moved inside that window's screen.
    void orderFront(const QWidget *over = nullptr);

    // Views of the layout; null until the window is loaded.
    QPointer<QLabel> appNameLabel;
    QPointer<QLabel> appVersionLabel;
    QPointer<QLabel> appCopyrightLabel;
    QPointer<QLabel> appIconImageView;

protected:
    // Runs once, right after the window has been loaded.
    virtual void windowDidLoad();

private:
    Resources mResources;
    QString mLanguage;
    QString mAppName;
    std::unique_ptr<QWidget> mWindow;
};
