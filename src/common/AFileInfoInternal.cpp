#include "extentbrowse/AFileInfoInternal.h"

#include "BrowseMessages.h"
#include "browser/WireFields.h"

AFileInfoInternal::AFileInfoInternal(CNMessageBase& dataItem) {
  const CNMessageBase& archiveFile =
      *ChildOf<databrowse::ArchiveFileInfo>(dataItem, wire::data::kArchiveFile, false);
  afileId = static_cast<unsigned long long>(
      static_cast<long long>(static_cast<int>(IntOf(archiveFile, wire::archivefile::kId))));
  afileValue = static_cast<unsigned long long>(IntOf(archiveFile, wire::archivefile::kValue));
  const CNMessageBase& attributes =
      *ChildOf<databrowse::ItemAttributes>(dataItem, wire::data::kAttributes, false);
  isEmpty = IntOf(attributes, wire::attributes::kEmpty) != 0;
}
