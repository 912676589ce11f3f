// The device layer's diagnostic lines.
#include "platform/devicelog.h"

#include <atomic>
#include <cstdarg>

namespace {

// Standard output until someone chooses: stdout is not a constant to start the variable with.
std::atomic<bool> gChosen = false;
std::atomic<std::FILE *> gStream = nullptr;

} // namespace

void deviceLog(const char *format, ...)
{
    std::FILE *stream = gChosen ? gStream.load() : stdout;
    if (!stream)
        return;
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stream, format, arguments);
    va_end(arguments);
    std::fflush(stream);
}

void setDeviceLogStream(std::FILE *stream)
{
    gStream = stream;
    gChosen = true;
}
