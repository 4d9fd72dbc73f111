// The tool's manual, printed by `help` and `--help`. Generated at build time
// from manual.txt, which also gives the man page.
#ifndef EXTENTBROWSE_TOOLS_MANUAL_H
#define EXTENTBROWSE_TOOLS_MANUAL_H

#include <iosfwd>

extern const char kManual[];

// The manual as text, or as the JSON object {"manual": ...}.
void PrintManual(std::ostream& out, bool json);

#endif  // EXTENTBROWSE_TOOLS_MANUAL_H
