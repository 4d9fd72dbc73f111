// Why a browse failed, in the tool's words.
//
// The library says why at log level -1, which the tool does not show unless
// asked. The tool's log writer keeps those lines, and what the command line
// told the index to do names the rest.
#ifndef EXTENTBROWSE_TOOLS_BROWSEFAILURE_H
#define EXTENTBROWSE_TOOLS_BROWSEFAILURE_H

#include <string>

#include "Options.h"

// Installs the tool's log writer in g_ptrLogWriter: the library's lines up
// to `level` on stderr when `show` (none otherwise), and its failure lines
// kept for WhyBrowseFailed either way. Call before the first browser is
// built.
void InstallToolLogWriter(bool show, int level);

// Forgets the failure lines kept so far; call before a call that may
// browse.
void ForgetBrowseFailures();

// Why the browses since ForgetBrowseFailures failed. `extent` is the extent
// a lookup asked for, or null for an enumeration.
std::string WhyBrowseFailed(const Options& options, const unsigned long long* extent);

#endif  // EXTENTBROWSE_TOOLS_BROWSEFAILURE_H
