// Construction, destruction and the small accessors of the browser.
#include <iostream>
#include <memory>

#include "browser/BrowserState.h"
#include "common/EBLog.h"
#include "extentbrowse/EBPerfCounters.h"
#include "naming/ConverterForAppType.h"

ExtentBrowseImpl::State::State(ExtentBrowseImpl* owner, BrowserSettings settings,
                               const std::string& browsePath, std::iostream* cacheStream)
    : settings(std::move(settings)),
      converter(
          ConverterForAppType(this->settings.scParams.appType, this->settings.extentNameLength)),
      volumeCtxt(browsePath),
      pages(owner, this->settings, *converter, volumeCtxt),
      cacheStream(cacheStream) {}

ExtentBrowseImpl::ExtentBrowseImpl(SCParams& scParams, const std::string& browsePath,
                                   std::iostream* cacheStream, ExtentBrowseMode mode,
                                   unsigned long long pageSize, int extentNameLength,
                                   bool browseOptionFlag, unsigned int copyPrecedence,
                                   const std::string& maName)
    : converter(nullptr) {
  InitializeEBPerfCounters();
  state.reset(new State(this,
                        BrowserSettings{scParams, std::string(), mode, pageSize, extentNameLength,
                                        browseOptionFlag, copyPrecedence, maName},
                        browsePath, cacheStream));
  converter = state->converter.get();

  if (cacheStream != nullptr && cacheStream->good()) {
    // A cache that cannot be read is no cache: the browser starts empty
    // and browses, instead of failing to exist.
    try {
      state->LoadExtentInfo(EB_HERE);
    } catch (...) {
      EB_LOG_NOTHROW(-1, "Reading the extent info block failed: %s", ThrownText());
      state->cacheComplete = false;
    }
  }

  // Only the records of a complete cache block survive construction.
  if (!state->cacheComplete) {
    CSecWrapper guard(state->volumeCtxt.extentMapLock);
    state->volumeCtxt.extentMap.Clear();
  }
}

ExtentBrowseImpl::~ExtentBrowseImpl() {
  EB_LOG_NOTHROW(4, "ExtentBrowseImpl destructor going to wait for any browse thread to complete.");
  state->ownerRemoved = true;
  state->browseSemaphore.wait();
  state->pages.ReleaseResponseObject();
  EB_LOG_NOTHROW(4, "ExtentBrowseImpl destructor completed");
  state->browseSemaphore.release(1);
  converter = nullptr;
  state->converter.reset();
}

int ExtentBrowseImpl::GetLatestErrorInfo(std::string& text) {
  text = state->latestErrorText;
  return state->latestErrorCode;
}

void ExtentBrowseImpl::SetBackupSetGuid(const std::string& guid) {
  try {
    state->settings.backupSetGuid = guid;
  } catch (...) {
    EB_LOG_NOTHROW(-1, "Setting the backup set GUID failed; requests keep the one they had.");
  }
}
