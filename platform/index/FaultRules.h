// The faults the index service injects, as rules a call uses up. Internal to
// the index service.
#ifndef EBINDEX_FAULTRULES_H
#define EBINDEX_FAULTRULES_H

#include <string>
#include <vector>

#include "ebindex/IndexService.h"

namespace ebindex {

// A fault for the next `calls` calls (kAllCalls: until cleared) of one item,
// or of any item when `path` is empty.
struct FaultRule {
  int calls = 0;
  std::string path;  // normalised

  bool appliesTo(const std::string& normalisedPath) const {
    return calls != 0 && (path.empty() || path == normalisedPath);
  }
  void consume() {
    if (calls > 0) --calls;
  }
};

struct BrowseFault : FaultRule {
  int result = 0;
  bool afterResponses = false;
};

struct ScriptFault : FaultRule {
  std::vector<ScriptedResponse> script;
};

// Uses up the first rule that applies to the path; null when none does.
template <typename Rule>
const Rule* Consume(std::vector<Rule>& rules, const std::string& normalisedPath) {
  for (Rule& rule : rules) {
    if (rule.appliesTo(normalisedPath)) {
      rule.consume();
      return &rule;
    }
  }
  return nullptr;
}

}  // namespace ebindex

#endif  // EBINDEX_FAULTRULES_H
