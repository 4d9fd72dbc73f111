// What a browser holds, behind the one pointer its public class keeps:
// its converter, its settings, its extent map and flags, the page browse,
// the extent-info cache stream, the enumeration and the browse turn.
#ifndef EXTENTBROWSE_SRC_BROWSER_BROWSERSTATE_H
#define EXTENTBROWSE_SRC_BROWSER_BROWSERSTATE_H

#include <atomic>
#include <ios>
#include <iosfwd>
#include <memory>
#include <string>

#include "browser/BrowserSettings.h"
#include "browser/PageBrowse.h"
#include "common/EBLog.h"
#include "common/VolumeCtxt.h"
#include "extentbrowse/EBExtentNameConverter.h"
#include "extentbrowse/ExtentBrowseImpl.h"
#include "extentbrowse/ZelSync.h"

// Hidden, though its class is exported: nothing outside the library names it.
struct __attribute__((visibility("hidden"))) ExtentBrowseImpl::State {
  State(ExtentBrowseImpl* owner, BrowserSettings settings, const std::string& browsePath,
        std::iostream* cacheStream);

  // Seeds the map from the cache stream; a block it ignores is said at
  // `site`, the constructor's. Extent-info cache.
  void LoadExtentInfo(const LogSite& site);

  BrowserSettings settings;
  std::unique_ptr<EBExtentNameConverter> converter;
  VolumeCtxt volumeCtxt;
  PageBrowse pages;

  // The extent-info cache: the caller's stream, not owned, and where the
  // block read from it began.
  std::iostream* const cacheStream;
  std::streampos cacheStartPos = 0;
  bool cacheComplete = false;

  // The enumeration's cursor is the next extent number to hand out, found
  // again at each step: a B-tree iterator would not survive a record
  // inserted in between, as a lookup on the enumerating thread may do.
  bool enumerationDone = false;
  unsigned long long enumCursor = 0;
  bool enumEnded = true;  // the last extent has been handed out

  int latestErrorCode = 0;
  std::string latestErrorText;

  std::atomic<bool> ownerRemoved{false};  // written by the destructor
  ZelSemaphore browseSemaphore{1};
};

#endif  // EXTENTBROWSE_SRC_BROWSER_BROWSERSTATE_H
