// The generated message classes of the browse protocol. Each adds nothing
// to CNMessageBase but its class id; fields are reached through the base's
// accessors by index and tag.
#ifndef EBPLATFORM_BROWSEMESSAGES_H
#define EBPLATFORM_BROWSEMESSAGES_H

#include "CNMessageBase.h"

#define EBPLATFORM_MESSAGE_CLASS(Name, Family, Number)          \
  class Name : public CNMessageBase {                           \
   public:                                                      \
    static constexpr int kFamily = Family;                      \
    static constexpr int kNumber = Number;                      \
    static TagID classTagID() { return TagID{Family, Number}; } \
    Name() : CNMessageBase(Family, Number) {}                   \
  }

namespace databrowse {

EBPLATFORM_MESSAGE_CLASS(BrowseRequest, 100, 92);
EBPLATFORM_MESSAGE_CLASS(BrowseTimeRange, 100, 64);
EBPLATFORM_MESSAGE_CLASS(BrowseOptions, 100, 4);
EBPLATFORM_MESSAGE_CLASS(BrowseAdvancedOptions, 100, 63);
EBPLATFORM_MESSAGE_CLASS(BrowseMode, 100, 5);
EBPLATFORM_MESSAGE_CLASS(BrowsePath, 100, 3);
EBPLATFORM_MESSAGE_CLASS(BrowsePathParameters, 100, 2);
EBPLATFORM_MESSAGE_CLASS(ExtentRange, 100, 210);
EBPLATFORM_MESSAGE_CLASS(BrowsePaging, 100, 6);
EBPLATFORM_MESSAGE_CLASS(SortParam, 100, 68);
EBPLATFORM_MESSAGE_CLASS(Query, 100, 80);
EBPLATFORM_MESSAGE_CLASS(QueryOptions, 100, 71);
EBPLATFORM_MESSAGE_CLASS(BrowseResponseList, 100, 102);
EBPLATFORM_MESSAGE_CLASS(BrowseResult, 100, 98);
EBPLATFORM_MESSAGE_CLASS(ArchiveFileInfo, 100, 93);
EBPLATFORM_MESSAGE_CLASS(ItemAttributes, 100, 0);
// Received only.
EBPLATFORM_MESSAGE_CLASS(BrowseResponse, 100, 101);
EBPLATFORM_MESSAGE_CLASS(BrowseError, 100, 103);
EBPLATFORM_MESSAGE_CLASS(BrowseData, 100, 94);

// Tag 1 of a BrowseResponse. Any int may arrive in a response, so the type
// is fixed to int: a value outside the enumerators is then still a value.
enum BrowseResponseType : int {
  BROWSE_RESPONSE_DATA = 0,
  BROWSE_RESPONSE_PREDICTION = 1,
  BROWSE_RESPONSE_PARTIAL = 2,
  BROWSE_RESPONSE_ERROR = 3,
  BROWSE_RESPONSE_WARNING = 4,
  BROWSE_RESPONSE_END = 5,
  BROWSE_RESPONSE_PROGRESS = 6,
  BROWSE_RESPONSE_LAST_PAGE_END = 15,
};

// Values of a SortParam's sort-field list.
enum FilteredBrowseField {
  FILTERED_BROWSE_FIELD_NAME = 32,
  FILTERED_BROWSE_FIELD_EXTENT_NUMBER = 134,
};

}  // namespace databrowse

namespace ZelEntities {
EBPLATFORM_MESSAGE_CLASS(GenericEntity, 18, 46);
EBPLATFORM_MESSAGE_CLASS(MaEntity, 18, 4);
}  // namespace ZelEntities

namespace Indexing {
// The V1 request a browse client may hold in place of a BrowseRequest:
// tag 1 (index 1) the request it was made from, tag 136 (index 82) its
// queries, tag 138 (index 84) the host string of the browse host.
EBPLATFORM_MESSAGE_CLASS(BrowseReq, 60, 12);
}  // namespace Indexing

#undef EBPLATFORM_MESSAGE_CLASS

#endif  // EBPLATFORM_BROWSEMESSAGES_H
