// The in-process index service that answers the stand-in browse client and
// the in-process browse request handler.
//
// Hosts (the tool, tests, benchmarks) install a catalogue and configure the
// protocol, delivery and faults; tests may also turn recording on and read
// back every request the service received. The extent browse library never
// sees this interface.
//
// Memory: each answer is built, delivered and freed one response at a time,
// and nothing is recorded unless a host asks, so a long session or a page
// of a million extents holds no more than one response.
//
// Thread-safety: every member may be called from any thread, and several
// browses may be answered at once. Settings and faults are read when a call
// starts; change them between browses, not during one.
#ifndef EBINDEX_INDEXSERVICE_H
#define EBINDEX_INDEXSERVICE_H

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BrowseMessages.h"
#include "IdxBrowseClient.h"
#include "ebindex/Catalogue.h"

namespace ebindex {

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
    kEmptyErrorList,  // the first real data page, with an error list that is set but empty
    kPage,            // the real responses of the request, without the end response
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

// What a client learns when it is initialised.
struct InitializeOutcome {
  bool failed = false;
  Protocol protocol = Protocol::V2;
  std::string hostString;  // the V1 host string: "host*client*port*flags"
};

class IndexService {
 public:
  // The service of this process, which every browse client talks to.
  static IndexService& instance();

  // Back to a fresh service: empty catalogue, V2, default host "localhost",
  // 100 items per response, delivery on the caller's thread without delay,
  // no faults, recording off, no records, counts at zero.
  void reset();

  // Installs the catalogue every later call answers from. Calls already
  // running finish on the catalogue they started with.
  void setCatalogue(Catalogue catalogue);

  void setProtocol(Protocol protocol);
  // The protocol of clients initialised for the item at `path`, whatever
  // setProtocol says.
  void setProtocolFor(const std::string& path, Protocol protocol);
  // The browse host named in a V1 request when the request carries no
  // MaEntity name.
  void setDefaultHost(const std::string& host);
  // The client name DemangleHostName gives for `host`; by default a host's
  // client name is the host name itself.
  void setHostClientName(const std::string& host, const std::string& clientName);
  // Items per data response; with a range, each response draws its own
  // count from [least, most].
  void setItemsPerResponse(int count);
  void setItemsPerResponse(int least, int most);
  void setDeliverOnServiceThread(bool onServiceThread);
  // The wait before each response; with a range, each response draws its
  // own from [least, most].
  void setResponseDelay(std::chrono::microseconds delay);
  void setResponseDelay(std::chrono::microseconds least, std::chrono::microseconds most);

  // Faults, each for the next `calls` calls (kAllCalls: until cleared), of
  // the item at `path`, or of any item when `path` is empty. A call uses up
  // the first fault of each kind that applies to it.
  void failInitialize(int calls = kAllCalls, const std::string& path = std::string());
  // Browse and directBrowse return `result`, without delivering anything or
  // after delivering the answer.
  void failBrowse(int result, bool afterResponses, int calls = kAllCalls,
                  const std::string& path = std::string());
  void scriptResponses(const std::vector<ScriptedResponse>& script, int calls = kAllCalls,
                       const std::string& path = std::string());
  void clearFaults();
  // Drops the faults aimed at the item at `path` (with `path` empty, those
  // aimed at any item), so that a host can hand an item to a new browser
  // without the faults the last one left unused.
  void clearFaults(const std::string& path);

  // Records: off by default. While on, every Initialize, Browse, directBrowse
  // and setPaths call is kept with deep copies of its messages.
  void setRecording(bool on);
  bool isRecording() const;
  std::vector<RecordedInitialize> initializeCalls() const;
  std::vector<RecordedBrowse> browseCalls() const;
  std::vector<RecordedSetPaths> setPathsCalls() const;
  void clearRecords();

  // Calls answered since the last reset, recorded or not.
  unsigned long long browseCallCount() const;
  unsigned long long initializeCallCount() const;

  // --- Used by the browse client and the in-process handler. ---

  int nextClientId();
  // Counts (and records) the call and says how the client is to behave.
  InitializeOutcome onInitialize(int clientId, const databrowse::BrowseRequest& request,
                                 int timeoutSeconds, bool callbackGiven);
  std::string clientNameOf(const std::string& host) const;
  void onSetPaths(int clientId, const std::vector<databrowse::BrowsePath>& paths);

  // Answers one request: `request` is the BrowseRequest with the queries in
  // effect, sent by a client speaking `protocol`. Each response is handed to
  // `deliver` (on the caller's thread or a service thread, as configured)
  // before this returns. `record` is kept when recording is on, with its
  // result filled in here.
  int answer(const databrowse::BrowseRequest& request, Protocol protocol, RecordedBrowse record,
             const std::function<void(CNMessageBase*)>& deliver);

 private:
  IndexService();
  struct State;
  std::unique_ptr<State> state_;
};

// Every response that answers `request` from `catalogue`, in order and
// ending with the end response, with `itemsPerResponse` items at most per
// data response. The service streams the same answer; this collects it, for
// tests and tools that want to look at a whole answer.
std::vector<databrowse::BrowseResponse> AnswerRequest(const Catalogue& catalogue,
                                                      const databrowse::BrowseRequest& request,
                                                      int itemsPerResponse,
                                                      Protocol protocol = Protocol::V2);

}  // namespace ebindex

#endif  // EBINDEX_INDEXSERVICE_H
