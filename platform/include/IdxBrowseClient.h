// The index browse client of the platform, its request wrapper, the
// in-process browse request handler and the two callback interfaces through
// which responses come back.
//
// The stand-in answers from the in-process index service (IndexService.h).
// Browse and directBrowse return only after every response of the request
// has been handed to the callback object, whichever thread delivered it.
#ifndef EBPLATFORM_IDXBROWSECLIENT_H
#define EBPLATFORM_IDXBROWSECLIENT_H

#include <string>
#include <vector>

#include "BrowseMessages.h"

// Callback interface of the remote browse client. The service calls one of
// the two operations once per response; the typed one for browse responses.
class IdxBrowseClientResp {
 public:
  IdxBrowseClientResp() = default;
  virtual bool processResp(CNMessageBase* message) = 0;
  virtual bool processResp(databrowse::BrowseResponse* response) = 0;

 protected:
  // Never deleted through this interface.
  ~IdxBrowseClientResp() = default;
};

// Callback interface of the in-process browse request handler.
class DirectIdxBrowseClientResp {
 public:
  DirectIdxBrowseClientResp() : reserved(0) {}
  virtual bool processResp(CNMessageBase* message) = 0;

  long long reserved;  // the handler's own; unused by its callers

 protected:
  ~DirectIdxBrowseClientResp() = default;
};

// Lets a caller stop a browse early. The stand-in never asks it.
class IdxBrowseClientInterrupt {
 public:
  virtual ~IdxBrowseClientInterrupt() = default;
  virtual bool isInterrupted() = 0;
};

// Per-page changes sent with a request the client already holds.
struct IdxBrowseClientReq {
  std::string path;
  int pagingOffset = 0;
  std::vector<databrowse::Query> queries;
  std::vector<databrowse::ExtentRange> extentRanges;
  std::string instanceName;  // unused by the extent browser; empty
};

// One client serves many requests: Initialize fixes the request, each Browse
// sends it again with the changes of the call.
//
// Thread-safety: one thread at a time per client.
class IdxBrowseClient {
 public:
  IdxBrowseClient();
  IdxBrowseClient(const IdxBrowseClient&) = delete;
  IdxBrowseClient& operator=(const IdxBrowseClient&) = delete;
  ~IdxBrowseClient();

  // Keeps `request` and the callback object for the client's life.
  // `timeoutSeconds` bounds a browse's wait for the index; the reserved
  // arguments may be null. The result is 0, or non-zero when
  // initialisation failed (isInitFailed tells the same).
  int Initialize(databrowse::BrowseRequest request, IdxBrowseClientResp* callback,
                 int timeoutSeconds, const char* reserved, IdxBrowseClientInterrupt* interrupt);
  bool isInitFailed() const;

  // False when the service speaks the V1 protocol: the client then holds an
  // Indexing::BrowseReq, which getV1BrowseReq returns.
  bool isIndexingV2BrowseRequest() const;
  Indexing::BrowseReq* getV1BrowseReq();

  // The held request's queries, V1 or V2; edits reach the next Browse.
  std::vector<databrowse::Query>* getQueries();
  // Replaces the held request's paths.
  void setPaths(std::vector<databrowse::BrowsePath>* paths);
  std::string serializeRequest() const;

  // Sends the held request, with the wrapper's queries when a wrapper is
  // given. `responses` must be null: responses go to the callback object.
  // Returns 0 on success, non-zero on failure.
  int Browse(IdxBrowseClientReq* wrapper, databrowse::BrowseResponseList* responses);

  // The client's number in the service's records.
  int id() const { return id_; }

 private:
  // A V1 request keeps its queries as messages in the request itself; the
  // typed list getQueries hands out is copied back before the request is
  // next used, so that edits through either reach the index.
  void syncV1Queries();

  int id_;
  bool initFailed_ = false;
  bool initialized_ = false;
  IdxBrowseClientResp* callback_ = nullptr;
  databrowse::BrowseRequest request_;
  std::vector<databrowse::Query> queries_;
  bool v1_ = false;
  bool v1QueriesHandedOut_ = false;
  Indexing::BrowseReq v1Request_;
};

// Answers V1 requests in process, without a browse client.
class BrowseRequestHandler {
 public:
  BrowseRequestHandler();
  // Hands every response to `callback` before returning, or adds it to
  // `responses` when `callback` is null. The result is 0 when the request
  // could be answered.
  int directBrowse(Indexing::BrowseReq* request, databrowse::BrowseResponseList& responses,
                   DirectIdxBrowseClientResp* callback);
};

// Splits a V1 host string "host*client*port*flags" into its parts. Missing
// parts come out empty or zero.
void DemangleHostName(const char* hostString, std::string& hostName, std::string& clientName,
                      int& port, int& flags);

#endif  // EBPLATFORM_IDXBROWSECLIENT_H
