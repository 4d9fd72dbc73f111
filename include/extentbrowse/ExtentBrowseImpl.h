/// @file
/// The browser behind the ExtentBrowse facade, for the operations the facade
/// does not forward.
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
struct LogSite;
namespace databrowse {
class BrowseResponse;
}

/// The browser behind the ExtentBrowse facade. It serves one browse path of
/// one backup: it owns the extent map, the extent name converter, the
/// response object the browse service calls back, and the synchronisation
/// that admits one browse at a time.
///
/// A host reaches it through ExtentBrowse::GetImpl() to save the extent map
/// (SaveExtentInfo); the facade forwards everything else. The other public
/// members serve the library's own browses and the browse service's
/// callbacks: a host has no reason to call them.
///
/// Locks: browseSemaphore (count 1) admits one browse, the enumeration's full
/// browse, or the destructor. volumeCtxt.extentMapLock guards the extent map
/// and the converter's browsed ranges; an open enumeration holds it from
/// OpenEnum to CloseEnum. The semaphore is always taken before the map lock,
/// never while holding it. Browse responses may arrive on the browse service's
/// threads, but only while a request is being sent.
class EB_EXPORT ExtentBrowseImpl {
 public:
  /// Builds the browser; ExtentBrowse's constructor passes its own arguments.
  /// @param scParams,browsePath,cacheStream,mode,pageSize as for ExtentBrowse::ExtentBrowse().
  /// @param extentNameLength,browseOptionFlag,copyPrecedence,maName as there.
  ExtentBrowseImpl(SCParams& scParams, const std::string& browsePath, std::iostream* cacheStream,
                   ExtentBrowseMode mode, unsigned long long pageSize, int extentNameLength,
                   bool browseOptionFlag, unsigned int copyPrecedence, const std::string& maName);
  /// Waits for a browse running on another thread to finish.
  /// @copydetails ExtentBrowse::~ExtentBrowse()
  ~ExtentBrowseImpl();
  ExtentBrowseImpl(const ExtentBrowseImpl&) = delete;
  ExtentBrowseImpl& operator=(const ExtentBrowseImpl&) = delete;

  /// @copydoc ExtentBrowse::GetAFInfo(unsigned long long, unsigned long long&, unsigned long long&)
  ExtentBrowseResult GetAFInfo(unsigned long long extentNumber, unsigned long long& afileId,
                               unsigned long long& afileValue);
  /// The lookup of ExtentBrowse::GetAFInfo() with an explicit range start.
  /// @param extentNumber,afileId,afileValue,rangeStart as there.
  /// @return as there.
  ExtentBrowseResult GetAFInfo(unsigned long long extentNumber, unsigned long long& afileId,
                               unsigned long long& afileValue, unsigned long long rangeStart);
  /// @copydoc ExtentBrowse::IsExtentEmpty
  bool IsExtentEmpty(unsigned long extentNumber);

  /// @copydoc ExtentBrowse::OpenEnum
  void* OpenEnum();
  /// @copydoc ExtentBrowse::EnumExtent
  bool EnumExtent(void* handle, unsigned long long& extentNumber, bool& isEmpty);
  /// @copydoc ExtentBrowse::CloseEnum
  void CloseEnum(void* handle);

  /// @copydoc ExtentBrowse::GetLatestErrorInfo
  int GetLatestErrorInfo(std::string& text);
  /// @copydoc ExtentBrowse::SetBackupSetGuid
  void SetBackupSetGuid(const std::string& guid);

  /// Writes the extent map as an extent-info block, for a later browser's
  /// cache stream (docs/cache-format.md has the format).
  ///
  /// The block holds records only: no empty flags (a browser seeded from it
  /// reports every record not empty), no browsed ranges, and nothing that
  /// names the item or the backup. A browser cannot tell one backup's block
  /// from another's: binding a saved block to its backup is the caller's job.
  ///
  /// @param stream where to write, or null for the stream given at
  ///   construction; not owned. Writing starts where the block read at
  ///   construction began (position 0 when none was), so on a file stream
  ///   the new block replaces the old one; nothing is truncated. The
  ///   stream's format flags and exception mask do not change what is
  ///   written; its error state is cleared afterwards.
  /// @return true when the whole block was written; false when there is no
  ///   stream, the stream is not good (logged at -1 "iostream is not
  ///   good."), or writing failed ("Writing the extent info block to the
  ///   iostream failed.") or threw ("Writing the extent info block failed:
  ///   %s").
  ///
  /// Thread-safe: holds the extent map lock throughout, so lookups, browses
  /// and enumerations of other threads wait. The lock is recursive: the
  /// thread of an open enumeration may save. No counter.
  bool SaveExtentInfo(std::iostream* stream);

  /// Browses the page that begins at `pageName` on the calling thread, then
  /// records the browsed range. For the library's lookups.
  /// @param pageName the name of the page's first extent.
  /// @param pagingOffset entries of the index to skip first.
  /// @param rangeStart as for GetAFInfo().
  /// @return false only when the browser is being destroyed and nothing was
  ///   browsed; the outcome of a browse that ran is left in
  ///   volumeCtxt.browseFailed.
  bool StartBrowse(const std::string& pageName, unsigned int pagingOffset,
                   unsigned long long rangeStart);
  /// Completion of one browse: records the browsed range, or marks the
  /// browser failed and drops its browse clients. Called by StartBrowse.
  /// @param pageName the name StartBrowse was given.
  /// @param status EB_BROWSE_COMPLETED, or EB_BROWSE_FAILED.
  /// @return false when `status` is EB_BROWSE_FAILED.
  bool OnBrowseCompletionCallBack(const std::string& pageName, ExtentBrowseResult status);

  /// Sends one page request and returns once every response was processed.
  /// Zero alone is not an answer: a browse has answered only when its
  /// responses held the END response or the "not in the backup" answer,
  /// which StartBrowse and OpenEnum check. Call with browseSemaphore held.
  /// @param startExtentName the index name of the page's first extent; empty
  ///   for the item's first.
  /// @param copyPrecedence the copy of the backup to browse.
  /// @param pageSize extents to ask for.
  /// @param pagingOffset entries to skip first.
  /// @param rangeStart all ones for a page of names; anything else asks for
  ///   an extent range instead (BrowseFSExtent).
  /// @param maName the browse host; empty for the index's default.
  /// @return -1 when the browse client failed to initialise, otherwise what
  ///   the browse returned (0 on success).
  int Browse(const std::string& startExtentName, unsigned int copyPrecedence, unsigned int pageSize,
             unsigned long long pagingOffset, unsigned long long rangeStart,
             const std::string& maName);
  /// The extent-range form of Browse().
  /// @param startExtentName,copyPrecedence,pageSize,pagingOffset,rangeStart,maName
  ///   as for Browse().
  /// @return as Browse().
  int BrowseFSExtent(const std::string& startExtentName, unsigned int copyPrecedence,
                     unsigned int pageSize, unsigned long long pagingOffset,
                     unsigned long long rangeStart, const std::string& maName);

  /// Called by the response object for every response of a browse, on the
  /// browse service's thread. Nothing thrown inside leaves it: a response
  /// that cannot be processed fails the browse.
  /// @param message the response, any class; not owned.
  /// @return false when the response failed the browse.
  bool IdxBrowseClientProcessRespCallback(CNMessageBase* message);
  /// The same, for a response known to be a browse response.
  /// @param response the response; not owned.
  /// @return false when the response failed the browse.
  bool IdxBrowseClientProcessRespCallback(databrowse::BrowseResponse* response);

  /// Sets whether the browse in progress has been told its start extent is
  /// not in the backup. The browser's own browses reset it when they start.
  /// @param value the new value.
  void setStartExtentNotFound(bool value);
  /// Empties the browse in progress's returned start extent, which nothing
  /// reads. The browser's own browses reset it when they start.
  void resetReturnedStartExtent();

  /// The browser's converter, for naming diagnostics. Reading a name may
  /// switch the converter's naming scheme, as a browse would.
  /// @return the converter; owned by the browser.
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
    // an extent range that holds that extent or leaves it out, or the whole
    // item for an enumeration. Calling thread, at the start.
    enum class Page { kNamePaged, kRangeHoldingExtent, kRangeMissingExtent, kWholeItem };
    Page page = Page::kNamePaged;
    // Calling thread: the index was asked for rows, not names (database
    // items over V2).
    bool byRow = false;
    // Service thread: set by the index's "not in the backup" answer,
    // cleared by every other response that is not an end response.
    std::atomic<bool> startExtentNotFound{false};
    // Service thread: the END response or the "not in the backup" answer
    // arrived. A browse without either was never answered, whatever its
    // call returned.
    std::atomic<bool> answered{false};
    // Service thread: a response of this browse failed.
    std::atomic<bool> responseFailed{false};
    // Service thread: a response of this browse carried items; the first
    // of them was extent firstItem.
    std::atomic<bool> itemsReceived{false};
    std::atomic<unsigned long long> firstItem{0};
    // Calling thread: emptied at the start; nothing reads it, but it is
    // part of the browser's interface.
    std::string returnedStartExtent;

    void Reset(Page kind);
  };

  // Seeds the map from the cache stream; a block it ignores is said at
  // `site`, the constructor's.
  void LoadExtentInfo(const LogSite& site);
  // Sends one request with the per-browse state reset, catching anything
  // thrown on the way, and logs at `site` why it failed; false when the
  // request failed, a response failed, the index never answered, or its
  // rows were not the extents asked for. Call with browseSemaphore held.
  bool SendBrowse(const LogSite& site, BrowseState::Page page, const std::string& startName,
                  unsigned long long startExtent, unsigned int pageSize,
                  unsigned long long pagingOffset, unsigned long long rangeStart,
                  const std::string& host);
  // The two request forms: each readies its browse client for one page,
  // logging at `site`, the operation's.
  OutgoingPage PrepareNamePagedRequest(const std::string& startExtentName,
                                       unsigned int copyPrecedence, unsigned int pageSize,
                                       unsigned long long pagingOffset, const std::string& maName,
                                       const LogSite& site);
  OutgoingPage PrepareExtentRangeRequest(const std::string& startExtentName,
                                         unsigned int copyPrecedence, unsigned int pageSize,
                                         unsigned long long pagingOffset,
                                         unsigned long long rangeStart, const std::string& maName,
                                         const LogSite& site);
  // The one send path: a V2 request, a V1 request through its browse host,
  // or a V1 request answered in process. 0 on success, -1 when the client
  // failed to initialise, otherwise the failure the browse returned.
  int SendPage(OutgoingPage& page);
  // What every failed browse leaves: the browser marked failed, and its
  // browse client and request handler dropped.
  void DropFailedBrowse() noexcept;
  // A response-level failure: sticky for the browser, and for the browse in
  // progress so that it records no range.
  void MarkResponseFailure() noexcept;
  // The length of the converter's name for `extent`.
  std::string::size_type NameLengthOf(unsigned long long extent);

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

/// Name-paged browse requests made ready by all browsers of the process,
/// including those whose client then failed to initialise; extent-range
/// requests are not counted. Any thread may read it.
extern EB_EXPORT std::atomic<unsigned long long> numBrowseRequests;

#endif  // EXTENTBROWSE_EXTENTBROWSEIMPL_H
