// Keeps the machine from sleeping or shutting down while a camera's firmware is written: a logind
// inhibitor lock held for as long as the object lives.
#pragma once

#include <QDBusPendingCall>
#include <QDBusUnixFileDescriptor>
#include <QString>

#include <memory>
#include <optional>

class QDBusPendingCallWatcher;

// Asks logind for a "sleep:shutdown" lock in "block" mode when constructed and gives it back when
// destroyed. The request never holds up the run: it goes out asynchronously and logind has about
// two seconds to answer. When it refuses, is not there, there is no system bus or it does not
// answer in time (or has not answered when the object goes), one system-log line says so and the
// run goes on without the lock. A lock that logind grants after the object is gone is given back
// at once.
//
// Qt receives D-Bus replies on a thread of its own, so the lock is held from the moment logind
// grants it whether or not an event loop runs; the event loop only brings the failure line early.
// The window, whose event loop runs, constructs the object on the GUI thread and leaves it at that.
// The command line writes on its main thread with no event loop running, and wants the lock in
// hand before the first erase: it calls waitForAnswer() right after constructing, which blocks
// for at most the two seconds. Either needs its QCoreApplication or QApplication to exist; use
// the object from one thread only.
//
// The lock is asked for on the system bus that Qt connects to, so DBUS_SYSTEM_BUS_ADDRESS points
// it at another bus.
class LogindInhibitor
{
public:
    // who names the program and why the reason, as logind lists them to the user.
    LogindInhibitor(const QString &who, const QString &why);
    ~LogindInhibitor();

    LogindInhibitor(const LogindInhibitor &) = delete;
    LogindInhibitor &operator=(const LogindInhibitor &) = delete;

    // Blocks until logind has answered or the time allowed for its answer has passed.
    void waitForAnswer();
    // True once logind's lock is in hand.
    bool held();

private:
    // Takes the answer in, once, when it has come: the lock, or the failure line.
    void settle();

    std::optional<QDBusPendingCall> mCall; // until the answer is taken in
    std::unique_ptr<QDBusPendingCallWatcher> mWatcher;
    QDBusUnixFileDescriptor mLock;
    bool mSettled = false;
};
