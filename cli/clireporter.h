// What lumivex-cli tells: records (a camera, a result) on standard output, as text or as one JSON
// object per line, and human text (notes, the progress bars, the question) on standard error. Safe
// to call from the threads that update cameras side by side: on a terminal each camera being
// written has a progress line of its own, redrawn in place. Text
// from cameras and files is printed escaped, so that it cannot forge a record line or steer the
// terminal.
#pragma once

#include "platform/runhistory.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <cstdio>
#include <map>
#include <mutex>
#include <vector>

class CliReporter
{
public:
    struct Camera
    {
        QString device;   // where it is plugged in
        QString kind;     // "T", "S", "unknown chip" or empty when it could not be asked
        QString product;
        QString installed; // firmware version, 4 hex digits
        QString decision; // "offer", "mismatch", "up to date" or "cannot open"
        QString image;    // the offered image's name and version
        QString offered;
        QString reason;   // what the window would say, or why it cannot be opened
        QString link;     // a mismatch's download page
        QString flash;    // with list --verify: "matches", "differs at 0x...", "no image" or "cannot check"
    };

    CliReporter(bool json, std::FILE *records, std::FILE *notes, bool notesAreTerminal);

    void camera(const Camera &camera);
    // stage: "erasing", "writing", "verifying", "reading"; percent from 0 to 100.
    void progress(const QString &device, const char *stage, double percent);
    // outcome: "verified", "failed", "untouched", "skipped", "not started", "dumped", "restored"; a
    // camera's result also ends its progress line.
    void result(const QString &device, const char *outcome, const QString &reason = {}, const QJsonObject &extra = {});
    // The verify command's finding for one camera: flash as Camera::flash has it.
    void flashCheck(const QString &device, const QString &flash, const QString &reason);
    // One run of the history.
    void history(const RunRecord &record);
    void note(const QString &text);
    // A failure of the command as a whole: the text on standard error and, with --json, an error
    // record on standard output, so that a script reading the records learns of it too.
    void error(int status, const QString &text);

    // The result record as it would be written, for a signal handler that cannot format.
    QByteArray resultRecord(const QString &device, const char *outcome, const QString &reason) const;

    // Where the records go.
    std::FILE *records() const { return mRecords; }

private:
    // What a camera's progress showed last.
    struct Shown
    {
        QString stage;
        int percent = -1;
    };

    // A record takes the progress lines off the terminal, and puts them back after it.
    void write(const QByteArray &record);
    void put(const QByteArray &record);
    QByteArray resultRecord(const QString &device, const char *outcome, const QString &reason,
                            const QJsonObject &extra) const;
    QByteArray format(const QJsonObject &json, const QString &text) const;
    void eraseBars();
    void drawBars();

    const bool mJson;
    std::FILE *const mRecords;
    std::FILE *const mNotes;
    const bool mTerminal;
    std::recursive_mutex mLock;
    std::map<QString, Shown> mShown; // by device
    std::vector<std::pair<QString, QByteArray>> mBars; // on a terminal: each camera's line, in order of first progress
    int mBarsDrawn = 0; // lines of bars on the terminal now, above the cursor
};
