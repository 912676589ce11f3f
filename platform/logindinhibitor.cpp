// Keeps the machine from sleeping or shutting down while a camera's firmware is written: a logind
// inhibitor lock held for as long as the object lives.
#include "platform/logindinhibitor.h"

#include "platform/systemlog.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>

namespace {

constexpr int answerTimeoutMs = 2000;
constexpr const char *logMethod = "Inhibit";
constexpr const char *kSystemBusSocket = "/run/dbus/system_bus_socket";

QString describe(const QDBusError &error)
{
    return QStringLiteral("%1: %2").arg(error.name(), error.message());
}

// The system bus's socket when no address is given: without it there is nothing to connect to,
// and Qt's D-Bus thread is not worth starting to learn so.
bool systemBusMayExist()
{
    return !qEnvironmentVariableIsEmpty("DBUS_SYSTEM_BUS_ADDRESS") || QFileInfo::exists(QString::fromLatin1(kSystemBusSocket));
}

} // namespace

LogindInhibitor::LogindInhibitor(const QString &who, const QString &why)
{
    if (!systemBusMayExist()) {
        systemLogFailure(logMethod, QStringLiteral("no system bus: %1 does not exist").arg(QLatin1String(kSystemBusSocket)));
        mSettled = true;
        return;
    }
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        systemLogFailure(logMethod, describe(bus.lastError()));
        mSettled = true;
        return;
    }
    QDBusMessage request = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    request << QStringLiteral("sleep:shutdown") << who << why << QStringLiteral("block");
    mCall = bus.asyncCall(request, answerTimeoutMs);
    mWatcher = std::make_unique<QDBusPendingCallWatcher>(*mCall);
    // The watcher's context: once the object is gone, an answer still queued is not delivered.
    QObject::connect(mWatcher.get(), &QDBusPendingCallWatcher::finished, mWatcher.get(), [this] { settle(); });
}

LogindInhibitor::~LogindInhibitor()
{
    mWatcher.reset();
    if (mCall && !mCall->isFinished()) {
        // Dropping every handle on the call lets Qt close the descriptor of a late grant as soon
        // as it arrives.
        systemLogFailure(logMethod, QStringLiteral("logind had not answered when the lock was given back"));
        mSettled = true;
    }
    settle();
    mCall.reset();
    // mLock closes the descriptor as it goes, which ends the lock.
}

void LogindInhibitor::waitForAnswer()
{
    if (mCall)
        mCall->waitForFinished();
    settle();
}

bool LogindInhibitor::held()
{
    settle();
    return mLock.isValid();
}

void LogindInhibitor::settle()
{
    if (mSettled || !mCall || !mCall->isFinished())
        return;
    mSettled = true;
    const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *mCall;
    mCall.reset();
    if (reply.isError())
        systemLogFailure(logMethod, describe(reply.error()));
    else
        mLock = reply.value();
}
