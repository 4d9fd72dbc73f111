/// @file
/// The browser behind the ExtentBrowse facade, for the operations the facade
/// does not forward.
#ifndef EXTENTBROWSE_EXTENTBROWSEIMPL_H
#define EXTENTBROWSE_EXTENTBROWSEIMPL_H

#include <atomic>
#include <iosfwd>
#include <memory>
#include <string>

#include "extentbrowse/Export.h"
#include "extentbrowse/ExtentBrowseTypes.h"
#include "extentbrowse/SCParams.h"

class CNMessageBase;
class EBExtentNameConverter;
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
/// Locks: a browse semaphore (count 1) admits one browse, the enumeration's
/// full browse, or the destructor. The extent map lock guards the extent map
/// and the converter's browsed ranges; an open enumeration holds it from
/// OpenEnum to CloseEnum. The semaphore is always taken before the map lock,
/// never while holding it. Browse responses may arrive on the browse service's
/// threads, but only while a request is being sent.
///
/// Only the library constructs a browser; a host holds the facade.
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
  ///   browsed. A browse that failed marks the browser failed for good, and
  ///   lookups that need a browse then fail.
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
  /// which StartBrowse and OpenEnum check. Call with the browse semaphore
  /// held, as those do.
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
  // The converter the state owns, where hosts built against earlier
  // versions of this header read it inline: the class's first member.
  EBExtentNameConverter* converter;
  // Everything the browser holds, defined with the library's code: the
  // extent map, the converter, the settings, and the page browse with its
  // clients, response object and what one browse learns.
  struct State;
  std::unique_ptr<State> state;
};

/// Name-paged browse requests made ready by all browsers of the process,
/// including those whose client then failed to initialise; extent-range
/// requests are not counted. Any thread may read it.
extern EB_EXPORT std::atomic<unsigned long long> numBrowseRequests;

#endif  // EXTENTBROWSE_EXTENTBROWSEIMPL_H
