/// @file
/// The class a host uses, ExtentBrowse, and the process's client name.
#ifndef EXTENTBROWSE_EXTENTBROWSE_H
#define EXTENTBROWSE_EXTENTBROWSE_H

#include <iosfwd>
#include <string>

#include "extentbrowse/Export.h"
#include "extentbrowse/ExtentBrowseTypes.h"
#include "extentbrowse/SCParams.h"

class ExtentBrowseImpl;

/// Answers, for one large backed-up item, which archive file holds each of
/// its numbered extents.
///
/// A browser serves one browse path of one backup. It browses the backup
/// index a page at a time when a lookup misses, keeps the extent records it
/// has seen, remembers the ranges it has browsed, and can be seeded from (and
/// save to, through GetImpl()) a caller's text stream. It starts no thread.
///
/// Ownership: the facade owns its browser (ExtentBrowseImpl) for its whole
/// life. Nothing the caller passes in is kept by reference except the cache
/// stream, which stays the caller's.
///
/// Thread-safety: GetAFInfo and IsExtentEmpty may be called from several
/// threads at once; at most one browse runs at a time. An enumeration
/// (OpenEnum, EnumExtent, CloseEnum) stays on one thread, which must not make
/// a lookup that may browse while it is open. Destroy the browser only after
/// every other call has returned.
///
/// Failures are results, never exceptions; only the constructor throws.
/// Logging goes through the host's g_ptrLogWriter, which must be installed
/// before the first browser is constructed.
class EB_EXPORT ExtentBrowse {
 public:
  /// Builds the browser of one item. Browses nothing yet.
  ///
  /// The first browser of the process creates the counter set
  /// (InitializeEBPerfCounters).
  ///
  /// @param scParams the backup to browse; copied. Its appType chooses how
  ///   extents are named (EBAppType).
  /// @param browsePath the item's path in the index; copied.
  /// @param cacheStream an extent-info block to seed the extent map from, or
  ///   null. Not owned. Read once, here, from its read position: a complete
  ///   block seeds the map, anything else seeds nothing. Must outlive the
  ///   browser when SaveExtentInfo is to write to it.
  /// @param mode stored, never acted on: EB_MODE_DEFAULT.
  /// @param pageSize extents asked for per browse, at least 1; above
  ///   4294967295 it means as many as there are.
  /// @param extentNameLength digits of the item's base32 extent names: the
  ///   length the index's names were written with (13 holds every 64-bit
  ///   number).
  /// @param browseOptionFlag sent to the index as a browse option of every
  ///   request.
  /// @param copyPrecedence the copy of the backup to browse; 0 for the
  ///   default copy.
  /// @param maName the browse host (media agent) the lookups' browses go
  ///   through; empty for the index's default. A V1 browse whose host has
  ///   the local client name (SetLocalClientName) is answered in process.
  /// @throw std::bad_alloc when memory runs out, or a C string
  ///   (`const char*`) when a synchronisation handle cannot be made. Nothing
  ///   is left allocated.
  ///
  /// Logs at level 1 "ExtentBrowse::ExtentBrowse browsePath: %s, pageSize:
  /// %llu, ExtentNameLength: %d ma: %s" and "ExtentBrowse::ExtentBrowse
  /// sourceClientId: %lu appType: %d bkpSetId: %lu AppId: %d appInstance:
  /// %lu totime: %u fromtime: %u ", and for a virtual-server item "Will use
  /// [NEW] extent naming scheme."; at -1 "Reading the extent info block
  /// failed: %s" when reading the cache stream throws.
  ExtentBrowse(SCParams& scParams, const std::string& browsePath, std::iostream* cacheStream,
               ExtentBrowseMode mode, unsigned long long pageSize, int extentNameLength,
               bool browseOptionFlag, unsigned int copyPrecedence, const std::string& maName);
  /// Waits for a browse running on another thread to finish, then frees the
  /// browser. A lookup that reaches its browse while the destructor runs
  /// returns EB_BROWSE_FAILED without browsing, but it must still return
  /// before the destructor does.
  ///
  /// Logs at level 4 "ExtentBrowseImpl destructor going to wait for any
  /// browse thread to complete." and "ExtentBrowseImpl destructor completed".
  ~ExtentBrowse();
  ExtentBrowse(const ExtentBrowse&) = delete;
  ExtentBrowse& operator=(const ExtentBrowse&) = delete;

  /// The archive file id and second value of an extent, browsing on a miss.
  ///
  /// Answers from the extent map. An extent without a record that lies in a
  /// browsed range is not in the backup. Any other extent is browsed: the
  /// page of pageSize extents that starts at it, on the calling thread,
  /// after any browse of another thread has finished; then the lookup looks
  /// again.
  ///
  /// @param extentNumber the extent to find.
  /// @param[out] afileId the archive file that holds the extent; set on
  ///   EB_EXTENT_FOUND only.
  /// @param[out] afileValue the extent's second archive-file value, as the
  ///   index gave it; set on EB_EXTENT_FOUND only.
  /// @return EB_EXTENT_FOUND; EB_EXTENT_NOT_FOUND when the index said the
  ///   extent is not in the backup; EB_BROWSE_FAILED when the library could
  ///   not tell: the browse failed, threw, or ended without the index's END
  ///   response or "not in the backup" answer, the browser is being
  ///   destroyed, or an earlier browse of this browser failed (a failed
  ///   browser answers from what it holds but fails every lookup that needs
  ///   a browse: make a new browser).
  ///
  /// Thread-safe. Counter 3 on every call, 6 on a miss of the map, 7 and 8
  /// when it browses, and 0, 1, 2, 5 and 9 in the browse. Logs at level 4
  /// its trace ("ioExtNum: [%llu] not found in extentMap.", "Starting
  /// BROWSE_PAGE [%s]", ...), at 2 and 4 the browse's, and at -1 "Browse()
  /// failed. [%s]" with the browse path, after the line that says why, or
  /// "Looking up ioExtNum [%llu] failed: %s" when the lookup threw.
  ExtentBrowseResult GetAFInfo(unsigned long long extentNumber, unsigned long long& afileId,
                               unsigned long long& afileValue);
  /// The same, asking the index for an explicit extent range instead of a
  /// page of names.
  ///
  /// @param extentNumber the extent to find.
  /// @param[out] afileId as for the other overload.
  /// @param[out] afileValue as for the other overload.
  /// @param rangeStart first extent of the range a browse asks for (pageSize
  ///   extents from there); all ones makes this the other overload.
  /// @return as the other overload; also EB_BROWSE_FAILED, logged at -1,
  ///   when the range does not hold `extentNumber` and brought no record of
  ///   it: such a range cannot say the extent is missing.
  ExtentBrowseResult GetAFInfo(unsigned long long extentNumber, unsigned long long& afileId,
                               unsigned long long& afileValue, unsigned long long rangeStart);
  /// Whether a known extent is empty. Never browses; no log line, no
  /// counter.
  ///
  /// @param extentNumber the extent.
  /// @return the empty flag of the extent's record; false when it has none
  ///   (look it up first) and for every record seeded from a cache block,
  ///   which carries no empty flags.
  ///
  /// Thread-safe.
  bool IsExtentEmpty(unsigned long extentNumber);

  /// Opens an enumeration of every extent of the item, in ascending order.
  ///
  /// The first successful OpenEnum of a browser browses the whole item in
  /// one request, even when the browser was seeded from a cache; later ones
  /// list the map as it is then. From a non-null result to CloseEnum the
  /// thread holds the extent map lock: lookups, browses and saves of other
  /// threads wait.
  ///
  /// @return the enumeration's handle, or null when the full browse failed,
  ///   threw or was never answered, or the browser is being destroyed;
  ///   after null nothing is held, and the next OpenEnum browses again.
  ///
  /// One enumeration at a time per browser; call EnumExtent and CloseEnum
  /// on the same thread. Counter 7, and 0, 1, 2 and 9 in the browse. Logs
  /// at -1 "Enumerating all the extents" and "Finished enumerating all the
  /// extents", or "Browse() failed. [%s]".
  void* OpenEnum();
  /// Hands out the next extent of the open enumeration. No lock, no log
  /// line, no counter.
  ///
  /// @param handle what OpenEnum returned.
  /// @param[out] extentNumber the extent's number; set when true is returned.
  /// @param[out] isEmpty the extent's empty flag, as IsExtentEmpty reports
  ///   it; set when true is returned.
  /// @return false, with the outputs untouched, once every extent has been
  ///   handed out; false again until the next OpenEnum.
  bool EnumExtent(void* handle, unsigned long long& extentNumber, bool& isEmpty);
  /// Closes the enumeration: leaves the extent map lock. Exactly once per
  /// non-null OpenEnum, on its thread; never after a null one.
  /// @param handle what OpenEnum returned.
  void CloseEnum(void* handle);

  /// Kept for the platform's callers: no operation records errors here.
  /// @param[out] text set to the empty string.
  /// @return 0.
  int GetLatestErrorInfo(std::string& text);
  /// Names the backup set by its GUID in the name-paged requests built after
  /// the call (a browser builds one at its first browse, and again after a
  /// failed one). Call it before the first lookup: it races with browses.
  /// @param guid the backup set's GUID; copied. When memory runs out the
  ///   GUID stays as it was, logged at -1 "Setting the backup set GUID
  ///   failed; requests keep the one they had.".
  void SetBackupSetGuid(const std::string& guid);

  /// The browser this facade owns, for the operations the facade does not
  /// forward (ExtentBrowseImpl::SaveExtentInfo).
  /// @return the browser; owned by the facade, valid until it is destroyed.
  ExtentBrowseImpl* GetImpl() const { return impl; }

 private:
  ExtentBrowseImpl* impl;
};

/// Names this process's client. A V1 browse whose browse host has this
/// client name is answered in process (BrowseRequestHandler) instead of
/// through the browse client.
///
/// Applies to every browser of the process. Set it before any browser
/// browses: it races with browses.
///
/// @param name the client name; copied into gEBLocalClientName. When memory
///   runs out the name stays as it was, logged at -1 "Setting the local
///   client name failed; it stays [%s].".
EB_EXPORT void SetLocalClientName(const std::string& name);

/// The name SetLocalClientName set; empty until then.
extern EB_EXPORT std::string gEBLocalClientName;

#endif  // EXTENTBROWSE_EXTENTBROWSE_H
