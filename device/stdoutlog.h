// The device layer's diagnostic lines on standard output ("CameraControl Error: …",
// "intfNumber: …", "ControlRequestTO: …"), flushed at once so that they interleave with the log.
#pragma once

#include <cstdarg>
#include <cstdio>

[[gnu::format(printf, 1, 2)]] inline void stdoutLine(const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    std::fflush(stdout);
}
