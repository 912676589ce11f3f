// Ctrl-C while cameras are being updated.
#include "cli/interruption.h"

#include "cli/clioptions.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <cstring>

#include <unistd.h>

namespace {

// Room for a note or a record; longer ones are cut, which a note survives.
using Text = std::array<char, 1024>;

Text gFirstNote, gAbortRecord, gAbortNote;
std::atomic<bool> gWriting = false;
std::atomic<int> gPresses = 0;
std::atomic<int> gRecordsFd = STDOUT_FILENO;
constexpr char kIdleNote[] = "\nInterrupted: no further camera is started.\n";

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
        put(STDERR_FILENO, writing ? gFirstNote.data() : kIdleNote);
        return;
    }
    if (writing) {
        put(STDERR_FILENO, gAbortNote.data());
        put(gRecordsFd.load(), gAbortRecord.data());
    }
    _exit(CliExit::Failed);
}

} // namespace

namespace Interruption {

void install(int recordsFd)
{
    gRecordsFd = recordsFd;
    gPresses = 0;
    struct sigaction action{};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESTART; // the camera's transfers carry on undisturbed
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

void uninstall()
{
    std::signal(SIGINT, SIG_DFL);
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
