// The standard streams as a command-line program needs them: records alone on standard output,
// whatever else the code underneath prints there, and whether a person is watching.
#pragma once

#include <cstdio>

namespace Console {

// A stream onto the real standard output, for the program's records; standard output itself then
// goes to standard error (strayLinesToError) or nowhere, so that lines other code prints there
// never mix into the records. A closed reader no longer ends the process (SIGPIPE is ignored).
// Null when the streams cannot be arranged.
std::FILE *takeStandardOutput(bool strayLinesToError);

// Whether the stream is a terminal, where a progress bar may redraw its line.
bool isTerminal(std::FILE *stream);

} // namespace Console
