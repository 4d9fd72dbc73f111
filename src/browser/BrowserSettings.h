// What a browser was built with, as its browses read it.
#ifndef EXTENTBROWSE_SRC_BROWSER_BROWSERSETTINGS_H
#define EXTENTBROWSE_SRC_BROWSER_BROWSERSETTINGS_H

#include <string>

#include "extentbrowse/ExtentBrowseTypes.h"
#include "extentbrowse/SCParams.h"

// Set at construction; the backup set GUID by SetBackupSetGuid, before
// lookups browse. Read by browses on the calling thread.
struct BrowserSettings {
  SCParams scParams;
  std::string backupSetGuid;
  ExtentBrowseMode mode;  // stored for the caller; nothing reads it
  unsigned long long pageSize;
  int extentNameLength;
  bool browseOptionFlag;
  unsigned int copyPrecedence;
  std::string maName;
};

#endif  // EXTENTBROWSE_SRC_BROWSER_BROWSERSETTINGS_H
