// The `stats` command: the library's counters and the index's browse count.
#ifndef EXTENTBROWSE_TOOLS_STATS_H
#define EXTENTBROWSE_TOOLS_STATS_H

#include <iosfwd>

// Prints the library's counters (which it writes through the log writer)
// and the number of browse requests the index received, as text or as one
// JSON object.
void PrintStats(std::ostream& out, bool json);

#endif  // EXTENTBROWSE_TOOLS_STATS_H
