// The faults the index service can inject, drawn at random, and what each
// allows a browser it reaches.
#include "harness/Harness.h"

namespace harness {

namespace {

using S = ebindex::ScriptedResponse;

// Each scripted response, and whether it fails the browse it is part of
// (an error does, unless its code is 4: not in the backup).
const struct {
  const char* name;
  bool fails;
} kSteps[] = {{"null", true},  {"other class", true},  {"error", true},  {"no browse result", true},
              {"no data list", true},  {"empty data list", false},  {"empty error list", false},
              {"page", false},  {"end", false}};

}  // namespace

Fault DrawFault(Random& random) {
  Fault fault;
  fault.calls = random() % 8 == 0 ? ebindex::kAllCalls : 1 + static_cast<int>(random() % 3);
  const unsigned int roll = random() % 20;
  if (roll < 4) return fault;  // initialisation fails
  if (roll < 11) {
    fault.kind = Fault::kBrowse;
    fault.result = random() % 3 == 0 ? 0 : static_cast<int>(random() % 9) - 1;
    fault.afterResponses = random() % 2 == 0;
    return fault;
  }
  fault.kind = Fault::kScript;
  if (random() % 5 == 0) {  // the whole answer, once or with its first page twice
    fault.script = {S::Of(S::kEmptyErrorList), S::Of(S::kPage), S::Of(S::kEnd)};
    fault.script.erase(fault.script.begin(), fault.script.begin() + random() % 2);
    return fault;
  }
  for (int length = 1 + random() % 4; length > 0; --length) {
    S step = S::Of(static_cast<S::Kind>(random() % (S::kEnd + 1)));
    if (step.kind == S::kErrorCode || step.kind == S::kOtherClass) {
      const unsigned int code = random() % 10;
      step.errorCode = code < 4 ? 4 : code == 4 ? 0 : 1 + static_cast<int>(random() % 99);
    }
    fault.script.push_back(step);
  }
  return fault;
}

bool Fault::mayFail() const {
  if (kind == kInitialize) return true;
  if (kind == kBrowse) return result != 0 || !afterResponses;
  // A browse has its answer only from an end response or error 4.
  bool answered = false;
  for (const S& step : script) {
    const bool notInBackup = step.kind == S::kErrorCode && step.errorCode == 4;
    if (kSteps[step.kind].fails && !notInBackup) return true;
    answered = answered || notInBackup || step.kind == S::kEnd;
  }
  return !answered;
}

// Error 4, an empty data list, and an end before the whole real answer
// (which only kPage replays; kEmptyErrorList brings its first response).
bool Fault::claimsAbsence() const {
  bool page = false;
  for (const S& step : script) {
    if ((step.kind == S::kErrorCode && step.errorCode == 4) || step.kind == S::kEmptyDataList ||
        (step.kind == S::kEnd && !page)) {
      return true;
    }
    page = page || step.kind == S::kPage;
  }
  return false;
}

std::string Fault::describe() const {
  std::string text = kind == kInitialize ? "failInitialize"
                     : kind == kBrowse
                         ? "failBrowse(" + std::to_string(result) +
                               (afterResponses ? ", after" : ", before") + " the answer)"
                         : "scriptResponses [";
  for (const S& step : script) {
    text += (text.back() == '[' ? "" : ", ") + std::string(kSteps[step.kind].name) +
            (step.kind == S::kErrorCode ? " " + std::to_string(step.errorCode) : "");
  }
  return text + (kind == kScript ? "]" : "") +
         (calls == ebindex::kAllCalls ? " for all calls"
                                      : " for " + std::to_string(calls) + " calls");
}

void Fault::arm(const std::string& path) const {
  ebindex::IndexService& index = ebindex::IndexService::instance();
  if (kind == kInitialize) index.failInitialize(calls, path);
  if (kind == kBrowse) index.failBrowse(result, afterResponses, calls, path);
  if (kind == kScript) index.scriptResponses(script, calls, path);
}

}  // namespace harness
