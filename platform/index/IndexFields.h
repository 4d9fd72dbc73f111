// The fields of the browse messages the index service reads and writes,
// each named once as the index knows them: its index in its class and its
// wire tag. Internal to the index service; the library names the fields it
// uses on its own side.
#ifndef EBINDEX_INDEXFIELDS_H
#define EBINDEX_INDEXFIELDS_H

namespace ebindex {
namespace fields {

struct Field {
  int index;
  int tag;
};

// A browse request, as the service reads it.
constexpr Field kRequestEntity{3, 3};
constexpr Field kRequestPaths{4, 4};
constexpr Field kRequestMode{8, 8};
constexpr Field kRequestBrowseHost{9, 9};
constexpr Field kRequestQueries{12, 12};
constexpr Field kEntityAppType{14, 38};
constexpr Field kHostName{1, 1};
constexpr Field kModeValue{1, 1};
constexpr long long kModeExtentRange = 3;
constexpr Field kPathPath{1, 1};
constexpr Field kPathParameters{2, 5};
constexpr Field kParametersExtentRanges{3, 6};
constexpr Field kRangeStart{1, 1};
constexpr Field kRangeCount{2, 2};
constexpr Field kQueryOptions{5, 8};
constexpr Field kOptionsPaging{2, 2};
constexpr Field kPagingOffset{2, 2};
constexpr Field kPagingSize{3, 3};
constexpr Field kPagingStartName{4, 4};

// The answer it builds.
constexpr Field kResponseType{1, 1};
constexpr Field kResponseErrors{4, 7};
constexpr Field kResponseResult{6, 9};
constexpr Field kErrorCode{1, 1};
constexpr Field kResultItems{3, 6};
constexpr Field kItemPath{5, 5};
constexpr Field kItemArchiveFile{9, 21};
constexpr Field kItemAttributes{1, 1};
constexpr Field kArchiveFileId{1, 12};
constexpr Field kArchiveFileValue{2, 13};
constexpr Field kAttributesEmpty{1, 18};

}  // namespace fields
}  // namespace ebindex

#endif  // EBINDEX_INDEXFIELDS_H
