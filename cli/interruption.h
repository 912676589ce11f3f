// Ctrl-C while cameras are being updated: the first lets the camera being written finish and
// starts no other; the second stops at once, after reporting that camera failed. What either
// says is prepared beforehand, since a signal handler may only write bytes that exist.
#pragma once

#include <QByteArray>

namespace Interruption {

// Takes over Ctrl-C; records go to the file descriptor given, the notes to standard error.
void install(int recordsFd);
// Ctrl-C as before install.
void uninstall();

// True once Ctrl-C has been pressed.
bool requested();

// While a camera is written: the note for the first Ctrl-C, and the record and note that the
// second writes before the process ends with the status for "failed".
void setWriting(const QByteArray &firstNote, const QByteArray &abortRecord, const QByteArray &abortNote);
void clearWriting();

} // namespace Interruption
