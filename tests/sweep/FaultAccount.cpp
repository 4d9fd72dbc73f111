// Telling which armed faults a browser's calls reached: the index uses up
// one fault of each kind per call, the first armed first, and counts its
// calls, so the counts say which faults were used.
#include "sweep/Sweep.h"

namespace sweep {

namespace {

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
  withEnd.script.push_back(ebindex::ScriptedResponse::Of(ebindex::ScriptedResponse::kEnd));
  return std::string("script") + (withEnd.mayFail() ? " that fails" : "") +
         (fault.mayFail() && !withEnd.mayFail() ? " without an end" : "") +
         (fault.claimsAbsence() ? " claiming absence" : "");
}

}  // namespace

FaultAccount::FaultAccount()
    : initCount_(ebindex::IndexService::instance().initializeCallCount()),
      browseCount_(ebindex::IndexService::instance().browseCallCount()) {}

void FaultAccount::arm(const Fault& fault) {
  auto& rules = fault.kind == Fault::kInitialize ? initRules_
                : fault.kind == Fault::kBrowse   ? browseRules_
                                                 : scriptRules_;
  rules.emplace_back(fault, fault.calls);
}

// A Browse fault that answers before the responses keeps a script unseen.
void FaultAccount::afterCall(Standing& standing) {
  const ebindex::IndexService& index = ebindex::IndexService::instance();
  std::vector<const Fault*> reached;
  for (auto n = index.initializeCallCount() - initCount_; n > 0; --n) {
    reached.push_back(Consume(initRules_));
  }
  for (auto n = index.browseCallCount() - browseCount_; n > 0; --n) {
    const Fault* browse = Consume(browseRules_);
    const Fault* script = Consume(scriptRules_);
    reached.push_back(browse);
    if (browse == nullptr || browse->afterResponses) reached.push_back(script);
  }
  for (const Fault* fault : reached) {
    if (fault == nullptr) continue;
    fired_.insert(Label(*fault));
    standing.mayFail = standing.mayFail || fault->mayFail();
    standing.absenceClaimed = standing.absenceClaimed || fault->claimsAbsence();
  }
  initCount_ = index.initializeCallCount();
  browseCount_ = index.browseCallCount();
}

std::string FaultAccount::fired() const {
  std::string text;
  for (const std::string& label : fired_) text += (text.empty() ? "" : ", ") + label;
  return text.empty() ? "none" : text;
}

}  // namespace sweep
