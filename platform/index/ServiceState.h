// What the index service holds: its settings, faults and records, behind one
// mutex. Internal to the index service; shared by the files that configure,
// inject, record and answer.
#ifndef EBINDEX_SERVICESTATE_H
#define EBINDEX_SERVICESTATE_H

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "FaultRules.h"
#include "ebindex/Catalogue.h"
#include "ebindex/IndexService.h"

namespace ebindex {

struct IndexService::State {
  // Everything reset() puts back, kept apart from the mutex so that it can be
  // replaced in one assignment.
  struct Values {
    // Shared so that a call can answer from it after releasing the mutex,
    // even if a host installs another catalogue meanwhile.
    std::shared_ptr<const Catalogue> catalogue = std::make_shared<const Catalogue>();
    Protocol protocol = Protocol::V2;
    std::map<std::string, Protocol> protocolByPath;  // by normalised path
    std::string defaultHost = "localhost";
    std::map<std::string, std::string> clientNames;
    int leastItemsPerResponse = 100;
    int mostItemsPerResponse = 100;
    bool deliverOnServiceThread = false;
    std::chrono::microseconds leastDelay{0};
    std::chrono::microseconds mostDelay{0};
    int nextClientId = 1;

    std::vector<FaultRule> initializeFaults;
    std::vector<BrowseFault> browseFaults;
    std::vector<ScriptFault> scriptFaults;

    bool recording = false;
    std::vector<RecordedInitialize> initializeCalls;
    std::vector<RecordedBrowse> browseCalls;
    std::vector<RecordedSetPaths> setPathsCalls;
    unsigned long long browseCount = 0;
    unsigned long long initializeCount = 0;
  };

  mutable std::mutex mutex;
  Values values;
  // Clients alive, whatever resets the values meanwhile.
  int liveClients = 0;

  // Under the mutex.
  std::string clientNameOf(const std::string& host) const {
    auto found = values.clientNames.find(host);
    return found == values.clientNames.end() ? host : found->second;
  }
};

}  // namespace ebindex

#endif  // EBINDEX_SERVICESTATE_H
