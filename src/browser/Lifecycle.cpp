// Construction, destruction and the small accessors of the browser.
#include <iostream>
#include <memory>

#include "IdxBrowseClient.h"
#include "browser/TdfsIdxBrowseClientResp.h"
#include "common/EBLog.h"
#include "extentbrowse/EBExtentNameConverter.h"
#include "extentbrowse/EBPerfCounters.h"
#include "extentbrowse/ExtentBrowseImpl.h"
#include "naming/ConverterForAppType.h"

ExtentBrowseImpl::ExtentBrowseImpl(SCParams& scParams, const std::string& browsePath,
                                   std::iostream* cacheStream, ExtentBrowseMode mode,
                                   unsigned long long pageSize, int extentNameLength,
                                   bool browseOptionFlag, unsigned int copyPrecedence,
                                   const std::string& maName)
    : converter(nullptr),
      extentNameLength(extentNameLength),
      enumerationDone(false),
      enumCursor(0),
      enumEnded(true),
      scParams(scParams),
      mode(mode),
      pageSize(pageSize),
      volumeCtxt(browsePath),
      cacheComplete(false),
      cacheStream(cacheStream),
      cacheStartPos(0),
      latestErrorCode(0),
      browseOptionFlag(browseOptionFlag),
      ownerRemoved(false),
      browseSemaphore(1),
      copyPrecedence(copyPrecedence),
      maName(maName),
      browseResp(nullptr),
      itemNameRead(false) {
  InitializeEBPerfCounters();

  // Both are owned by the browser only once both exist, so that a failure
  // while making the second frees the first.
  std::unique_ptr<TdfsIdxBrowseClientResp> response(new TdfsIdxBrowseClientResp(this));
  std::unique_ptr<EBExtentNameConverter> chosen(
      ConverterForAppType(scParams.appType, extentNameLength));
  browseResp = response.release();
  converter = chosen.release();

  if (cacheStream != nullptr && cacheStream->good()) {
    // A cache that cannot be read is no cache: the browser starts empty
    // and browses, instead of failing to exist.
    try {
      LoadExtentInfo(EB_HERE);
    } catch (...) {
      EB_LOG_NOTHROW(-1, "Reading the extent info block failed: %s", ThrownText());
      cacheComplete = false;
    }
  }

  // Only the records of a complete cache block survive construction.
  if (!cacheComplete) {
    CSecWrapper guard(volumeCtxt.extentMapLock);
    volumeCtxt.extentMap.clear();
  }
}

ExtentBrowseImpl::~ExtentBrowseImpl() {
  EB_LOG_NOTHROW(4, "ExtentBrowseImpl destructor going to wait for any browse thread to complete.");
  ownerRemoved = true;
  browseSemaphore.wait();
  delete browseResp;
  browseResp = nullptr;
  EB_LOG_NOTHROW(4, "ExtentBrowseImpl destructor completed");
  browseSemaphore.release(1);
  delete converter;
}

int ExtentBrowseImpl::GetLatestErrorInfo(std::string& text) {
  text = latestErrorText;
  return latestErrorCode;
}

void ExtentBrowseImpl::SetBackupSetGuid(const std::string& guid) {
  try {
    backupSetGuid = guid;
  } catch (...) {
    EB_LOG_NOTHROW(-1, "Setting the backup set GUID failed; requests keep the one they had.");
  }
}

void ExtentBrowseImpl::setStartExtentNotFound(bool value) { browse.startExtentNotFound = value; }

void ExtentBrowseImpl::resetReturnedStartExtent() { browse.returnedStartExtent.clear(); }

void ExtentBrowseImpl::BrowseState::Reset(Page kind) {
  page = kind;
  byRow = false;
  firstItem = 0;
  // Until a response says otherwise, the start extent is taken as not found.
  startExtentNotFound = true;
  answered = false;
  responseFailed = false;
  itemsReceived = false;
  returnedStartExtent.clear();
}
