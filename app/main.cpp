// Program entry: the application loop, the main window and its controller.
#include "app/appdelegate.h"
#include "platform/language.h"
#include "platform/resources.h"
#include "app/usbbusfactory.h"
#include "platform/terminationsignals.h"
#include "text/localization.h"
#include "ui/mainwindow.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

constexpr const char kHelpText[] =
    "Usage: lumivex-updater [--help | --version]\n"
    "Updates the firmware of a LUMIVEX camera attached to this computer, in one window: it waits for\n"
    "the camera, shows the installed firmware beside the one it carries, and on Update writes the\n"
    "new firmware and reads it back. Other arguments are ignored.\n"
    "For several cameras at once, scripts, or a computer without a desktop, use lumivex-cli.\n"
    "\n"
    "Options:\n"
    "  --version   the release\n"
    "  --help, -h  this text\n"
    "\n"
    "Environment:\n"
    "  LUMIVEX_RESOURCES_DIR   the resources folder (Info.json, Opt/ images, the catalogue) instead\n"
    "                          of ../share/lumivex-updater/ beside the program\n"
    "  LUMIVEX_VIRTUAL_CAMERA  a JSON file of virtual cameras, used instead of the USB bus\n"
    "  XDG_STATE_HOME          the run history is kept in $XDG_STATE_HOME/lumivex/history.jsonl\n"
    "                          (default ~/.local/state/lumivex/history.jsonl)\n";

// Answered before the application object exists: no display, no USB bus, no string tables needed.
bool answeredFromArguments(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelpText, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("lumivex-updater " LUMIVEX_VERSION "\n", stdout);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    if (answeredFromArguments(argc, argv))
        return 0;
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
