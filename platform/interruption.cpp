// Ctrl-C in two stages, for a command-line program.
#include "platform/interruption.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <cstring>

#include <unistd.h>

namespace {

// Room for a note or the records of a stop at once (one per camera not finished); longer ones
// are cut, which a note survives.
using Text = std::array<char, 32768>;

Text gIdleNote, gFirstNote, gAbortRecord, gAbortNote;
std::atomic<bool> gWriting = false;
std::atomic<int> gPresses = 0;
std::atomic<int> gRecordsFd = STDOUT_FILENO;
std::atomic<int> gAbortStatus = 1;
constexpr std::array kSignals = {SIGINT, SIGTERM, SIGHUP};

void store(Text &text, const QByteArray &bytes)
{
    const size_t n = std::min(text.size() - 1, size_t(bytes.size()));
    std::memcpy(text.data(), bytes.constData(), n);
    text[n] = '\0';
}

void put(int fd, const char *text)
{
    // The process is going anyway: a short or failed write is not worth a second try.
    if (::write(fd, text, std::strlen(text)) < 0)
        return;
}

extern "C" void onInterrupt(int)
{
    const bool writing = gWriting.load();
    if (gPresses.fetch_add(1) == 0) {
        put(STDERR_FILENO, writing ? gFirstNote.data() : gIdleNote.data());
        return;
    }
    if (writing) {
        put(STDERR_FILENO, gAbortNote.data());
        put(gRecordsFd.load(), gAbortRecord.data());
    }
    _exit(gAbortStatus.load());
}

} // namespace

namespace Interruption {

void install(std::FILE *records, int abortStatus, const QByteArray &idleNote)
{
    store(gIdleNote, idleNote);
    gRecordsFd = fileno(records);
    gAbortStatus = abortStatus;
    gPresses = 0;
    struct sigaction action{};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESTART; // the work in progress carries on undisturbed
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals)
        sigaction(signal, &action, nullptr);
}

void uninstall()
{
    for (const int signal : kSignals)
        std::signal(signal, SIG_DFL);
}

bool requested()
{
    return gPresses.load() > 0;
}

void setWriting(const QByteArray &firstNote, const QByteArray &abortRecord, const QByteArray &abortNote)
{
    gWriting = false;
    store(gFirstNote, firstNote);
    store(gAbortRecord, abortRecord);
    store(gAbortNote, abortNote);
    gWriting = true;
}

void clearWriting()
{
    gWriting = false;
}

} // namespace Interruption
