// Program entry: the application loop, the main window and its controller.
#include "app/appdelegate.h"
#include "platform/language.h"
#include "platform/resources.h"
#include "app/usbbusfactory.h"
#include "platform/terminationsignals.h"
#include "text/localization.h"
#include "ui/mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    installStringTables(app, languageCode());
    // The real bus, or the virtual cameras while LUMIVEX_VIRTUAL_CAMERA is set.
    UsbBus::setSystem(createUsbBus());

    MainWindow window;
    AppDelegate delegate(window, Resources::locate());
    delegate.awakeFromNib();

    QApplication::setQuitOnLastWindowClosed(delegate.applicationShouldTerminateAfterLastWindowClosed());
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::applicationWillTerminate);

    // A logout or a service manager asks with a signal: a run that writes finishes first.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::requested, &delegate, &AppDelegate::terminationRequested);

    window.show();
    delegate.applicationDidFinishLaunching();
    const int status = app.exec();
    // The bus's event thread and timers end with the application loop.
    UsbBus::setSystem(nullptr);
    return status;
}
