// The tool's manual, printed by `help` and `--help`. Generated at build time
// from manual.txt, which also gives the man page.
#ifndef EXTENTBROWSE_TOOLS_MANUAL_H
#define EXTENTBROWSE_TOOLS_MANUAL_H

extern const char kManual[];

#endif  // EXTENTBROWSE_TOOLS_MANUAL_H
