// The fields of the browse messages the library reads and writes, each named
// once, with its index in its class and its wire tag. The message base's
// setters and object and list accessors take both, its integer getter the
// tag alone, its presence test the index alone; the helpers below pass what
// each needs. Fields read only by tag carry no index.
//
// Where the index's meaning of a field is not the library's to know, the
// name says who sets it and to what.
#ifndef EXTENTBROWSE_SRC_BROWSER_WIREFIELDS_H
#define EXTENTBROWSE_SRC_BROWSER_WIREFIELDS_H

#include <string>
#include <vector>

#include "CNMessageBase.h"

struct WireField {
  int index;
  int tag;
};

namespace wire {

constexpr int kReadByTag = 0;

namespace request {               // databrowse::BrowseRequest
constexpr WireField kForm{1, 1};  // 0: a page of names; 1: an extent range
constexpr WireField kEntity{3, 3};
constexpr WireField kPaths{4, 4};
constexpr WireField kTimeRange{6, 6};
constexpr WireField kOptions{7, 7};
constexpr WireField kMode{8, 8};
constexpr WireField kBrowseHost{9, 9};
constexpr WireField kAdvancedOptions{11, 11};
constexpr WireField kQueries{12, 12};
constexpr WireField kExtentRangeForm{20, 26};  // 1 in an extent-range request
}  // namespace request

namespace timerange {  // databrowse::BrowseTimeRange
constexpr WireField kTo{1, 1};
constexpr WireField kFrom{2, 2};
}  // namespace timerange

namespace host {  // MaEntity
constexpr WireField kName{1, 1};
}  // namespace host

namespace options {                   // databrowse::BrowseOptions: flags, each set to 1 unless said
constexpr WireField kEvery1{2, 2};    // every request
constexpr WireField kEvery2{12, 12};  // every request
constexpr WireField kCallerFlag{11, 11};       // the browser's browse option flag, 1 or 0
constexpr WireField kVsExtentBrowse{21, 21};   // pages of names of non-database items
constexpr WireField kVsExtentBrowseOff{3, 3};  // 0, beside it
constexpr WireField kRange1{60, 60};           // extent ranges
constexpr WireField kRange2{1, 1};             // extent ranges
constexpr WireField kRange3{51, 51};           // extent ranges
constexpr WireField kExchangeRange1{62, 62};   // extent ranges of application type 53
constexpr WireField kExchangeRange2{49, 49};   // extent ranges of application type 53
}  // namespace options

namespace entity {  // ZelEntities::GenericEntity
constexpr WireField kBackupSetGuid{10, 25};
constexpr WireField kClientId{17, 47};
constexpr WireField kAppId{5, 11};
constexpr WireField kBackupSetId{8, 20};
constexpr WireField kAppType{14, 38};
}  // namespace entity

namespace advanced {  // databrowse::BrowseAdvancedOptions
constexpr WireField kCopyPrecedence{1, 1};
constexpr WireField kView{2, 2};  // "EDBVIEW" in extent ranges of application type 53
}  // namespace advanced

namespace mode {  // databrowse::BrowseMode
constexpr WireField kMode{1, 1};
constexpr long long kNames = 2;
constexpr long long kExtentRange = 3;
constexpr long long kVirtualServerNames = 4;
}  // namespace mode

namespace path {  // databrowse::BrowsePath
constexpr WireField kPath{1, 1};
constexpr WireField kParameters{2, 5};
}  // namespace path

namespace pathparameters {  // databrowse::BrowsePathParameters
constexpr WireField kExtentRanges{3, 6};
}  // namespace pathparameters

namespace extentrange {  // databrowse::ExtentRange
constexpr WireField kStart{1, 1};
constexpr WireField kCount{2, 2};
}  // namespace extentrange

namespace paging {                // databrowse::BrowsePaging
constexpr WireField kKind{1, 1};  // 0
constexpr WireField kOffset{2, 2};
constexpr WireField kSize{3, 3};
constexpr WireField kStartName{4, 4};
}  // namespace paging

namespace sort {                    // databrowse::SortParam
constexpr WireField kFields{1, 1};  // databrowse::FilteredBrowseField values
constexpr WireField kOrder{2, 2};   // 1
}  // namespace sort

namespace query {                 // databrowse::Query
constexpr WireField kKind{1, 1};  // 0: the data query, the one that pages
constexpr WireField kId{2, 2};    // "0"
constexpr WireField kOptions{5, 8};
constexpr WireField kFlag{9, 12};  // 1
constexpr long long kDataQuery = 0;
}  // namespace query

namespace queryoptions {  // QueryOptions
constexpr WireField kPaging{2, 2};
constexpr WireField kSort{3, 3};
}  // namespace queryoptions

namespace response {  // databrowse::BrowseResponse
constexpr WireField kType{kReadByTag, 1};
constexpr WireField kErrors{4, 7};
constexpr WireField kResult{6, 9};
}  // namespace response

namespace error {  // databrowse::BrowseError
constexpr WireField kCode{1, 1};
constexpr long long kExtentNotFound = 4;
}  // namespace error

namespace result {  // BrowseResult
constexpr WireField kItems{3, 6};
}  // namespace result

namespace data {  // databrowse::BrowseData
constexpr WireField kPath{5, 5};
constexpr WireField kArchiveFile{9, 21};
constexpr WireField kAttributes{1, 1};
}  // namespace data

namespace archivefile {  // ArchiveFileInfo
constexpr WireField kId{kReadByTag, 12};
constexpr WireField kValue{kReadByTag, 13};
}  // namespace archivefile

namespace attributes {  // ItemAttributes
constexpr WireField kEmpty{kReadByTag, 18};
}  // namespace attributes

namespace v1 {  // Indexing::BrowseReq
constexpr WireField kQueries{82, 136};
constexpr WireField kHostString{84, 138};
}  // namespace v1

}  // namespace wire

inline void SetInt(CNMessageBase& message, WireField field, long long value) {
  message.setint64(field.index, field.tag, value);
}
inline void SetString(CNMessageBase& message, WireField field, const std::string& value) {
  message.setstring(field.index, field.tag, value);
}
inline void SetChild(CNMessageBase& message, WireField field, const CNMessageBase& child) {
  message.setObjectAccessor(&child, field.index, field.tag);
}
inline void SetList(CNMessageBase& message, WireField field,
                    const std::vector<CNMessageBase>& list) {
  message.setlistobject(field.index, field.tag, &list);
}
inline void SetInts(CNMessageBase& message, WireField field, const std::vector<int>& values) {
  message.setlistint(field.index, field.tag, &values);
}
inline long long IntOf(const CNMessageBase& message, WireField field) {
  return message.getint64(field.tag);
}
inline const std::string& StringOf(const CNMessageBase& message, WireField field) {
  return message.getstring(field.index, field.tag);
}
inline bool IsSet(const CNMessageBase& message, WireField field) {
  return message.isSet(field.index);
}
// The child of class `Child` under the field, created when absent.
template <typename Child>
CNMessageBase* ChildOf(CNMessageBase& message, WireField field, bool ownedByParent = true) {
  return message.getObjectAccessor(true, ownedByParent, field.index, field.tag, Child::kFamily,
                                   Child::kNumber);
}
inline std::vector<CNMessageBase>* ListAt(CNMessageBase& message, WireField field,
                                          bool createIfAbsent) {
  return message.getlistobject(field.index, field.tag, createIfAbsent);
}

#endif  // EXTENTBROWSE_SRC_BROWSER_WIREFIELDS_H
