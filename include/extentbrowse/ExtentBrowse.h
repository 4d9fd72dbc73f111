// ExtentBrowse: answers, for one large backed-up item, which archive file
// holds each of its numbered extents.
//
// A browser serves one browse path of one backup. It browses the backup index
// a page at a time when a lookup misses, keeps the extent records it has
// seen, remembers the ranges it has browsed, and can be seeded from (and save
// to) a caller's text stream.
//
// Thread-safety: GetAFInfo and IsExtentEmpty may be called from several
// threads at once; at most one browse runs at a time. An enumeration
// (OpenEnum, EnumExtent, CloseEnum) stays on one thread, which must not make
// a lookup that may browse while it is open. Destroy the browser only after
// every other call has returned.
//
// Logging goes through the host's g_ptrLogWriter, which must be installed
// before the first browser is constructed.
#ifndef EXTENTBROWSE_EXTENTBROWSE_H
#define EXTENTBROWSE_EXTENTBROWSE_H

#include <iosfwd>
#include <string>

#include "extentbrowse/Export.h"
#include "extentbrowse/ExtentBrowseTypes.h"
#include "extentbrowse/SCParams.h"

class ExtentBrowseImpl;

class EB_EXPORT ExtentBrowse {
 public:
  // Browses nothing yet. `cacheStream` (not owned, may be null) is read once,
  // here: a complete extent-info block on it seeds the extent map. The
  // stream must outlive the browser when SaveExtentInfo is to write to it.
  ExtentBrowse(SCParams& scParams, const std::string& browsePath, std::iostream* cacheStream,
               ExtentBrowseMode mode, unsigned long long pageSize, int extentNameLength,
               bool browseOptionFlag, unsigned int copyPrecedence, const std::string& maName);
  ~ExtentBrowse();
  ExtentBrowse(const ExtentBrowse&) = delete;
  ExtentBrowse& operator=(const ExtentBrowse&) = delete;

  // The archive file id and second value of an extent, browsing on a miss.
  ExtentBrowseResult GetAFInfo(unsigned long long extentNumber, unsigned long long& afileId,
                               unsigned long long& afileValue);
  // The same, asking the index for an explicit extent range that starts at
  // `rangeStart` (all ones: the name-paged browse of the other overload).
  ExtentBrowseResult GetAFInfo(unsigned long long extentNumber, unsigned long long& afileId,
                               unsigned long long& afileValue, unsigned long long rangeStart);
  // Whether a known extent is empty; false for an extent without a record.
  // Never browses.
  bool IsExtentEmpty(unsigned long extentNumber);

  // Browses the whole item once, then lists every extent in ascending order.
  // OpenEnum returns null when nothing could be opened; otherwise call
  // EnumExtent until it returns false, then CloseEnum exactly once. The
  // extent map stays locked from OpenEnum to CloseEnum.
  void* OpenEnum();
  bool EnumExtent(void* handle, unsigned long long& extentNumber, bool& isEmpty);
  void CloseEnum(void* handle);

  // No operation records errors here: the text is always empty.
  int GetLatestErrorInfo(std::string& text);
  // Names the backup by its GUID in requests built after the call.
  void SetBackupSetGuid(const std::string& guid);

  // The browser this facade owns, for the operations the facade does not
  // forward (SaveExtentInfo). Owned by the facade; valid until it is destroyed.
  ExtentBrowseImpl* GetImpl() const { return impl; }

 private:
  ExtentBrowseImpl* impl;
};

// The client name of this process. A browse whose browse host is this
// client is answered in process instead of through the browse client. Set it
// before any browser browses.
EB_EXPORT void SetLocalClientName(const std::string& name);

extern EB_EXPORT std::string gEBLocalClientName;

#endif  // EXTENTBROWSE_EXTENTBROWSE_H
