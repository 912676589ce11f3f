// Ctrl-C in two stages, for a command-line program in the middle of work that must not be cut
// short lightly: the first is only noted (the program finishes what it is doing and starts
// nothing new), the second ends the process at once, after writing what was prepared for that
// moment. SIGTERM and SIGHUP (a service manager, a dropped ssh session) count as Ctrl-C. What either says is prepared beforehand, since a signal handler may only write bytes
// that already exist.
#pragma once

#include <QByteArray>

#include <cstdio>

namespace Interruption {

// Takes over Ctrl-C, SIGTERM and SIGHUP. The abort record goes to records, the notes to standard error; idleNote is
// what a first Ctrl-C says between two pieces of work; the second ends the process with abortStatus.
void install(std::FILE *records, int abortStatus, const QByteArray &idleNote);
// The three signals as before install.
void uninstall();

// True once Ctrl-C has been pressed.
bool requested();

// While the work that must not be cut short runs: the note for the first Ctrl-C, and the record
// and note that the second writes before the process ends.
void setWriting(const QByteArray &firstNote, const QByteArray &abortRecord, const QByteArray &abortNote);
void clearWriting();

} // namespace Interruption
