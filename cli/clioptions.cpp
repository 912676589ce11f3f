// What lumivex-cli is asked to do.
#include "cli/clioptions.h"

std::variant<CliOptions, QString> parseCliArguments(const QStringList &arguments)
{
    CliOptions options;
    QStringList positional;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == u"--help" || argument == u"-h")
            return CliOptions{};
        if (argument == u"--json")
            options.json = true;
        else if (argument == u"--yes" || argument == u"-y")
            options.yes = true;
        else if (argument == u"--all")
            options.all = true;
        else if (argument == u"--verbose" || argument == u"-v")
            options.verbose = true;
        else if (argument == u"--device" || argument.startsWith(u"--device=")) {
            const bool joined = argument.startsWith(u"--device=");
            if (!joined && i + 1 >= arguments.size())
                return QStringLiteral("--device needs a device id (see lumivex-cli list)");
            options.device = joined ? argument.mid(9) : arguments.at(++i);
            if (options.device.isEmpty())
                return QStringLiteral("--device needs a device id (see lumivex-cli list)");
        } else if (argument.startsWith(u'-') && argument.size() > 1)
            return QStringLiteral("unknown option %1").arg(argument);
        else
            positional << argument;
    }

    const QString command = positional.value(0);
    if (command == u"list" && positional.size() == 1) {
        options.command = CliOptions::Command::List;
        if (options.all || options.yes || !options.device.isEmpty())
            return QStringLiteral("list takes only --json");
    } else if (command == u"update" && positional.size() == 1) {
        options.command = CliOptions::Command::Update;
        if (options.all && !options.device.isEmpty())
            return QStringLiteral("update takes --device or --all, not both");
    } else if (command == u"dump" && positional.size() == 2) {
        options.command = CliOptions::Command::Dump;
        options.file = positional.at(1);
        if (options.device.isEmpty())
            return QStringLiteral("dump needs --device ID");
        if (options.all || options.yes)
            return QStringLiteral("dump takes --device, --json and a file");
    } else if (command.isEmpty()) {
        return QStringLiteral("no command given: list, update or dump (see --help)");
    } else if (command == u"list" || command == u"update" || command == u"dump") {
        return QStringLiteral("%1: wrong number of arguments (see --help)").arg(command);
    } else {
        return QStringLiteral("unknown command %1: list, update or dump (see --help)").arg(command);
    }
    return options;
}

QString cliHelpText()
{
    return QStringLiteral(
        "Usage: lumivex-cli <command> [options]\n"
        "Finds the LUMIVEX cameras attached to this computer and updates their firmware from the\n"
        "catalogue the updater carries, with the same decision and read-back check as the window.\n"
        "\n"
        "Commands:\n"
        "  list [--json]                        every attached camera: device id, kind, product,\n"
        "                                       installed firmware, and what the catalogue offers it\n"
        "  update [--device ID | --all] [--yes] [--json]\n"
        "                                       updates the camera at ID, every camera offered an\n"
        "                                       image (--all), or the only camera attached; asks\n"
        "                                       first unless --yes. Ctrl-C, SIGTERM or SIGHUP once lets\n"
        "                                       the camera being written finish and starts no other;\n"
        "                                       twice stops at once. A camera whose flash part is unknown\n"
        "                                       or too small for the image is left untouched.\n"
        "  dump --device ID [--json] FILE       saves the camera's whole flash in FILE (never\n"
        "                                       overwrites an existing file)\n"
        "\n"
        "Options:\n"
        "  --device ID   a device id as list shows it (bus and port path, e.g. 1-2.4)\n"
        "  --all         every camera of the family\n"
        "  --yes, -y     no confirmation\n"
        "  --json        one JSON object per line on standard output (events camera, progress,\n"
        "                result); the human text goes to standard error\n"
        "  --verbose, -v the camera session's diagnostic lines on standard error\n"
        "  --help, -h    this text\n"
        "\n"
        "Exit status:\n"
        "  0  success: every chosen camera verified, the listing or the dump made\n"
        "  1  failed: a camera did not end verified (could not be opened, was left untouched, or\n"
        "     was not started after Ctrl-C), the dump could not be read or written\n"
        "  2  bad arguments (also: the dump's file exists)\n"
        "  3  nothing to update: no chosen camera is offered an image, or the confirmation was declined\n"
        "  4  no camera of the family at the device id given\n"
        "\n"
        "LUMIVEX_VIRTUAL_CAMERA=<json> runs on virtual cameras instead of the USB bus;\n"
        "LUMIVEX_RESOURCES_DIR names the resources folder, as for the window.\n");
}
