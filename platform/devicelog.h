// The device layer's diagnostic lines ("CameraControl Error: …", "intfNumber: …",
// "ControlRequestTO: …", "Device: …"): on standard output by default, as the window has always
// written them, flushed at once so that they interleave with the log. A command-line program whose
// standard output carries its records sends them to standard error instead, or nowhere.
#pragma once

#include <cstdio>

[[gnu::format(printf, 1, 2)]] void deviceLog(const char *format, ...);

// Where the lines go from now on: a stream, or null for nowhere.
void setDeviceLogStream(std::FILE *stream);
