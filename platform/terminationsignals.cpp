// SIGTERM and SIGHUP handed to the event loop through a socket pair: the handler may only write.
#include "platform/terminationsignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <csignal>

#include <sys/socket.h>
#include <unistd.h>

namespace {

std::atomic<int> gWriteFd = -1;

extern "C" void onTermination(int signal)
{
    const unsigned char byte = static_cast<unsigned char>(signal);
    const int fd = gWriteFd.load();
    // A full pipe already holds a request that the loop will read.
    if (fd >= 0 && ::write(fd, &byte, 1) < 0)
        return;
}

void handle(int signal, void (*handler)(int))
{
    struct sigaction action{};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, mFds) != 0)
        return;
    mNotifier = std::make_unique<QSocketNotifier>(mFds[1], QSocketNotifier::Read);
    connect(mNotifier.get(), &QSocketNotifier::activated, this, &TerminationSignals::readPending);
    gWriteFd = mFds[0];
    handle(SIGTERM, onTermination);
    handle(SIGHUP, onTermination);
}

TerminationSignals::~TerminationSignals()
{
    handle(SIGTERM, SIG_DFL);
    handle(SIGHUP, SIG_DFL);
    gWriteFd = -1;
    mNotifier.reset();
    for (const int fd : mFds) {
        if (fd >= 0)
            ::close(fd);
    }
}

void TerminationSignals::readPending()
{
    unsigned char byte = 0;
    while (::read(mFds[1], &byte, 1) == 1)
        emit requested(byte);
}
