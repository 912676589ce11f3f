// Text from a file name, a camera or a catalogue, made safe to print on one line of a terminal or
// a log: a name holding a line feed must not forge a record line, nor an escape sequence colour
// the terminal.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Control characters (C0, DEL, C1), line and paragraph separators and the invisible format
// characters (bidirectional overrides among them) as \n, \t, \r, \xNN or \uNNNN; a backslash as
// \\, so that an escape read back is never the name's own text.
QString printable(QStringView text);

// Bytes that should be UTF-8, such as a file name on disk: the valid sequences as printable()
// shows them, each byte of an invalid one as \xNN.
QString printableBytes(QByteArrayView bytes);
