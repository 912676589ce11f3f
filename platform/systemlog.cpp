// The system log: one line per message on standard error, safe from any thread.
#include "platform/systemlog.h"

#include <cstdio>
#include <mutex>

void systemLog(const QString &message)
{
    static std::mutex lock;
    const QByteArray line = message.toUtf8();
    std::lock_guard guard(lock);
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

void systemLogFailure(const char *method, const QString &reason)
{
    systemLog(QStringLiteral("%1 - %2").arg(QString::fromUtf8(method), reason));
}
