// The standard streams as a command-line program needs them.
#include "platform/console.h"

#include <csignal>

#include <unistd.h>

namespace Console {

std::FILE *recordStream()
{
    std::signal(SIGPIPE, SIG_IGN);
    return stdout;
}

bool isTerminal(std::FILE *stream)
{
    return isatty(fileno(stream)) == 1;
}

} // namespace Console
