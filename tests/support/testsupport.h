// Helpers shared by the tests: scratch folders, files, and running the GUI thread's queue.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <ostream>

// Readable QString values in test failures.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

// A scratch resources folder that disappears with the test.
class ScratchFolder
{
public:
    ScratchFolder();
    QString path() const { return mDir.path(); }
    QString filePath(const QString &relative) const { return mDir.filePath(relative); }
    // Writes bytes at a path relative to the folder, creating folders on the way.
    void write(const QString &relative, const QByteArray &bytes) const;

private:
    QTemporaryDir mDir;
};

// Runs the GUI thread's queued work until done() holds or timeoutMs passes; returns done().
bool processEventsUntil(const std::function<bool()> &done, int timeoutMs = 5000);

// Runs everything queued on the GUI thread so far, and what that work queues in turn.
void drainMainQueue();

// Captures what is written to standard error while it lives (the system log).
class StderrCapture
{
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;

    // The log lines written so far.
    QStringList lines();

private:
    int mSaved = -1;
    QString mPath;
    QTemporaryDir mDir;
};
