// Helpers shared by the tests: scratch folders, files, and running the GUI thread's queue.
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

ScratchFolder::ScratchFolder() = default;

void ScratchFolder::write(const QString &relative, const QByteArray &bytes) const
{
    const QString path = filePath(relative);
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

bool processEventsUntil(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return done();
}

void drainMainQueue()
{
    // Work queued by queued work lands behind it: a few rounds reach the end of any chain.
    for (int round = 0; round < 8; ++round)
        QCoreApplication::sendPostedEvents();
}

StderrCapture::StderrCapture()
{
    std::fflush(stderr);
    mPath = mDir.filePath(QStringLiteral("stderr.log"));
    const int fd = ::open(QFile::encodeName(mPath).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    mSaved = ::dup(STDERR_FILENO);
    ::dup2(fd, STDERR_FILENO);
    ::close(fd);
}

StderrCapture::~StderrCapture()
{
    std::fflush(stderr);
    ::dup2(mSaved, STDERR_FILENO);
    ::close(mSaved);
}

QStringList StderrCapture::lines()
{
    std::fflush(stderr);
    QFile file(mPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
