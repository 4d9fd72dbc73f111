// The byte format of the browse response fuzzer's inputs, shared by the
// fuzzer (which decodes and builds) and the seed generator (which turns the
// index service's own answers into inputs). BrowseResponseBytes.cpp reads
// and writes the bytes, BrowseResponseBuild.cpp makes a plan a message, and
// BrowseResponsePlanOf.cpp reads a message back into a plan.
//
// Every multi-byte number is little-endian. Wherever the input ends, the
// bytes still wanted read as zero, so any input decodes; responses and list
// items are only started while bytes remain.
//
//   input    := b0 nameLength name response*
//     b0         bits 0-1 application type (0, 53, 81, 106 in that order),
//                bits 2-5 how many responses at most, less one (1..16),
//                bits 6-7 unused
//     nameLength one signed byte: the browser's extent-name length
//     name       the page name of the completion that follows the responses
//
//   response := kind [body]
//     kind       bits 0-1: 0 no message (null); 1 a message of another class,
//                carrying a body; 2 or 3 a browse response, carrying a body.
//                bit 2: hand it to the typed callback (null and browse
//                responses only; another class always goes through the
//                message callback). bit 3, for a browse response handed to
//                the message callback: a bare message of the response's
//                class rather than a databrowse::BrowseResponse. bits 3-4,
//                for another class: which one (see kOtherClasses).
//   body     := flags [type] [errors] [items]
//     flags      bit 0 type set; bit 1 the type is 8 bytes, not 1;
//                bits 2-3 error list: 0 absent, 1 set but empty, 2-3 errors;
//                bit 4 browse result set; bit 5 its data list set
//     errors     count byte (1 + low 2 bits errors), then per error a flag
//                byte (bit 0 code set, bit 1 code is 8 bytes, not 1) and
//                the code
//     items      count byte (low 6 bits, 0..63), then per item:
//   item     := flags [prefix] [name] [id] [value] [empty]
//     flags      bit 0 path set; bit 1 the path is prefix, 0x12, name (else
//                the name alone); bit 2 archive-file record set; bit 3 its
//                id set; bit 4 its second value set; bit 5 attributes set;
//                bit 6 their empty flag set
//     prefix     length byte and bytes
//     id, value, empty   8 bytes each, present when their flag is
//
//   name     := kind data
//     kind       bits 0-1: 0 raw: length byte and bytes; 1 base32 of an
//                8-byte number at the browser's name length; 2 "Extent" and
//                the number in decimal; 3 "Ext_" and the number in hex
#ifndef EXTENTBROWSE_FUZZ_BROWSERESPONSEINPUT_H
#define EXTENTBROWSE_FUZZ_BROWSERESPONSEINPUT_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "BrowseMessages.h"
#include "extentbrowse/ExtentBrowseTypes.h"

namespace browsefuzz {

constexpr int kAppTypes[] = {0, EB_APP_TYPE_EXCHANGE_DATABASE, EB_APP_TYPE_SQL_DATABASE,
                             EB_APP_TYPE_VIRTUAL_SERVER};
constexpr std::size_t kMaxResponses = 16;
constexpr std::size_t kMaxErrors = 4;
constexpr std::size_t kMaxItems = 63;
// Between an item's path and its extent name in a data item's path field.
constexpr char kItemNameSeparator = '\x12';
// Classes a browse response may be confused with: ones that travel with it
// and ones that merely look alike.
constexpr CNMessageBase::TagID kOtherClasses[] = {
    {databrowse::BrowseError::kFamily, databrowse::BrowseError::kNumber},
    {databrowse::BrowseData::kFamily, databrowse::BrowseData::kNumber},
    {databrowse::BrowseResponseList::kFamily, databrowse::BrowseResponseList::kNumber},
    {databrowse::BrowseResponse::kFamily + 1, databrowse::BrowseResponse::kNumber},
};

struct NamePlan {
  enum Kind { kRaw, kBase32, kDecimal, kHex };
  Kind kind = kRaw;
  std::string raw;
  unsigned long long number = 0;

  std::string Text(int nameLength) const;
};

struct ItemPlan {
  bool hasPath = false;
  bool hasPrefix = false;
  std::string prefix;
  NamePlan name;
  bool hasArchiveFile = false;
  bool hasId = false;
  bool hasValue = false;
  bool hasAttributes = false;
  bool hasEmpty = false;
  unsigned long long id = 0;
  unsigned long long value = 0;
  unsigned long long empty = 0;

  // The path field as sent, when hasPath.
  std::string Path(int nameLength) const;
};

struct ErrorPlan {
  bool hasCode = false;
  bool wide = false;
  unsigned long long code = 0;
};

struct BodyPlan {
  enum ErrorList { kNoErrors, kEmptyErrors, kErrors };
  bool hasType = false;
  bool wideType = false;
  unsigned long long type = 0;
  ErrorList errorList = kNoErrors;
  std::vector<ErrorPlan> errors;
  bool hasResult = false;
  bool hasDataList = false;
  std::vector<ItemPlan> items;
};

struct ResponsePlan {
  enum Kind { kNull, kOtherClass, kBrowseResponse };
  Kind kind = kNull;
  bool typedEntry = false;
  bool bareMessage = false;  // a browse response given as a bare message
  int otherClass = 0;        // index into kOtherClasses
  BodyPlan body;

  // The message to hand to the browser: null for kNull, a
  // databrowse::BrowseResponse when typedEntry or !bareMessage.
  std::unique_ptr<CNMessageBase> Build(int nameLength) const;
};

struct FuzzInput {
  int appTypeIndex = 0;
  int nameLength = 13;
  NamePlan pageName;
  std::vector<ResponsePlan> responses;

  int AppType() const { return kAppTypes[appTypeIndex]; }
};

FuzzInput Decode(const uint8_t* data, std::size_t size);
std::string Encode(const FuzzInput& input);

// A message as the index delivered it, in the format's terms, for seeds.
// Item names are kept raw; lists longer than the format holds are cut.
ResponsePlan PlanOf(const CNMessageBase* message);

}  // namespace browsefuzz

#endif  // EXTENTBROWSE_FUZZ_BROWSERESPONSEINPUT_H
