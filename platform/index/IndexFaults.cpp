// The faults a host aims at the service's next calls, and their clearing.
#include <algorithm>
#include <mutex>
#include <utility>

#include "ServiceState.h"
#include "ebindex/IndexService.h"

namespace ebindex {

void IndexService::failInitialize(int calls, const std::string& path) {
  FaultRule rule;
  rule.calls = calls;
  rule.path = path.empty() ? path : Catalogue::normalisePath(path);
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.initializeFaults.push_back(rule);
}

void IndexService::failBrowse(int result, bool afterResponses, int calls, const std::string& path) {
  BrowseFault rule;
  rule.calls = calls;
  rule.path = path.empty() ? path : Catalogue::normalisePath(path);
  rule.result = result;
  rule.afterResponses = afterResponses;
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.browseFaults.push_back(rule);
}

void IndexService::scriptResponses(const std::vector<ScriptedResponse>& script, int calls,
                                   const std::string& path) {
  ScriptFault rule;
  rule.calls = calls;
  rule.path = path.empty() ? path : Catalogue::normalisePath(path);
  rule.script = script;
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.scriptFaults.push_back(std::move(rule));
}

void IndexService::clearFaults() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->values.initializeFaults.clear();
  state_->values.browseFaults.clear();
  state_->values.scriptFaults.clear();
}

void IndexService::clearFaults(const std::string& path) {
  const std::string target = Catalogue::normalisePath(path);
  const auto dropAimedAtPath = [&target](auto& rules) {
    rules.erase(std::remove_if(rules.begin(), rules.end(),
                               [&target](const FaultRule& rule) { return rule.path == target; }),
                rules.end());
  };
  std::lock_guard<std::mutex> lock(state_->mutex);
  dropAimedAtPath(state_->values.initializeFaults);
  dropAimedAtPath(state_->values.browseFaults);
  dropAimedAtPath(state_->values.scriptFaults);
}

}  // namespace ebindex
