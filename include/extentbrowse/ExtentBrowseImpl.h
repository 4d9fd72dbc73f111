// ExtentBrowseImpl: the browser behind the ExtentBrowse facade. It serves one
// browse path of one backup: it owns the extent map, the extent name
// converter, the response object the browse service calls back, and the
// synchronisation that admits one browse at a time.
//
// Locks: browseSemaphore (count 1) admits one browse, the enumeration's full
// browse, or the destructor. volumeCtxt.extentMapLock guards the extent map
// and the converter's browsed ranges; an open enumeration holds it from
// OpenEnum to CloseEnum. The semaphore is always taken before the map lock,
// never while holding it. Browse responses may arrive on the browse service's
// threads, but only while a request is being sent.
#ifndef EXTENTBROWSE_EXTENTBROWSEIMPL_H
#define EXTENTBROWSE_EXTENTBROWSEIMPL_H

#include <atomic>
#include <ios>
#include <iosfwd>
#include <string>

#include <boost/shared_ptr.hpp>

#include "extentbrowse/Export.h"
#include "extentbrowse/ExtentBrowseTypes.h"
#include "extentbrowse/SCParams.h"
#include "extentbrowse/VolumeCtxt.h"
#include "extentbrowse/ZelSync.h"

class BrowseRequestHandler;
class CNMessageBase;
class EBExtentNameConverter;
class IdxBrowseClient;
class TdfsIdxBrowseClientResp;
namespace databrowse {
class BrowseResponse;
}

class EB_EXPORT ExtentBrowseImpl {
 public:
  ExtentBrowseImpl(SCParams& scParams, const std::string& browsePath, std::iostream* cacheStream,
                   ExtentBrowseMode mode, unsigned long long pageSize, int extentNameLength,
                   bool browseOptionFlag, unsigned int copyPrecedence, const std::string& maName);
  // Waits for a browse running on another thread to finish.
  ~ExtentBrowseImpl();
  ExtentBrowseImpl(const ExtentBrowseImpl&) = delete;
  ExtentBrowseImpl& operator=(const ExtentBrowseImpl&) = delete;

  // Lookup and emptiness; see ExtentBrowse.
  ExtentBrowseResult GetAFInfo(unsigned long long extentNumber, unsigned long long& afileId,
                               unsigned long long& afileValue);
  ExtentBrowseResult GetAFInfo(unsigned long long extentNumber, unsigned long long& afileId,
                               unsigned long long& afileValue, unsigned long long rangeStart);
  bool IsExtentEmpty(unsigned long extentNumber);

  // Enumeration; see ExtentBrowse.
  void* OpenEnum();
  bool EnumExtent(void* handle, unsigned long long& extentNumber, bool& isEmpty);
  void CloseEnum(void* handle);

  int GetLatestErrorInfo(std::string& text);
  void SetBackupSetGuid(const std::string& guid);

  // Writes the extent map as an extent-info block to `stream`, or to the
  // stream given at construction when `stream` is null, starting where the
  // block read at construction began. Returns false when there is no usable
  // stream or the block could not be written. Holds the map lock throughout.
  bool SaveExtentInfo(std::iostream* stream);

  // Browses the page that begins at `pageName` on the calling thread, then
  // records the browsed range. False only when the browser is being
  // destroyed and nothing was browsed; the outcome of a browse that ran is
  // left in volumeCtxt.browseFailed.
  bool StartBrowse(const std::string& pageName, unsigned int pagingOffset,
                   unsigned long long rangeStart);
  // Completion of one browse; false when `status` is EB_BROWSE_FAILED.
  bool OnBrowseCompletionCallBack(const std::string& pageName, ExtentBrowseResult status);

  // Sends one page request and returns once every response was processed:
  // -1 when the browse client failed to initialise, otherwise what the
  // browse returned. Zero alone is not an answer: a browse has answered only
  // when its responses held the END response or the "not in the backup"
  // answer, which StartBrowse and OpenEnum check. A `rangeStart` other than
  // all ones asks for an extent range instead (BrowseFSExtent). Call with
  // browseSemaphore held.
  int Browse(const std::string& startExtentName, unsigned int copyPrecedence,
             unsigned int pageSize, unsigned long long pagingOffset,
             unsigned long long rangeStart, const std::string& maName);
  int BrowseFSExtent(const std::string& startExtentName, unsigned int copyPrecedence,
                     unsigned int pageSize, unsigned long long pagingOffset,
                     unsigned long long rangeStart, const std::string& maName);

  // Called by the response object for every response of a browse, on the
  // browse service's thread. Nothing thrown inside leaves them: a response
  // that cannot be processed fails the browse.
  bool IdxBrowseClientProcessRespCallback(CNMessageBase* message);
  bool IdxBrowseClientProcessRespCallback(databrowse::BrowseResponse* response);

  // Setters of the browse in progress's state. The browser's own browses
  // reset all of it at once when they start.
  void setStartExtentNotFound(bool value);
  void resetReturnedStartExtent();

  // The browser's converter, for naming diagnostics. Owned by the browser.
  // Reading a name may switch the converter's naming scheme, as a browse
  // would.
  EBExtentNameConverter* GetExtentNameConverter() const { return converter; }

 private:
  // A request made ready by one of the two request forms, for the one send
  // path (src/browser/OutgoingPage.h).
  struct OutgoingPage;
  // What one browse learns. Reset when the browse starts; written by the
  // response callbacks on the browse service's thread while the request is
  // out; read by the browse's completion on the calling thread once the
  // request has returned. Hence the atomics.
  struct BrowseState {
    // What the browse asks for: a page of names from the page's own extent,
    // or an extent range that holds that extent or leaves it out. Calling
    // thread, at the start.
    enum class Page { kNamePaged, kRangeHoldingExtent, kRangeMissingExtent };
    Page page = Page::kNamePaged;
    // Service thread: set by the index's "not in the backup" answer,
    // cleared by every other response that is not an end response.
    std::atomic<bool> startExtentNotFound{false};
    // Service thread: the END response or the "not in the backup" answer
    // arrived. A browse without either was never answered, whatever its
    // call returned.
    std::atomic<bool> answered{false};
    // Service thread: a response of this browse failed.
    std::atomic<bool> responseFailed{false};
    // Service thread: a response of this browse carried items.
    std::atomic<bool> itemsReceived{false};
    // Calling thread: emptied at the start; nothing reads it, but it is
    // part of the browser's interface.
    std::string returnedStartExtent;

    void Reset(Page kind);
  };

  void LoadExtentInfo();
  // The lookup itself; GetAFInfo keeps anything it throws inside the
  // library.
  ExtentBrowseResult LookUp(unsigned long long extentNumber, unsigned long long& afileId,
                            unsigned long long& afileValue, unsigned long long rangeStart);
  // Sends one request with the per-browse state reset, catching anything
  // thrown on the way; false when the request failed, a response failed or
  // the index never answered. Call with browseSemaphore held.
  bool SendBrowse(BrowseState::Page page, const std::string& startName, unsigned int pageSize,
                  unsigned long long pagingOffset, unsigned long long rangeStart,
                  const std::string& host);
  // The two request forms: each readies its browse client for one page,
  // logging as `caller`.
  OutgoingPage PrepareNamePagedRequest(const std::string& startExtentName,
                                       unsigned int copyPrecedence, unsigned int pageSize,
                                       unsigned long long pagingOffset,
                                       const std::string& maName, const char* caller);
  OutgoingPage PrepareExtentRangeRequest(const std::string& startExtentName,
                                         unsigned int copyPrecedence, unsigned int pageSize,
                                         unsigned long long pagingOffset,
                                         unsigned long long rangeStart,
                                         const std::string& maName, const char* caller);
  // The one send path: a V2 request, a V1 request through its browse host,
  // or a V1 request answered in process. 0 on success, -1 when the client
  // failed to initialise, otherwise the failure the browse returned.
  int SendPage(OutgoingPage& page);
  // A browse that threw before it could be judged: failed, with its clients
  // dropped as for any failed browse.
  void FailBrowseThatThrew(const char* what) noexcept;
  // A response-level failure: sticky for the browser, and for the browse in
  // progress so that it records no range.
  void MarkResponseFailure() noexcept;
  bool FailResponseThatThrew() noexcept;

  EBExtentNameConverter* converter;
  int extentNameLength;
  bool enumerationDone;
  // The enumeration's cursor is the next extent number to hand out, found
  // again at each step: a B-tree iterator would not survive a record
  // inserted in between, as a lookup on the enumerating thread may do.
  unsigned long long enumCursor;
  bool enumEnded;  // the last extent has been handed out
  boost::shared_ptr<IdxBrowseClient> idxBrowseClient;
  boost::shared_ptr<IdxBrowseClient> fsIdxBrowseClient;
  boost::shared_ptr<BrowseRequestHandler> browseRequestHandler;
  SCParams scParams;
  std::string backupSetGuid;
  ExtentBrowseMode mode;  // stored for the caller; nothing reads it
  unsigned long long pageSize;
  VolumeCtxt volumeCtxt;
  bool cacheComplete;
  std::iostream* cacheStream;
  std::streampos cacheStartPos;
  int latestErrorCode;
  std::string latestErrorText;
  bool browseOptionFlag;
  std::atomic<bool> ownerRemoved;  // written by the destructor
  ZelSemaphore browseSemaphore;
  unsigned int copyPrecedence;
  std::string maName;
  TdfsIdxBrowseClientResp* browseResp;
  BrowseState browse;  // the browse in progress, or the last one
  // Service thread: some response has carried an item, so the converter
  // has read one of the index's own names and knows the item's scheme.
  std::atomic<bool> itemNameRead;
};

// Browse requests sent by all browsers of the process.
extern EB_EXPORT std::atomic<unsigned long long> numBrowseRequests;

#endif  // EXTENTBROWSE_EXTENTBROWSEIMPL_H
