// Browse responses come from the index service, so the browser must survive
// any tree a response can be: no message, a message of another class, a
// response with or without its error list, browse result, data list, and
// items with any path and any values. The input (BrowseResponseInput.h) is
// a short browse: a few responses handed one after another to one browser,
// then the completion of the page, then a lookup.
//
// Everything the browser does with a response is predicted beside it by a
// model that knows only how responses are meant to be read, with its own
// converter of the browser's type fed the same names in the same order (old
// scheme names switch a converter's scheme for good, and the scheme decides
// the names it writes). Then:
//  - each callback returns what the model says, and logs what it says;
//  - the extent map, read back with SaveExtentInfo and IsExtentEmpty, is
//    exactly the model's, so it holds nothing but extents named in the input;
//  - the completion records the range the model says. Its end is the number
//    of the last item name of the last response that stored items (unless
//    none did, or the start extent was reported missing, when the range
//    ends where an empty browse's does), so the browser's last item name is
//    a name from the input, or untouched;
//  - a lookup of an extent neither stored nor browsed browses an index that
//    knows nothing. After any failed response it must answer
//    EB_BROWSE_FAILED from that one browse; after only well-formed ones the
//    browse settles it (or, where the ranges already recorded leave no
//    extent one browse can settle, the lookup gives up after a second).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "BrowseMessages.h"
#include "BrowseResponseInput.h"
#include "FuzzSupport.h"
#include "LogWriters.h"
#include "ebindex/IndexService.h"
#include "extentbrowse/EBExtentNameConverter.h"
#include "extentbrowse/ExtentBrowseImpl.h"
#include "extentbrowse/ExtentBrowseTypes.h"
#include "naming/ConverterForAppType.h"

namespace {

using namespace browsefuzz;

constexpr int kRequestedExtentNotFound = 4;
// Where a virtual-server range ends when the index reported nothing.
constexpr unsigned long long kLastNewSchemeExtent = 4294967295ull;
constexpr unsigned long long kLastOldSchemeExtent = 999999999ull;

CCaptureLogWriter& Log() {
  static CCaptureLogWriter* const writer = [] {
    auto* capture = new CCaptureLogWriter(4);
    g_ptrLogWriter = boost::shared_ptr<CLogWriterInterface>(capture);
    return capture;
  }();
  return *writer;
}

std::string Format(const char* format, unsigned long long a, unsigned long long b) {
  char line[128];
  std::snprintf(line, sizeof line, format, a, b);
  return line;
}

struct Record {
  unsigned long long afileId;
  unsigned long long afileValue;
  bool isEmpty;
};

// A converter of the browser's type, fed the same names and ranges as the
// browser's own.
class ConverterModel {
 public:
  ConverterModel(int appType, int nameLength) : appType_(appType), nameLength_(nameLength) {
    converter_ = Fresh();
  }

  unsigned long long Read(const std::string& name) { return converter_->ExtentNameToNum(name); }
  void Add(unsigned long long first, unsigned long long last) {
    converter_->AddToBrowsedExtents(first, last);
  }
  EBExtentNameConverter& operator*() { return *converter_; }
  EBExtentNameConverter* operator->() { return converter_.get(); }

  // The end of the range of a browse that brought no item: a virtual-server
  // browser that has read one of the index's names knows its scheme and
  // claims everything to the scheme's end.
  unsigned long long LastWithoutItems(unsigned long long first, bool nameRead) const {
    if (appType_ != EB_APP_TYPE_VIRTUAL_SERVER || !nameRead) return first;
    return converter_->isNewNamingScheme() ? kLastNewSchemeExtent : kLastOldSchemeExtent;
  }

 private:
  std::unique_ptr<EBExtentNameConverter> Fresh() const {
    return std::unique_ptr<EBExtentNameConverter>(ConverterForAppType(appType_, nameLength_));
  }

  int appType_;
  int nameLength_;
  std::unique_ptr<EBExtentNameConverter> converter_;
};

// The lines the response callbacks write that the model predicts.
bool IsResponseLine(const std::string& message) {
  static const char* const kPrefixes[] = {
      "null pointer received IdxBrowseClientResp callback",
      "Unknown response received in IdxBrowseClientResp callback",
      "END response received.",
      "Requested extent not found in backup",
      "Browse returned error code: ",
      "browse result not set in Browse response",
      "data result not set in Browse response",
      "extentname [",
      "Browse callback successfully processed [",
  };
  for (const char* prefix : kPrefixes) {
    if (message.compare(0, std::char_traits<char>::length(prefix), prefix) == 0) return true;
  }
  return false;
}

// What the browser should make of the responses, response by response.
class Model {
 public:
  Model(int appType, int nameLength) : converter(appType, nameLength) {}

  // The callback's return value; the lines it logs go to `lines`.
  bool Process(const ResponsePlan& response, int nameLength) {
    if (response.kind == ResponsePlan::kNull) {
      return Fail("null pointer received IdxBrowseClientResp callback", false);
    }
    if (response.kind == ResponsePlan::kOtherClass) {
      return Fail("Unknown response received in IdxBrowseClientResp callback", false);
    }
    const BodyPlan& body = response.body;
    // Types and codes are 32-bit values on the index's side.
    const int type = body.hasType ? static_cast<int>(body.type) : 0;
    if (type == databrowse::BROWSE_RESPONSE_END ||
        type == databrowse::BROWSE_RESPONSE_LAST_PAGE_END) {
      lines.push_back("END response received.");
      return true;
    }
    startExtentNotFound = false;
    if (body.errorList == BodyPlan::kErrors && body.errors.front().hasCode) {
      const int code = static_cast<int>(body.errors.front().code);
      if (code == kRequestedExtentNotFound) {
        lines.push_back("Requested extent not found in backup");
        startExtentNotFound = true;
        return true;
      }
      if (code != 0) return Fail("Browse returned error code: " + std::to_string(code), false);
    }
    if (!body.hasResult) return Fail("browse result not set in Browse response", true);
    if (!body.hasDataList) return Fail("data result not set in Browse response", true);

    std::string name;
    for (const ItemPlan& item : body.items) {
      name = item.hasPath ? RealName(item.Path(nameLength)) : std::string();
      const unsigned long long extent = converter.Read(name);
      const unsigned long long id = item.hasArchiveFile && item.hasId ? item.id : 0;
      map[extent] = Record{static_cast<unsigned long long>(static_cast<long long>(
                               static_cast<int>(static_cast<long long>(id)))),
                           item.hasArchiveFile && item.hasValue ? item.value : 0,
                           item.hasAttributes && item.hasEmpty && item.empty != 0};
      std::string written;
      converter->ExtentNumToName(extent, written);
      lines.push_back("extentname [" + written + "].");
    }
    lines.push_back("Browse callback successfully processed [" + std::to_string(body.items.size()) +
                    "] items out of [" + std::to_string(body.items.size()) + "] items received.");
    if (!body.items.empty()) {
      lastItemName = name;
      itemsReceived = true;
    }
    return true;
  }

  // The range the completion of a page starting at `pageName` records.
  std::pair<unsigned long long, unsigned long long> Complete(const std::string& pageName) {
    const unsigned long long first = converter.Read(pageName);
    const unsigned long long last = startExtentNotFound || lastItemName.empty() || !itemsReceived
                                        ? converter.LastWithoutItems(first, itemsReceived)
                                        : converter.Read(lastItemName);
    converter.Add(first, last);
    return {first, last};
  }

  std::string SavedBlock() const {
    std::string block = "START_EXTENT_INFO\n";
    for (const auto& entry : map) {
      block += std::to_string(entry.first) + ' ' + std::to_string(entry.second.afileId) + ' ' +
               std::to_string(entry.second.afileValue) + '\n';
    }
    return block + "END_EXTENT_INFO\n";
  }

  ConverterModel converter;
  std::map<unsigned long long, Record> map;
  std::vector<std::string> lines;
  bool failed = false;
  bool startExtentNotFound = false;
  bool itemsReceived = false;  // so the converter has read one of the index's names
  std::string lastItemName;

 private:
  bool Fail(const std::string& line, bool result) {
    lines.push_back(line);
    failed = true;
    return result;
  }

  static std::string RealName(const std::string& path) {
    const std::string::size_type separator = path.find(kItemNameSeparator);
    return separator == std::string::npos ? path : path.substr(separator + 1);
  }
};

bool Deliver(ExtentBrowseImpl& browser, const ResponsePlan& plan, int nameLength) {
  std::unique_ptr<CNMessageBase> message = plan.Build(nameLength);
  if (!plan.typedEntry) return browser.IdxBrowseClientProcessRespCallback(message.get());
  // Build made a real response object for the typed callback.
  return browser.IdxBrowseClientProcessRespCallback(
      static_cast<databrowse::BrowseResponse*>(message.get()));
}

std::vector<std::string> ResponseLines() {
  std::vector<std::string> lines;
  for (const std::string& message : Log().messages()) {
    if (IsResponseLine(message)) lines.push_back(message);
  }
  return lines;
}

// An extent the lookup will have to browse for; false when every candidate
// is stored or browsed.
bool PickLookupExtent(Model& model, std::pair<unsigned long long, unsigned long long> range,
                      unsigned long long& extent) {
  std::vector<unsigned long long> candidates;
  for (unsigned long long n = 1; n <= 128; ++n) candidates.push_back(n);
  for (unsigned long long n :
       {range.first - 1, range.second, range.second + 1, range.first + 1, ~0ull, 0ull}) {
    candidates.push_back(n);
  }
  for (unsigned long long n : candidates) {
    if (model.map.count(n) != 0 || model.converter->IsExtentAlreadyBrowsed(n)) continue;
    extent = n;
    return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CCaptureLogWriter& log = Log();
  const FuzzInput input = Decode(data, size);
  ebindex::IndexService& index = ebindex::IndexService::instance();
  index.reset();  // an index that knows nothing: every lookup's browse finds no extent

  SCParams params;
  params.appType = input.AppType();
  ExtentBrowseImpl browser(params, "/fuzz/item", nullptr, EB_MODE_DEFAULT, 100, input.nameLength,
                           false, 0, "");
  Model model(input.AppType(), input.nameLength);

  log.clear();
  for (const ResponsePlan& response : input.responses) {
    const bool expected = model.Process(response, input.nameLength);
    if (Deliver(browser, response, input.nameLength) != expected) {
      Broken("a response callback returned other than its response calls for");
    }
  }
  if (ResponseLines() != model.lines) Broken("the response callbacks logged other than expected");

  std::stringstream saved;
  if (!browser.SaveExtentInfo(&saved)) Broken("the extent map could not be saved");
  if (saved.str() != model.SavedBlock()) Broken("the extent map is not what the responses hold");
  for (const auto& entry : model.map) {
    if (browser.IsExtentEmpty(static_cast<unsigned long>(entry.first)) != entry.second.isEmpty) {
      Broken("an extent's empty flag is not what its item said");
    }
  }

  // The completion of the page these responses answered. Its range ends at
  // the browser's last item name, which the browser keeps to itself.
  const std::string pageName = input.pageName.Text(input.nameLength);
  const std::pair<unsigned long long, unsigned long long> range = model.Complete(pageName);
  log.clear();
  if (!browser.OnBrowseCompletionCallBack(pageName, EB_BROWSE_COMPLETED)) {
    Broken("a completed browse was refused");
  }
  const std::string expectedRange =
      Format("Added to browsedExtents: (%llu, %llu)", range.first, range.second);
  if (log.count(expectedRange) != 1 || log.countPrefix("Added to browsedExtents: ") != 1) {
    Broken("the completion recorded a range that does not end at the last item received");
  }

  // The failure flag, seen through a lookup of an extent the browser must
  // browse for. The index knows nothing, so a sound browser hears that the
  // extent is absent from its own page; a failed one reports the failure.
  // Either way one browse answers.
  unsigned long long extent = 0;
  if (!PickLookupExtent(model, range, extent)) return 0;
  const ExtentBrowseResult want = model.failed ? EB_BROWSE_FAILED : EB_EXTENT_NOT_FOUND;
  unsigned long long afileId = 0;
  unsigned long long afileValue = 0;
  const ExtentBrowseResult got = browser.GetAFInfo(extent, afileId, afileValue);
  if (index.browseCallCount() != 1) Broken("the lookup browsed other than once");
  if (got != want) {
    Broken(model.failed ? "a failed response left the browser looking sound"
                        : "well-formed responses left the browser failed");
  }
  return 0;
}
