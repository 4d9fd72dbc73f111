/// @file
/// The in-process index service that answers the stand-in browse client and
/// the in-process browse request handler: its host API.
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

/// The stand-in index service and its host API.
namespace ebindex {

/// The protocol a browse client speaks.
enum class Protocol {
  V2,  ///< The request is sent as the client holds it.
  V1   ///< An `Indexing::BrowseReq` through a browse host.
};

/// How many calls a fault applies to: all of them, until cleared.
constexpr int kAllCalls = -1;

/// The error codes of the index's answers (the first BrowseError of a
/// response, before the end response).
enum IndexErrorCode {
  /// The item is known, but no entry is where the page asked: the extents
  /// asked for are not in the backup.
  kErrorExtentNotFound = 4,
  /// The index holds no item at the browse path: a failure, never an answer
  /// about extents.
  kErrorNoSuchPath = 2,
};

/// One response of a scripted answer, sent in place of the real ones.
struct ScriptedResponse {
  /// What the response is.
  enum Kind {
    kNull,            ///< A null message.
    kOtherClass,      ///< A message of a class other than BrowseResponse.
    kErrorCode,       ///< A response whose first error carries `errorCode`.
    kNoBrowseResult,  ///< A data response without its browse result.
    kNoDataList,      ///< A browse result without its data list.
    kEmptyDataList,   ///< A browse result whose data list is empty.
    kEmptyErrorList,  ///< The first real data page, with an error list that is set but empty.
    kPage,            ///< The real responses of the request, without the end response.
    kEnd,             ///< An end response.
  };
  Kind kind;          ///< What the response is.
  int errorCode = 0;  ///< The error code of a kErrorCode response.

  /// @param kind what the response is.
  /// @return a response of that kind.
  static ScriptedResponse Of(Kind kind) { return ScriptedResponse{kind, 0}; }
  /// @param code the error code; 4 is "requested extent not found".
  /// @return a kErrorCode response.
  static ScriptedResponse Error(int code) { return ScriptedResponse{kErrorCode, code}; }
};

/// What one call of IdxBrowseClient::Initialize brought.
struct RecordedInitialize {
  int clientId = 0;                   ///< The client's number.
  databrowse::BrowseRequest request;  ///< The request it was given.
  int timeoutSeconds = 0;             ///< The timeout it was given.
  bool callbackGiven = false;         ///< Whether it was given a callback object.
  bool failed = false;                ///< Whether its initialisation failed.
  /// Clients made and not yet released, besides this one, when it was
  /// initialised: a browser that lets its old client go first holds one.
  int otherClientsAlive = 0;
};

/// What one Browse or directBrowse call sent.
struct RecordedBrowse {
  int clientId = 0;            ///< The client's number; 0 for the in-process handler.
  bool direct = false;         ///< Sent by the in-process handler.
  bool v1 = false;             ///< Sent with the V1 protocol.
  bool hadWrapper = false;     ///< Sent with a request wrapper.
  IdxBrowseClientReq wrapper;  ///< A copy of the wrapper, when there was one.
  /// The request as the service answered it: a BrowseRequest for V2, an
  /// Indexing::BrowseReq for V1, with the queries that were in effect.
  CNMessageBase request{0, 0};
  int result = 0;  ///< What the call returned.
};

/// What one setPaths call of a client sent.
struct RecordedSetPaths {
  int clientId = 0;                           ///< The client's number.
  std::vector<databrowse::BrowsePath> paths;  ///< The paths it set.
};

/// What a client learns when it is initialised.
struct InitializeOutcome {
  bool failed = false;               ///< Initialisation fails.
  Protocol protocol = Protocol::V2;  ///< The protocol to speak.
  std::string hostString;            ///< The V1 host string: "host*client*port*flags".
};

/// The process's index service: answers every browse of the stand-in
/// browse client and in-process handler from its catalogue.
///
/// Hosts (the tool, tests, benchmarks) install a catalogue and configure the
/// protocol, delivery and faults; tests may also turn recording on and read
/// back every request the service received. The extent browse library never
/// sees this interface.
///
/// Memory: each answer is built, delivered and freed one response at a time,
/// and nothing is recorded unless a host asks, so a long session or a page
/// of a million extents holds no more than one response.
///
/// Thread-safety: every member may be called from any thread, and several
/// browses may be answered at once. Settings and faults are read when a call
/// starts; change them between browses, not during one.
class IndexService {
 public:
  /// @return the service of this process, which every browse client talks to.
  static IndexService& instance();

  /// Back to a fresh service: empty catalogue, V2, default host "localhost",
  /// 100 items per response, delivery on the caller's thread without delay,
  /// no faults, recording off, no records, counts at zero.
  void reset();

  /// Installs the catalogue every later call answers from. Calls already
  /// running finish on the catalogue they started with.
  /// @param catalogue the catalogue; the service keeps it.
  void setCatalogue(Catalogue catalogue);

  /// @param protocol the protocol of clients initialised from now on.
  void setProtocol(Protocol protocol);
  /// The protocol of clients initialised for one item, whatever setProtocol
  /// says.
  /// @param path the item's browse path.
  /// @param protocol its clients' protocol.
  void setProtocolFor(const std::string& path, Protocol protocol);
  /// @param host the browse host named in a V1 request when the request
  ///   carries no MaEntity name.
  void setDefaultHost(const std::string& host);
  /// The client name DemangleHostName gives for a host; by default a host's
  /// client name is the host name itself.
  /// @param host the browse host.
  /// @param clientName its client name.
  void setHostClientName(const std::string& host, const std::string& clientName);
  /// @param count items per data response.
  void setItemsPerResponse(int count);
  /// @param least,most each data response draws its item count from
  ///   [least, most].
  void setItemsPerResponse(int least, int most);
  /// @param onServiceThread deliver responses on a service thread instead of
  ///   the caller's.
  void setDeliverOnServiceThread(bool onServiceThread);
  /// @param delay the wait before each response.
  void setResponseDelay(std::chrono::microseconds delay);
  /// @param least,most each response draws its wait from [least, most].
  void setResponseDelay(std::chrono::microseconds least, std::chrono::microseconds most);

  /// Fails the initialisation of browse clients.
  ///
  /// Faults apply, each, to the next `calls` calls (kAllCalls: until
  /// cleared) of the item at `path`, or of any item when `path` is empty. A
  /// call uses up the first fault of each kind that applies to it.
  /// @param calls,path as above.
  void failInitialize(int calls = kAllCalls, const std::string& path = std::string());
  /// Makes Browse and directBrowse return a failure.
  /// @param result what they return.
  /// @param afterResponses false: without delivering anything; true: after
  ///   delivering the answer.
  /// @param calls,path as for failInitialize().
  void failBrowse(int result, bool afterResponses, int calls = kAllCalls,
                  const std::string& path = std::string());
  /// Answers with scripted responses instead of the real ones.
  /// @param script the responses, in order.
  /// @param calls,path as for failInitialize().
  void scriptResponses(const std::vector<ScriptedResponse>& script, int calls = kAllCalls,
                       const std::string& path = std::string());
  /// Drops every fault.
  void clearFaults();
  /// Drops the faults aimed at one item, so that a host can hand the item to
  /// a new browser without the faults the last one left unused.
  /// @param path the item's browse path; empty for the faults aimed at any
  ///   item.
  void clearFaults(const std::string& path);

  /// Records: off by default. While on, every Initialize, Browse,
  /// directBrowse and setPaths call is kept with deep copies of its messages.
  /// @param on whether to record.
  void setRecording(bool on);
  /// @return whether calls are being recorded.
  bool isRecording() const;
  /// @return the Initialize calls recorded, in order.
  std::vector<RecordedInitialize> initializeCalls() const;
  /// @return the Browse and directBrowse calls recorded, in order.
  std::vector<RecordedBrowse> browseCalls() const;
  /// @return the setPaths calls recorded, in order.
  std::vector<RecordedSetPaths> setPathsCalls() const;
  /// Forgets the records.
  void clearRecords();

  /// @return Browse and directBrowse calls answered since the last reset,
  ///   recorded or not.
  unsigned long long browseCallCount() const;
  /// @return Initialize calls since the last reset, recorded or not.
  unsigned long long initializeCallCount() const;

  /// @name Used by the browse client and the in-process handler
  /// Hosts do not call these.
  ///@{

  /// @return a number for a new client, which counts as alive until released.
  int nextClientId();
  /// A client is gone.
  void onClientReleased();
  /// Counts (and records) an Initialize call and says how the client is to
  /// behave.
  /// @param clientId,request,timeoutSeconds,callbackGiven what the call
  ///   brought (RecordedInitialize).
  /// @return how the client is to behave.
  InitializeOutcome onInitialize(int clientId, const databrowse::BrowseRequest& request,
                                 int timeoutSeconds, bool callbackGiven);
  /// @param host a browse host.
  /// @return its client name.
  std::string clientNameOf(const std::string& host) const;
  /// Records a setPaths call, when recording.
  /// @param clientId,paths what the call brought (RecordedSetPaths).
  void onSetPaths(int clientId, const std::vector<databrowse::BrowsePath>& paths);

  /// Answers one request. Each response is handed to `deliver` (on the
  /// caller's thread or a service thread, as configured) before this
  /// returns.
  /// @param request the BrowseRequest with the queries in effect.
  /// @param protocol the protocol of the client that sent it.
  /// @param record kept when recording is on, with its result filled in here.
  /// @param deliver called once per response.
  /// @return 0, or the failure a fault injects.
  int answer(const databrowse::BrowseRequest& request, Protocol protocol, RecordedBrowse record,
             const std::function<void(CNMessageBase*)>& deliver);

  ///@}

 private:
  IndexService();
  struct State;
  std::unique_ptr<State> state_;
};

/// Every response that answers a request from a catalogue, in order and
/// ending with the end response. The service streams the same answer; this
/// collects it, for tests and tools that want to look at a whole answer.
/// @param catalogue the catalogue to answer from.
/// @param request the request.
/// @param itemsPerResponse items at most per data response.
/// @param protocol the protocol of the client that would have sent it.
/// @return the responses.
std::vector<databrowse::BrowseResponse> AnswerRequest(const Catalogue& catalogue,
                                                      const databrowse::BrowseRequest& request,
                                                      int itemsPerResponse,
                                                      Protocol protocol = Protocol::V2);

}  // namespace ebindex

#endif  // EBINDEX_INDEXSERVICE_H
