// The narrated session of `extent-browse demo` on the bundled sample.
#ifndef EXTENTBROWSE_TOOLS_DEMO_H
#define EXTENTBROWSE_TOOLS_DEMO_H

#include <iosfwd>

#include "Options.h"

// Runs the demo on its own browsers and returns the exit status. The index
// options of `options` (protocol, delivery, faults) apply.
int RunDemo(const char* argv0, const Options& options, std::ostream& out);

#endif  // EXTENTBROWSE_TOOLS_DEMO_H
