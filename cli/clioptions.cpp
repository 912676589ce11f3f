// What lumivex-cli is asked to do.
#include "cli/clioptions.h"

#include <QFileInfo>

#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>

namespace {

struct Flag
{
    const char16_t *longName;
    const char16_t *shortName;
    bool CliOptions::*field;
};

constexpr Flag kFlags[] = {
    {u"--json", nullptr, &CliOptions::json},
    {u"--yes", u"-y", &CliOptions::yes},
    {u"--all", nullptr, &CliOptions::all},
    {u"--verbose", u"-v", &CliOptions::verbose},
    {u"--verify", nullptr, &CliOptions::verify},
    {u"--ids", nullptr, &CliOptions::ids},
    {u"--allow-older", nullptr, &CliOptions::allowOlder},
    {u"--reinstall", nullptr, &CliOptions::reinstall},
    {u"--force", nullptr, &CliOptions::force},
};

// The options each command accepts beside --json and --verbose.
struct CommandRule
{
    const char16_t *name;
    CliOptions::Command command;
    int files;
    bool device, all, yes, verify, ids, writing, force;
};

constexpr CommandRule kCommands[] = {
    {u"list", CliOptions::Command::List, 0, false, false, false, true, true, false, false},
    {u"update", CliOptions::Command::Update, 0, true, true, true, false, false, true, false},
    {u"verify", CliOptions::Command::Verify, 0, true, true, false, false, false, false, false},
    {u"dump", CliOptions::Command::Dump, 1, true, false, false, false, false, false, false},
    {u"restore", CliOptions::Command::Restore, 1, true, false, true, false, false, false, true},
    {u"history", CliOptions::Command::History, 0, false, false, false, false, false, false, false},
};

// The value of an option given as "--name value" or "--name=value", moving i past it; nothing when
// the argument is another; an empty value when it is missing.
std::optional<QString> valueOf(const QStringList &arguments, qsizetype &i, QStringView name)
{
    const QString &argument = arguments.at(i);
    if (argument.startsWith(name) && argument.size() > name.size() && argument.at(name.size()) == u'=')
        return argument.mid(name.size() + 1);
    if (argument != name)
        return std::nullopt;
    return i + 1 < arguments.size() ? arguments.at(++i) : QString();
}

} // namespace

std::variant<CliOptions, QString> parseCliArguments(const QStringList &arguments)
{
    CliOptions options;
    QStringList positional;
    bool jobsGiven = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == u"--help" || argument == u"-h")
            return CliOptions{};
        if (argument == u"--version") {
            options.command = CliOptions::Command::Version;
            return options;
        }
        const auto flag = std::find_if(std::begin(kFlags), std::end(kFlags), [&](const Flag &f) {
            return argument == f.longName || (f.shortName && argument == f.shortName);
        });
        if (flag != std::end(kFlags)) {
            options.*(flag->field) = true;
        } else if (const std::optional<QString> device = valueOf(arguments, i, u"--device")) {
            options.device = *device;
            if (options.device.isEmpty())
                return QStringLiteral("--device needs a device id (see lumivex-cli list)");
        } else if (const std::optional<QString> jobs = valueOf(arguments, i, u"--jobs")) {
            bool number = false;
            options.jobs = jobs->toInt(&number);
            if (!number || options.jobs < 1)
                return QStringLiteral("--jobs needs a number of cameras, 1 or more");
            jobsGiven = true;
        } else if (const std::optional<QString> backup = valueOf(arguments, i, u"--backup")) {
            options.backup = *backup;
            if (options.backup.isEmpty())
                return QStringLiteral("--backup needs a folder");
        } else if (argument.startsWith(u'-') && argument.size() > 1) {
            return QStringLiteral("unknown option %1").arg(argument);
        } else {
            positional << argument;
        }
    }

    const QString command = positional.value(0);
    if (command.isEmpty())
        return QStringLiteral("no command given: list, update, verify, dump, restore or history (see --help)");
    const auto rule = std::find_if(std::begin(kCommands), std::end(kCommands),
                                   [&](const CommandRule &r) { return command == r.name; });
    if (rule == std::end(kCommands))
        return QStringLiteral("unknown command %1: list, update, verify, dump, restore or history (see --help)").arg(command);
    if (positional.size() != 1 + rule->files)
        return QStringLiteral("%1: wrong number of arguments (see --help)").arg(command);
    const std::pair<bool, const char *> given[] = {
        {!options.device.isEmpty() && !rule->device, "--device"}, {options.all && !rule->all, "--all"},
        {options.yes && !rule->yes, "--yes"}, {options.verify && !rule->verify, "--verify"},
        {options.ids && !rule->ids, "--ids"}, {options.allowOlder && !rule->writing, "--allow-older"},
        {options.reinstall && !rule->writing, "--reinstall"}, {options.force && !rule->force, "--force"},
        {jobsGiven && !rule->writing, "--jobs"}, {!options.backup.isEmpty() && !rule->writing, "--backup"}};
    for (const auto &[wrong, name] : given) {
        if (wrong)
            return QStringLiteral("%1 does not take %2 (see --help)").arg(command, QLatin1String(name));
    }
    options.command = rule->command;
    if (options.all && !options.device.isEmpty())
        return QStringLiteral("%1 takes --device or --all, not both").arg(command);
    if (options.ids && options.verify)
        return QStringLiteral("list takes --ids or --verify, not both");
    if (rule->files > 0) {
        options.file = positional.at(1);
        if (options.device.isEmpty())
            return QStringLiteral("%1 needs --device ID").arg(command);
        if (options.file == u"-")
            return QStringLiteral("%1 takes a file, not standard %2: name one").arg(command, rule->command == CliOptions::Command::Dump ? u"output" : u"input");
    }
    if (!options.backup.isEmpty() && !QFileInfo(options.backup).isDir())
        return QStringLiteral("--backup %1: no such folder").arg(options.backup);
    return options;
}

QString cliVersionText()
{
    return QStringLiteral("lumivex-cli %1\n").arg(QStringLiteral(LUMIVEX_VERSION));
}

QString cliHelpText()
{
    return QStringLiteral(
        "Usage: lumivex-cli <command> [options]\n"
        "Finds the LUMIVEX cameras attached to this computer and updates their firmware from the\n"
        "catalogue the updater carries, with the same identification and read-back check as the window.\n"
        "\n"
        "Commands:\n"
        "  list [--verify | --ids] [--json]     every attached camera: device id, kind, product,\n"
        "                                       installed firmware, and what the catalogue offers it;\n"
        "                                       --verify also reads each camera's flash back against\n"
        "                                       its image; --ids prints the device ids alone, without\n"
        "                                       opening any camera\n"
        "  update [--device ID | --all] [--jobs N] [--backup DIR] [--yes] [--allow-older]\n"
        "         [--reinstall] [--json]\n"
        "                                       updates the camera at ID, every camera (--all), or the\n"
        "                                       only camera attached, side by side (--jobs, default every\n"
        "                                       chosen camera, at most 8); asks first unless --yes.\n"
        "                                       Ctrl-C, SIGTERM or SIGHUP once lets the cameras being\n"
        "                                       written finish and starts no other; twice stops at once.\n"
        "                                       A camera whose flash part is unknown or too small for\n"
        "                                       the image is left untouched. --backup saves each\n"
        "                                       camera's whole flash in DIR/<device-id>-<version>-<time>.bin\n"
        "                                       first, and leaves a camera whose backup failed untouched.\n"
        "  verify [--device ID | --all] [--json]\n"
        "                                       reads each camera's flash back over the range an update\n"
        "                                       writes and checks: \"matches\", \"differs at 0x...\", or\n"
        "                                       \"no image\" when the catalogue offers it none\n"
        "  dump --device ID [--json] FILE       saves the camera's whole flash in FILE (never\n"
        "                                       overwrites an existing file)\n"
        "  restore --device ID [--force] [--yes] [--json] FILE\n"
        "                                       writes a dump back through the update's write sequence\n"
        "                                       and read-back; a file larger than the flash part is\n"
        "                                       refused, and one without a firmware record unless --force\n"
        "  history [--json]                     every update run of this user, window and command line:\n"
        "                                       when, which camera (device id, serial), from which\n"
        "                                       version to which, the image and its SHA-256, the result\n"
        "                                       and the step that failed, how long it took. Kept in\n"
        "                                       $XDG_STATE_HOME/lumivex/history.jsonl (default\n"
        "                                       ~/.local/state/lumivex/history.jsonl)\n"
        "\n"
        "Which cameras update writes (on purpose stricter than the window, which offers any image of\n"
        "the camera's kind to the person who sees both versions):\n"
        "  installed older than the image           written\n"
        "  same version, the flash matches          skipped: up to date (--reinstall writes it)\n"
        "  same version, the flash differs          written again (a reinstall)\n"
        "  installed newer than the image           skipped with the reason; --allow-older writes it\n"
        "                                           (a downgrade, named so in the question and record)\n"
        "\n"
        "Options:\n"
        "  --device ID     a device id as list shows it (bus and port path, e.g. 1-2.4)\n"
        "  --all           every camera of the family\n"
        "  --yes, -y       no confirmation\n"
        "  --allow-older   update: writes an image older than the installed firmware\n"
        "  --reinstall     update: writes an image of the installed version again\n"
        "  --jobs N        update: at most N cameras written at once (default 8)\n"
        "  --backup DIR    update: each camera's whole flash saved in DIR before it is written\n"
        "  --force         restore: writes a file that holds no firmware record\n"
        "  --verify        list: each camera's flash checked against its image\n"
        "  --ids           list: the device ids alone, one per line, without opening a camera\n"
        "  --json          one JSON object per line on standard output (events camera, progress,\n"
        "                  result, verify, history, error); the human text goes to standard error\n"
        "  --verbose, -v   the camera session's diagnostic lines on standard error\n"
        "  --version       the release\n"
        "  --help, -h      this text\n"
        "\n"
        "Exit status:\n"
        "  0  success: every camera chosen for writing verified (skipped ones do not count), every\n"
        "     camera checked matches, the listing or the dump made, the restore verified\n"
        "  1  failed: a camera did not end verified (could not be opened, was left untouched, or was\n"
        "     not started after Ctrl-C), a camera's flash differs, the dump could not be made\n"
        "  2  bad arguments (also: the dump's file exists)\n"
        "  3  nothing to do: no camera was chosen for writing or had an image to check, or the\n"
        "     confirmation was declined\n"
        "  4  no camera of the family at the device id given\n"
        "  5  no firmware in the catalogue: the updater carries no image for any camera\n"
        "\n"
        "LUMIVEX_VIRTUAL_CAMERA=<json> runs on virtual cameras instead of the USB bus;\n"
        "LUMIVEX_RESOURCES_DIR names the resources folder, as for the window.\n");
}
