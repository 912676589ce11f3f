// lumivex-cli: the updater without a window, for whoever looks after many cameras.
#include "app/usbbusfactory.h"
#include "cli/camerafleet.h"
#include "cli/clioptions.h"
#include "platform/console.h"
#include "platform/devicelog.h"
#include "platform/language.h"
#include "platform/resources.h"
#include "platform/runhistory.h"
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

    const QStringList arguments = app.arguments().mid(1);
    const std::variant<CliOptions, QString> parsed = parseCliArguments(arguments);
    std::FILE *records = Console::recordStream();
    if (const QString *error = std::get_if<QString>(&parsed)) {
        // A script that asked for records gets the error as one as well.
        CliReporter(arguments.contains(QStringLiteral("--json")), records, stderr, false).error(CliExit::BadArguments, *error);
        return CliExit::BadArguments;
    }
    const CliOptions &options = std::get<CliOptions>(parsed);
    if (options.command == CliOptions::Command::Help || options.command == CliOptions::Command::Version) {
        std::fputs(qPrintable(options.command == CliOptions::Command::Help ? cliHelpText() : cliVersionText()), stdout);
        return CliExit::Ok;
    }

    // Standard output carries the records alone: the camera session's diagnostic lines go to
    // standard error with --verbose, else nowhere.
    setDeviceLogStream(options.verbose ? stderr : nullptr);
    CliReporter reporter(options.json, records, stderr, Console::isTerminal(stderr));

    if (options.command == CliOptions::Command::History) {
        // Read as it is: a damaged line is skipped with a word, never fatal.
        const RunHistory::Contents history = RunHistory::read();
        for (const QString &warning : history.warnings)
            reporter.note(QStringLiteral("lumivex-cli: ") + warning);
        for (const RunRecord &record : history.records)
            reporter.history(record);
        return CliExit::Ok;
    }

    UsbBus::setSystem(createUsbBus());
    int status = CliExit::Ok;
    {
        const Resources resources = Resources::locate();
        CameraFleet fleet(UsbBus::system(), resources, reporter);
        switch (options.command) {
        case CliOptions::Command::List:
            status = options.ids ? fleet.listIds() : fleet.list(options.verify);
            break;
        case CliOptions::Command::Update:
            status = fleet.update({options.device, options.all, options.yes, options.allowOlder, options.reinstall,
                                   options.jobs, options.backup},
                                  askOnTerminal);
            break;
        case CliOptions::Command::Verify:
            status = fleet.verify(options.device, options.all);
            break;
        case CliOptions::Command::Dump:
            status = fleet.dump(options.device, options.file);
            break;
        case CliOptions::Command::Restore:
            status = fleet.restore(options.device, options.file, options.force, options.yes, askOnTerminal);
            break;
        case CliOptions::Command::History:
        case CliOptions::Command::Help:
        case CliOptions::Command::Version:
            break;
        }
    }
    UsbBus::setSystem(nullptr);
    std::fflush(records);
    return status;
}
