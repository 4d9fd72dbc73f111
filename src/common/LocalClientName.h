// The client name of this process, for the browse code that compares a
// browse host with it. The same global the public ExtentBrowse.h declares
// for callers, who set it through SetLocalClientName.
#ifndef EXTENTBROWSE_SRC_COMMON_LOCALCLIENTNAME_H
#define EXTENTBROWSE_SRC_COMMON_LOCALCLIENTNAME_H

#include <string>

#include "extentbrowse/Export.h"

// Read without a lock: callers set it before any browser browses.
extern EB_EXPORT std::string gEBLocalClientName;

#endif  // EXTENTBROWSE_SRC_COMMON_LOCALCLIENTNAME_H
