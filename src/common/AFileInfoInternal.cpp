#include "extentbrowse/AFileInfoInternal.h"

#include "BrowseMessages.h"

AFileInfoInternal::AFileInfoInternal(CNMessageBase& dataItem) {
  CNMessageBase* archiveFile =
      dataItem.getObjectAccessor(true, false, 9, 21, databrowse::ArchiveFileInfo::kFamily,
                                 databrowse::ArchiveFileInfo::kNumber);
  afileId = static_cast<unsigned long long>(
      static_cast<long long>(static_cast<int>(archiveFile->getint64(12))));
  afileValue = static_cast<unsigned long long>(archiveFile->getint64(13));
  CNMessageBase* attributes = dataItem.getObjectAccessor(
      true, false, 1, 1, databrowse::ItemAttributes::kFamily, databrowse::ItemAttributes::kNumber);
  isEmpty = attributes->getint64(18) != 0;
}
