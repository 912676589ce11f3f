// The standard streams as a command-line program needs them: records on standard output, and
// whether a person is watching.
#pragma once

#include <cstdio>

namespace Console {

// Standard output as the stream of the program's records: a reader that goes away (a pager closed,
// `| head`) no longer ends the process in the middle of writing a camera (SIGPIPE is ignored);
// the records it does not read are lost, and the exit status still tells.
std::FILE *recordStream();

// Whether the stream is a terminal, where a progress bar may redraw its line.
bool isTerminal(std::FILE *stream);

} // namespace Console
