/// @file
/// AFileInfoInternal: one extent's archive-file record, the value type of the
/// browser's extent map.
#ifndef EXTENTBROWSE_AFILEINFOINTERNAL_H
#define EXTENTBROWSE_AFILEINFOINTERNAL_H

#include "extentbrowse/Export.h"

class CNMessageBase;

/// One extent's archive-file record. A plain value; no thread-safety of its
/// own (the browser's extent map lock guards the records it holds).
struct EB_EXPORT AFileInfoInternal {
  unsigned long long afileId = 0;     ///< The archive file that holds the extent.
  unsigned long long afileValue = 0;  ///< Second archive-file value, handed back as is.
  bool isEmpty = false;               ///< The extent holds no data.

  /// A record of archive file 0, value 0, not empty.
  AFileInfoInternal() = default;

  /// From one data item of a browse response. The index sends the archive
  /// file id as a 64-bit field but means a signed 32-bit id: the value is
  /// narrowed to 32 bits and sign-extended back, so 4294967295 arrives as
  /// 18446744073709551615.
  /// @param dataItem the data item; read, not kept.
  explicit AFileInfoInternal(CNMessageBase& dataItem);
};

#endif  // EXTENTBROWSE_AFILEINFOINTERNAL_H
