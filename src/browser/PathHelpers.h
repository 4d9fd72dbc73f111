// String helpers of the browser for paths on their way into the index and
// item names on their way out. Internal to the library.
#ifndef EXTENTBROWSE_SRC_BROWSER_PATHHELPERS_H
#define EXTENTBROWSE_SRC_BROWSER_PATHHELPERS_H

#include <string>

#include "extentbrowse/SCParams.h"

// Puts a browse path in the form the index expects for the application
// type: virtual-server paths use backslashes. False when `params` is null.
bool TransformPath(std::string& path, const SCParams* params);

// The extent name in an item name returned by the index: everything after
// the first 0x12 byte, or the whole name when it holds none.
void GetRealName(const std::string& itemName, std::string& realName);

#endif  // EXTENTBROWSE_SRC_BROWSER_PATHHELPERS_H
