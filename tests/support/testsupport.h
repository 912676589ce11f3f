// Helpers shared by the tests: scratch folders, files, and running the GUI thread's queue.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
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

// Captures what the process writes to one of its output streams while it lives: standard error
// carries the system log, standard output the device lines.
class OutputCapture
{
public:
    explicit OutputCapture(std::FILE *stream);
    ~OutputCapture();
    OutputCapture(const OutputCapture &) = delete;
    OutputCapture &operator=(const OutputCapture &) = delete;

    // Everything written so far, and the same as lines.
    QString text();
    QStringList lines() { return text().split(u'\n', Qt::SkipEmptyParts); }

private:
    std::FILE *mStream;
    int mSaved = -1;
    QString mPath;
    QTemporaryDir mDir;
};

struct StderrCapture : OutputCapture { StderrCapture() : OutputCapture(stderr) {} };
struct StdoutCapture : OutputCapture { StdoutCapture() : OutputCapture(stdout) {} };
