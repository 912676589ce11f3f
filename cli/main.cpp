// lumivex-cli: the updater without a window, for whoever looks after many cameras.
#include "app/usbbusfactory.h"
#include "cli/camerafleet.h"
#include "cli/clioptions.h"
#include "platform/console.h"
#include "platform/devicelog.h"
#include "platform/language.h"
#include "platform/resources.h"
#include "text/localization.h"

#include <QCoreApplication>

#include <cstdio>
#include <iostream>
#include <string>
#include <variant>

namespace {

bool askOnTerminal(const QString &question)
{
    std::fprintf(stderr, "%s\nProceed? [y/N] ", qPrintable(question));
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer))
        return false;
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumivex-cli"));
    installStringTables(app, languageCode());

    const std::variant<CliOptions, QString> parsed = parseCliArguments(app.arguments().mid(1));
    if (const QString *error = std::get_if<QString>(&parsed)) {
        std::fprintf(stderr, "lumivex-cli: %s\n", qPrintable(*error));
        return CliExit::BadArguments;
    }
    const CliOptions &options = std::get<CliOptions>(parsed);
    if (options.command == CliOptions::Command::Help) {
        std::fputs(qPrintable(cliHelpText()), stdout);
        return CliExit::Ok;
    }

    // Standard output carries the records alone: the camera session's diagnostic lines go to
    // standard error with --verbose, else nowhere.
    setDeviceLogStream(options.verbose ? stderr : nullptr);
    std::FILE *records = Console::recordStream();
    CliReporter reporter(options.json, records, stderr, Console::isTerminal(stderr));

    UsbBus::setSystem(createUsbBus());
    int status = CliExit::Ok;
    {
        const Resources resources = Resources::locate();
        CameraFleet fleet(UsbBus::system(), resources, reporter);
        switch (options.command) {
        case CliOptions::Command::List:
            status = fleet.list();
            break;
        case CliOptions::Command::Update:
            status = fleet.update(options.device, options.all, options.yes, askOnTerminal);
            break;
        case CliOptions::Command::Dump:
            status = fleet.dump(options.device, options.file);
            break;
        case CliOptions::Command::Help:
            break;
        }
    }
    UsbBus::setSystem(nullptr);
    std::fflush(records);
    return status;
}
