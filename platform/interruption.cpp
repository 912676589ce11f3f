// Ctrl-C in two stages, for a command-line program.
#include "platform/interruption.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <memory>

#include <unistd.h>

namespace {

enum PieceState : int { Waiting, Running, Done };

// Everything the handler reads is made before the signals are taken over and stays until they are
// given back; the handler reads the states and writes bytes, nothing else.
struct Prepared
{
    QByteArray idleNote, firstNote, abortNote;
    std::vector<Interruption::Piece> pieces;
    std::unique_ptr<std::atomic<int>[]> states;
    int recordsFd = STDOUT_FILENO;
    int logFd = -1;
    int abortStatus = 1;
};

std::atomic<const Prepared *> gPrepared = nullptr;
std::atomic<int> gPresses = 0;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

void put(int fd, const QByteArray &bytes)
{
    // The process is going anyway: a short or failed write is not worth a second try.
    if (fd < 0 || bytes.isEmpty() || ::write(fd, bytes.constData(), size_t(bytes.size())) < 0)
        return;
}

extern "C" void onInterrupt(int)
{
    const Prepared *prepared = gPrepared.load();
    if (!prepared)
        return;
    const auto running = [&](size_t i) { return prepared->states[i].load() == Running; };
    bool anyRunning = false;
    for (size_t i = 0; i < prepared->pieces.size(); ++i)
        anyRunning = anyRunning || running(i);
    if (gPresses.fetch_add(1) == 0) {
        put(STDERR_FILENO, anyRunning ? prepared->firstNote : prepared->idleNote);
        return;
    }
    if (anyRunning)
        put(STDERR_FILENO, prepared->abortNote);
    for (size_t i = 0; i < prepared->pieces.size(); ++i) {
        const int state = prepared->states[i].load();
        if (state == Running) {
            put(prepared->recordsFd, prepared->pieces[i].runningRecord);
            put(prepared->logFd, prepared->pieces[i].runningLogLine);
        } else if (state == Waiting) {
            put(prepared->recordsFd, prepared->pieces[i].waitingRecord);
        }
    }
    _exit(prepared->abortStatus);
}

// Owned here between install and uninstall; never freed while the handler may read it.
std::unique_ptr<Prepared> gOwned;

} // namespace

namespace Interruption {

void install(std::FILE *records, int abortStatus, const QByteArray &idleNote, const QByteArray &firstNote,
             const QByteArray &abortNote, std::vector<Piece> pieces, int logFd)
{
    auto prepared = std::make_unique<Prepared>();
    prepared->idleNote = idleNote;
    prepared->firstNote = firstNote;
    prepared->abortNote = abortNote;
    prepared->states = std::make_unique<std::atomic<int>[]>(pieces.size());
    for (size_t i = 0; i < pieces.size(); ++i)
        prepared->states[i] = Waiting;
    prepared->pieces = std::move(pieces);
    prepared->recordsFd = fileno(records);
    prepared->logFd = logFd;
    prepared->abortStatus = abortStatus;
    gPresses = 0;
    gOwned = std::move(prepared);
    gPrepared = gOwned.get();

    struct sigaction action{};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESTART; // the work in progress carries on undisturbed
    sigemptyset(&action.sa_mask);
    // One signal at a time: a second arriving while the first is handled waits for it.
    for (const int signal : kSignals)
        sigaddset(&action.sa_mask, signal);
    for (const int signal : kSignals)
        sigaction(signal, &action, nullptr);
}

void uninstall()
{
    for (const int signal : kSignals)
        std::signal(signal, SIG_DFL);
    gPrepared = nullptr;
    gOwned.reset();
}

bool requested()
{
    return gPresses.load() > 0;
}

void started(size_t piece)
{
    if (const Prepared *prepared = gPrepared.load(); prepared && piece < prepared->pieces.size())
        prepared->states[piece] = Running;
}

void finished(size_t piece)
{
    if (const Prepared *prepared = gPrepared.load(); prepared && piece < prepared->pieces.size())
        prepared->states[piece] = Done;
}

} // namespace Interruption
