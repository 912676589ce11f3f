// What lumivex-cli is asked to do: the command, its options, and the exit statuses it answers
// with, so that a script can tell "nothing to do" from "failed".
#pragma once

#include <QString>
#include <QStringList>

#include <variant>

namespace CliExit {
constexpr int Ok = 0;              // every camera chosen for writing verified (or the listing, check or dump worked)
constexpr int Failed = 1;          // a camera did not end verified, open or matching, or the dump could not be made
constexpr int BadArguments = 2;    // the command line makes no sense, or the dump's file exists
constexpr int NothingToUpdate = 3; // no camera was chosen for writing (or checking), or the update was declined
constexpr int NoSuchDevice = 4;    // no camera of the family at the --device given
constexpr int NoFirmware = 5;      // the catalogue holds no image for any camera
} // namespace CliExit

struct CliOptions
{
    enum class Command { List, Update, Verify, Dump, Restore, History, Help, Version };

    Command command = Command::Help;
    bool json = false;
    bool yes = false;
    bool all = false;
    bool verbose = false;    // the camera session's own diagnostic lines on standard error
    bool verify = false;     // list: each camera's flash checked against its image
    bool ids = false;        // list: the device ids alone, without opening any camera
    bool allowOlder = false; // update: an image older than the installed firmware is written
    bool reinstall = false;  // update: an image of the installed version is written again
    bool force = false;      // restore: a file without a firmware record is written too
    int jobs = 8;            // update: cameras written at once
    QString backup;          // update: the folder each camera's flash is saved in first
    QString device; // a location such as 1-2.4; empty: not given
    QString file;   // the dump's or the restore's file
};

// Reads the arguments after the program name; a one-line reason when they make no sense.
std::variant<CliOptions, QString> parseCliArguments(const QStringList &arguments);

// Commands, options and exit statuses, for --help.
QString cliHelpText();

// The release, for --version.
QString cliVersionText();
