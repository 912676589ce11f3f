// The standard streams as a command-line program needs them.
#include "platform/console.h"

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace Console {

std::FILE *takeStandardOutput(bool strayLinesToError)
{
    // A reader that goes away (a pager closed, `| head`) must not end the program in the middle
    // of writing a camera: records that cannot be written are lost, the exit status still tells.
    std::signal(SIGPIPE, SIG_IGN);
    std::fflush(stdout);
    const int records = dup(STDOUT_FILENO);
    const int strays = strayLinesToError ? STDERR_FILENO : open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (records < 0 || strays < 0 || dup2(strays, STDOUT_FILENO) < 0)
        return nullptr;
    if (!strayLinesToError)
        close(strays);
    return fdopen(records, "w");
}

bool isTerminal(std::FILE *stream)
{
    return isatty(fileno(stream)) == 1;
}

} // namespace Console
