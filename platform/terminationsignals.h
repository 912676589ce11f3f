// SIGTERM and SIGHUP for a program with an event loop: the signal is only noted by its handler,
// and the loop hears of it as a Qt signal, so that whoever owns the work can let it finish before
// the program quits (a session logging out, a service manager stopping the program).
#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    // Takes over SIGTERM and SIGHUP for the life of the object; one object at a time.
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

signals:
    // On the thread that made the object, once per signal received.
    void requested(int signal);

private:
    void readPending();

    int mFds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> mNotifier;
};
