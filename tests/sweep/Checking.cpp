// Judging each answer against the catalogue. The only allowances are the
// index's own: a fault that reached the browser may fail it, and an answer
// that says extents are absent may be believed.
#include <cstdio>
#include <sstream>

#include "extentbrowse/ExtentBrowseTypes.h"
#include "sweep/Sweep.h"

namespace sweep {

namespace {

using ebindex::ScriptedResponse;
constexpr unsigned long long kUntouched = 0xDEADBEEFull;

const char* const kStepNames[] = {"null",
                                  "other class",
                                  "error",
                                  "no browse result",
                                  "no data list",
                                  "empty data list",
                                  "empty error list",
                                  "page",
                                  "end"};

const Fault* Consume(std::vector<std::pair<Fault, int>>& rules) {
  for (auto& rule : rules) {
    if (rule.second == 0) continue;
    if (rule.second > 0) --rule.second;
    return &rule.first;
  }
  return nullptr;
}

// The class of a fault, for counting wrong answers by what caused them.
std::string Label(const Fault& fault) {
  if (fault.kind == Fault::kInitialize) return "failInitialize";
  if (fault.kind == Fault::kBrowse) {
    return std::string("failBrowse(") + (fault.result != 0 ? "non-zero" : "0") +
           (fault.afterResponses ? ", after)" : ", before)");
  }
  Fault withEnd = fault;
  withEnd.script.push_back(ScriptedResponse::Of(ScriptedResponse::kEnd));
  return std::string("script") + (withEnd.mayFail() ? " that fails" : "") +
         (fault.mayFail() && !withEnd.mayFail() ? " without an end" : "") +
         (fault.claimsAbsence() ? " claiming absence" : "");
}

}  // namespace

bool Fault::mayFail() const {
  if (kind == kInitialize) return true;
  if (kind == kBrowse) return result != 0 || !afterResponses;
  // A browse has its answer only from an end response or error 4.
  using S = ScriptedResponse;
  bool answered = false;
  for (const S& step : script) {
    const bool notInBackup = step.kind == S::kErrorCode && step.errorCode == 4;
    if ((step.kind == S::kErrorCode && !notInBackup) || step.kind == S::kNull ||
        step.kind == S::kOtherClass || step.kind == S::kNoBrowseResult ||
        step.kind == S::kNoDataList) {
      return true;
    }
    answered = answered || notInBackup || step.kind == S::kEnd;
  }
  return !answered;
}

// Error 4, an empty data list, and an end before the whole real answer
// (which only kPage replays; kEmptyErrorList brings its first response).
bool Fault::claimsAbsence() const {
  if (kind != kScript) return false;
  bool page = false;
  for (const ScriptedResponse& step : script) {
    if ((step.kind == ScriptedResponse::kErrorCode && step.errorCode == 4) ||
        step.kind == ScriptedResponse::kEmptyDataList ||
        (step.kind == ScriptedResponse::kEnd && !page)) {
      return true;
    }
    page = page || step.kind == ScriptedResponse::kPage;
  }
  return false;
}

std::string Fault::describe() const {
  std::string text = kind == kInitialize ? "failInitialize"
                     : kind == kBrowse
                         ? "failBrowse(" + std::to_string(result) +
                               (afterResponses ? ", after the answer)" : ", before the answer)")
                         : "scriptResponses [";
  for (std::size_t i = 0; i < script.size(); ++i) {
    text += (i > 0 ? ", " : "") + std::string(kStepNames[script[i].kind]);
    if (script[i].kind == ScriptedResponse::kErrorCode)
      text += " " + std::to_string(script[i].errorCode);
  }
  if (kind == kScript) text += "]";
  return text + (calls == ebindex::kAllCalls ? " for all calls"
                                             : " for " + std::to_string(calls) + " calls");
}

bool ReadBlock(const std::string& block, std::vector<Extent>& records) {
  std::istringstream in(block);
  std::string line;
  if (!std::getline(in, line) || line != "START_EXTENT_INFO") return false;
  while (std::getline(in, line) && line != "END_EXTENT_INFO") {
    Extent record{0, 0, 0, false};
    char extra = 0;
    if (std::sscanf(line.c_str(), "%llu %llu %llu%c", &record.number, &record.afileId,
                    &record.afileValue, &extra) != 3 ||
        (!records.empty() && record.number <= records.back().number)) {
      return false;
    }
    records.push_back(record);
  }
  return line == "END_EXTENT_INFO";
}

Judge::Judge(const Item& item, const BrowserPlan& plan, const std::string& seedBlock)
    : item_(item), plan_(plan) {
  std::vector<Extent> records;
  ReadBlock(seedBlock, records);
  for (const Extent& record : records) seeded_.insert(record.number);
  afterCall();  // nothing is armed yet: this only takes the counts
}

void Judge::arm(const Fault& fault) {
  auto& rules = fault.kind == Fault::kInitialize ? initRules_
                : fault.kind == Fault::kBrowse   ? browseRules_
                                                 : scriptRules_;
  rules.emplace_back(fault, fault.calls);
}

// The index uses up one rule of each kind per call, the first armed first;
// a Browse fault that answers before the responses keeps a script unseen.
void Judge::afterCall() {
  const ebindex::IndexService& index = ebindex::IndexService::instance();
  std::vector<const Fault*> reached;
  for (auto n = index.initializeCallCount() - initCount_; n > 0; --n)
    reached.push_back(Consume(initRules_));
  for (auto n = index.browseCallCount() - browseCount_; n > 0; --n) {
    const Fault* browse = Consume(browseRules_);
    const Fault* script = Consume(scriptRules_);
    reached.push_back(browse);
    if (browse == nullptr || browse->afterResponses) reached.push_back(script);
  }
  for (const Fault* fault : reached) {
    if (fault == nullptr) continue;
    fired_.insert(Label(*fault));
    mayFail_ = mayFail_ || fault->mayFail();
    absenceClaimed_ = absenceClaimed_ || fault->claimsAbsence();
  }
  initCount_ = index.initializeCallCount();
  browseCount_ = index.browseCallCount();
}

std::string Judge::lookup(unsigned long long extent, unsigned long long rangeStart, int result,
                          unsigned long long afileId, unsigned long long afileValue) {
  const Extent* expected = item_.find(extent);
  // Records are never dropped: one the map holds answers whatever failed.
  const bool held = seeded_.count(extent) != 0 || brought_.count(extent) != 0;
  if (result != EB_EXTENT_FOUND && held) return "GetAFInfo did not find an extent its map holds";
  if (result == EB_EXTENT_FOUND) {
    if (expected == nullptr) return "GetAFInfo found an absent extent";
    if (afileId != expected->afileId || afileValue != expected->afileValue) {
      return "GetAFInfo found wrong archive-file values";
    }
    if (seeded_.count(extent) == 0) brought_.insert(extent);
    return "";
  }
  if (afileId != kUntouched || afileValue != kUntouched)
    return "GetAFInfo set its outputs without finding";
  if (result == EB_EXTENT_NOT_FOUND) {
    return expected == nullptr || absenceClaimed_ ? "" : "GetAFInfo not-found for a present extent";
  }
  if (result != EB_BROWSE_FAILED) return "GetAFInfo gave an unknown result";
  const bool rangeHolds =
      rangeStart == kNoRange || (extent >= rangeStart && extent - rangeStart < plan_.pageSize);
  return mayFail_ || !rangeHolds ? "" : "GetAFInfo browse-failed without a fault";
}

std::string Judge::empty(unsigned long long extent, bool answer) const {
  const Extent* expected = item_.find(extent);
  if (answer && (expected == nullptr || !expected->empty))
    return "IsExtentEmpty true for an extent that is not empty";
  if (!answer && expected != nullptr && expected->empty && brought_.count(extent) != 0) {
    return "IsExtentEmpty false for an empty extent a browse brought";
  }
  return "";
}

std::string Judge::enumeration(bool opened, const Listing& listed) {
  if (!opened) return mayFail_ ? "" : "OpenEnum null without a fault";
  // A whole listing has brought every record with its flag; unless it is
  // whole, a record from the seed block may still carry none, and read false.
  const bool whole = listed.size() == item_.extents.size() && !absenceClaimed_;
  for (std::size_t i = 0; i < listed.size(); ++i) {
    const unsigned long long n = listed[i].first;
    const Extent* expected = item_.find(n);
    if (i > 0 && n <= listed[i - 1].first) return "EnumExtent out of order or repeated";
    if (expected == nullptr) return "EnumExtent listed an absent extent";
    const bool unflagged = !whole && seeded_.count(n) != 0 && brought_.count(n) == 0;
    if (listed[i].second != expected->empty && (listed[i].second || !unflagged)) {
      return "EnumExtent gave a wrong empty flag";
    }
    if (whole || seeded_.count(n) == 0) brought_.insert(n);
  }
  return listed.size() == item_.extents.size() || absenceClaimed_
             ? ""
             : "OpenEnum listed part of the item";
}

std::string Judge::saved(const std::string& block) const {
  std::vector<Extent> records;
  if (!ReadBlock(block, records)) return "SaveExtentInfo wrote no well-formed block";
  for (const Extent& record : records) {
    const Extent* expected = item_.find(record.number);
    if (expected == nullptr || expected->afileId != record.afileId ||
        expected->afileValue != record.afileValue) {
      return "SaveExtentInfo saved a record the catalogue does not hold";
    }
  }
  return "";
}

std::string Judge::firedFaults() const {
  std::string text;
  for (const std::string& label : fired_) text += (text.empty() ? "" : ", ") + label;
  return text.empty() ? "none" : text;
}

}  // namespace sweep
