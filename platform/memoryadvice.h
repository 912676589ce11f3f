// Hints to the operating system about how a large buffer will be used.
#pragma once

#include <cstddef>

// Asks for the buffer to be backed by huge pages where the system offers them: a buffer that is
// filled once from end to end then takes a few page faults instead of thousands. Does nothing
// where there is no such thing, or for the parts of the buffer that do not fill a whole huge page.
void adviseHugePages(void *data, std::size_t size);
