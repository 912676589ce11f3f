// What lumivex-cli tells: records (a camera, a result) on standard output, as text or as one JSON
// object per line, and human text (notes, the progress bar, the question) on standard error. Text
// from cameras and files is printed escaped, so that it cannot forge a record line or steer the
// terminal.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <cstdio>

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
    // outcome: "verified", "failed", "untouched", "not started", "dumped".
    void result(const QString &device, const char *outcome, const QString &reason = {}, const QJsonObject &extra = {});
    // The verify command's finding for one camera: flash as Camera::flash has it.
    void flashCheck(const QString &device, const QString &flash, const QString &reason);
    void note(const QString &text);
    // A failure of the command as a whole: the text on standard error and, with --json, an error
    // record on standard output, so that a script reading the records learns of it too.
    void error(int status, const QString &text);

    // The result record as it would be written, for a signal handler that cannot format.
    QByteArray resultRecord(const QString &device, const char *outcome, const QString &reason) const;

    // Where the records go.
    std::FILE *records() const { return mRecords; }

private:
    // A record ends any progress line on the terminal first; progress records themselves do not.
    void write(const QByteArray &record);
    void put(const QByteArray &record);
    QByteArray resultRecord(const QString &device, const char *outcome, const QString &reason,
                            const QJsonObject &extra) const;
    QByteArray format(const QJsonObject &json, const QString &text) const;
    void endProgressLine();

    bool mJson;
    std::FILE *mRecords;
    std::FILE *mNotes;
    bool mTerminal;
    QString mProgressStage; // the stage the progress shown belongs to
    int mProgressShown = -1;
    bool mBarOpen = false;
};
