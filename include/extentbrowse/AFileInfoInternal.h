// AFileInfoInternal: one extent's archive-file record, the value type of the
// browser's extent map.
#ifndef EXTENTBROWSE_AFILEINFOINTERNAL_H
#define EXTENTBROWSE_AFILEINFOINTERNAL_H

#include "extentbrowse/Export.h"

class CNMessageBase;

struct EB_EXPORT AFileInfoInternal {
  unsigned long long afileId = 0;     // the archive file that holds the extent
  unsigned long long afileValue = 0;  // second archive-file value, handed back as is
  bool isEmpty = false;               // the extent holds no data

  AFileInfoInternal() = default;

  // From one data item of a browse response. The index sends the archive
  // file id as a 64-bit field but means a signed 32-bit id: the value is
  // narrowed to 32 bits and sign-extended back, so 4294967295 arrives as
  // 18446744073709551615.
  explicit AFileInfoInternal(CNMessageBase& dataItem);
};

#endif  // EXTENTBROWSE_AFILEINFOINTERNAL_H
