// The standard streams as a command-line program needs them.
#include "platform/console.h"

#include <fcntl.h>
#include <unistd.h>

namespace Console {

std::FILE *takeStandardOutput(bool strayLinesToError)
{
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
