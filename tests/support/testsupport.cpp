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

OutputCapture::OutputCapture(std::FILE *stream)
    : mStream(stream)
{
    std::fflush(mStream);
    mPath = mDir.filePath(QStringLiteral("output.log"));
    const int fd = ::open(QFile::encodeName(mPath).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    mSaved = ::dup(::fileno(mStream));
    ::dup2(fd, ::fileno(mStream));
    ::close(fd);
}

OutputCapture::~OutputCapture()
{
    std::fflush(mStream);
    ::dup2(mSaved, ::fileno(mStream));
    ::close(mSaved);
}

QString OutputCapture::text()
{
    std::fflush(mStream);
    QFile file(mPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}
