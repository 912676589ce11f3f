// The history of update runs, the window's and the command line's: one JSON line per run in
// $XDG_STATE_HOME/lumivex/history.jsonl. Each line goes out in one write(2) on a file opened for
// appending, so two updaters at once never mix their lines and a crash leaves at most a torn last
// line, which the reader skips. A run that may end the process from a signal handler prepares its
// line's bytes beforehand and keeps the file open: writePrepared then only calls write(2).
//
//   const QByteArray bytes = RunHistory::line(record);      // before the run
//   HistoryFile history;                                    // opened before the run, kept
//   ... in the handler: RunHistory::writePrepared(history.fd(), bytes.constData(), bytes.size());
//   ... at the end:     QString why = history.write(RunHistory::line(finished));
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstddef>

struct RunRecord
{
    QString time;        // when the run ended: UTC, ISO 8601 with milliseconds (RunHistory::now())
    QString device;      // where the camera is plugged in, as UsbDeviceInfo::location ("1-2.4")
    QString serial;      // the camera's serial number string; may be empty
    QString product;     // the product as the updater names it ("LUMIVEX T")
    QString fromVersion; // versions as versionText shows them ("0100")
    QString toVersion;
    QString image;       // the image's file name
    QString sha256;      // of the image file's bytes, lower-case hex
    QString result;      // "verified", "failed", or another outcome word ("quit", "removed")
    QString failedStep;  // the device step's name (stepName: "erase"); empty when none failed
    double seconds = 0;
    QString source;      // "window" or "cli"

    bool operator==(const RunRecord &) const = default;
};

namespace RunHistory {

// $XDG_STATE_HOME/lumivex/history.jsonl; ~/.local/state/… when that is unset, empty or relative.
QString path();
// The current time as a record's time.
QString now();

// The record as one compact JSON object and its newline: the bytes that are written.
QByteArray line(const RunRecord &record);

// One prepared line in one write(2), retried only when a signal came before anything was written.
// Async-signal-safe. 0, or the errno (ENOSPC also for a line written in part).
int writePrepared(int fd, const char *bytes, std::size_t size) noexcept;

// Opens the file, writes the line and closes it. Empty, or why it could not.
QString append(const QByteArray &line, const QString &path = RunHistory::path());

// What a history file holds: its records, oldest first, and "<path>:<line>: not a history record,
// skipped" for each line that is not one (a damaged line, a torn last line). A missing file is an
// empty history; one that cannot be read is one warning.
struct Contents
{
    QList<RunRecord> records;
    QStringList warnings;
};
Contents read(const QString &path = RunHistory::path());

} // namespace RunHistory

// The history file held open for appending, for lines written later, possibly from a signal
// handler. Its folders are made (0700) and the file created (0600) when missing.
class HistoryFile
{
public:
    explicit HistoryFile(const QString &path = RunHistory::path());
    ~HistoryFile();
    HistoryFile(const HistoryFile &) = delete;
    HistoryFile &operator=(const HistoryFile &) = delete;

    bool isOpen() const { return mFd >= 0; }
    // Why it could not be opened.
    const QString &error() const { return mError; }
    // For RunHistory::writePrepared; -1 when not open.
    int fd() const { return mFd; }
    // Empty, or why the line could not be written.
    QString write(const QByteArray &line) const;

private:
    int mFd = -1;
    QString mError;
};
