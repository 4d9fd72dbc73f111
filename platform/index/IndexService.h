// The in-process index service that answers the stand-in browse client and
// the in-process browse request handler.
//
// Hosts (the tool, tests, benchmarks) install a catalogue, configure the
// protocol, delivery and faults, and read back every request the service
// received. The extent browse library never sees this interface.
//
// Thread-safety: every member may be called from any thread. Configure the
// service before browsing starts; records may be read at any time.
#ifndef EBPLATFORM_INDEX_INDEXSERVICE_H
#define EBPLATFORM_INDEX_INDEXSERVICE_H

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "BrowseMessages.h"
#include "IdxBrowseClient.h"

namespace ebindex {

// One extent of an item as the index stores it.
struct Entry {
  unsigned long long extent = 0;
  std::string name;  // the index name; entries of an item are ordered by it, as bytes
  unsigned long long afileId = 0;
  unsigned long long afileValue = 0;
  bool empty = false;
};

// Items keyed by browse path. Paths are compared after turning '\' into '/'
// and dropping one trailing separator.
class Catalogue {
 public:
  // Adds an item without entries, or leaves an existing one as it is.
  void addItem(const std::string& path);
  // Adds an entry to the item, creating the item when needed. An entry with
  // the name of an existing entry of the item replaces it.
  void addEntry(const std::string& path, const Entry& entry);

  // The item's entries ordered by name, or null for an unknown item.
  const std::vector<Entry>* find(const std::string& path) const;
  // The path of the item as it was added, or empty for an unknown item.
  std::string storedPath(const std::string& path) const;
  std::vector<std::string> paths() const;  // as added, in normalised order
  bool empty() const { return items_.empty(); }

  static std::string normalisePath(const std::string& path);

 private:
  struct Item {
    std::string path;
    std::vector<Entry> entries;
  };
  std::map<std::string, Item> items_;  // by normalised path
};

enum class Protocol { V2, V1 };

// How many calls a fault applies to.
constexpr int kAllCalls = -1;

// One response of a scripted answer, sent in place of the real ones.
struct ScriptedResponse {
  enum Kind {
    kNull,            // a null message
    kOtherClass,      // a message of a class other than BrowseResponse
    kErrorCode,       // a response whose first error carries `errorCode`
    kNoBrowseResult,  // a data response without its browse result
    kNoDataList,      // a browse result without its data list
    kEmptyDataList,   // a browse result whose data list is empty
    kEmptyErrorList,  // a data page whose error list is set but empty
    kPage,            // the real data responses of the request, without the end response
    kEnd,             // an end response
  };
  Kind kind;
  int errorCode = 0;

  static ScriptedResponse Of(Kind kind) { return ScriptedResponse{kind, 0}; }
  static ScriptedResponse Error(int code) { return ScriptedResponse{kErrorCode, code}; }
};

// What one call of IdxBrowseClient::Initialize brought.
struct RecordedInitialize {
  int clientId = 0;
  databrowse::BrowseRequest request;
  int timeoutSeconds = 0;
  bool callbackGiven = false;
  bool failed = false;
};

// What one Browse or directBrowse call sent.
struct RecordedBrowse {
  int clientId = 0;  // 0 for the in-process handler
  bool direct = false;
  bool v1 = false;
  bool hadWrapper = false;
  IdxBrowseClientReq wrapper;  // a copy, when there was one
  // The request as the service answered it: a BrowseRequest for V2, an
  // Indexing::BrowseReq for V1, with the queries that were in effect.
  CNMessageBase request{0, 0};
  int result = 0;
};

struct RecordedSetPaths {
  int clientId = 0;
  std::vector<databrowse::BrowsePath> paths;
};

class IndexService {
 public:
  // The service of this process, which every browse client talks to.
  static IndexService& instance();

  // Back to a fresh service: empty catalogue, V2, default host "localhost",
  // 100 items per response, delivery on the caller's thread without delay,
  // no faults, no records.
  void reset();

  void setCatalogue(const Catalogue& catalogue);
  Catalogue catalogue() const;

  void setProtocol(Protocol protocol);
  // The browse host named in a V1 request when the request carries no
  // MaEntity name.
  void setDefaultHost(const std::string& host);
  // The client name DemangleHostName gives for `host`; by default a host's
  // client name is the host name itself.
  void setHostClientName(const std::string& host, const std::string& clientName);
  void setItemsPerResponse(int count);
  void setDeliverOnServiceThread(bool onServiceThread);
  void setResponseDelay(std::chrono::milliseconds delay);

  // Faults, each for the next `calls` calls (kAllCalls: until cleared).
  void failInitialize(int calls = kAllCalls);
  // Browse and directBrowse return `result`, without delivering anything or
  // after delivering the answer.
  void failBrowse(int result, bool afterResponses, int calls = kAllCalls);
  void scriptResponses(const std::vector<ScriptedResponse>& script, int calls = kAllCalls);
  void clearFaults();

  std::vector<RecordedInitialize> initializeCalls() const;
  std::vector<RecordedBrowse> browseCalls() const;
  std::vector<RecordedSetPaths> setPathsCalls() const;
  void clearRecords();

  // --- Used by the browse client and the in-process handler. ---

  int nextClientId();
  // Records the call and tells whether initialisation fails.
  bool onInitialize(int clientId, const databrowse::BrowseRequest& request, int timeoutSeconds,
                    bool callbackGiven);
  Protocol protocol() const;
  // The V1 host string for a request: its MaEntity name, else the default
  // host, with that host's client name.
  std::string hostStringFor(const databrowse::BrowseRequest& request) const;
  std::string clientNameOf(const std::string& host) const;
  void onSetPaths(int clientId, const std::vector<databrowse::BrowsePath>& paths);

  // Answers one request: `request` is the V2 request with the queries in
  // effect. Each response is handed to `deliver` (on the caller's thread or
  // a service thread, as configured) before this returns. `record` is what
  // goes into the records, with its result filled in here.
  int answer(const databrowse::BrowseRequest& request, RecordedBrowse record,
             const std::function<void(CNMessageBase*)>& deliver);

 private:
  IndexService();
  struct State;
  std::unique_ptr<State> state_;
};

// Builds the responses that answer `request` from `catalogue`, in order and
// ending with the end response; `itemsPerResponse` items at most per data
// response. Shared by the service and its tests.
std::vector<databrowse::BrowseResponse> AnswerRequest(const Catalogue& catalogue,
                                                      const databrowse::BrowseRequest& request,
                                                      int itemsPerResponse);

// The responses a scripted answer delivers, in script order. `realAnswer`
// is what AnswerRequest gives for the same request; kPage and
// kEmptyErrorList draw on it. A null entry is a kNull response.
std::vector<std::unique_ptr<CNMessageBase>> ScriptedAnswer(
    const std::vector<ScriptedResponse>& script,
    const std::vector<databrowse::BrowseResponse>& realAnswer);

}  // namespace ebindex

#endif  // EBPLATFORM_INDEX_INDEXSERVICE_H
