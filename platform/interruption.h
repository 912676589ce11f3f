// Ctrl-C in two stages, for a command-line program in the middle of work that must not be cut
// short lightly: the first is only noted (the program finishes what it is doing and starts
// nothing new), the second ends the process at once, after writing what was prepared for that
// moment. SIGTERM and SIGHUP (a service manager, a dropped ssh session) count as Ctrl-C. What
// either says is prepared beforehand, since a signal handler may only write bytes that already
// exist.
#pragma once

#include <QByteArray>

#include <cstdio>
#include <vector>

namespace Interruption {

// One piece of the work (a camera), and what a stop at once leaves for it: its record while it
// runs, its record while it waits, and a line for a log file (the history) while it runs.
struct Piece
{
    QByteArray runningRecord;
    QByteArray waitingRecord;
    QByteArray runningLogLine;
};

// Takes over Ctrl-C, SIGTERM and SIGHUP. The abort records go to records, the notes to standard
// error; idleNote is what a first Ctrl-C says while no piece runs; firstNote while some do, and
// abortNote what the second says before it ends the process with abortStatus. The pieces start
// waiting; logFd (or -1) takes the running pieces' log lines.
void install(std::FILE *records, int abortStatus, const QByteArray &idleNote, const QByteArray &firstNote,
             const QByteArray &abortNote, std::vector<Piece> pieces, int logFd = -1);
// The three signals as before install; the pieces are forgotten.
void uninstall();

// True once Ctrl-C has been pressed.
bool requested();

// A piece starts, or is done (its own record is the caller's to write, after this).
void started(size_t piece);
void finished(size_t piece);

} // namespace Interruption
