// The stand-in browse client and in-process handler against the index
// service: what each sends, where responses go, and the faults the
// browser's tests rely on.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <thread>

#include "support/Support.h"

namespace {

using namespace ebtest;
using Names = std::vector<std::string>;
using S = ebindex::ScriptedResponse;

// Records every delivery; may be called on a service thread.
class Recorder : public IdxBrowseClientResp, public DirectIdxBrowseClientResp {
 public:
  struct Delivery {
    bool typed;  // through processResp(databrowse::BrowseResponse*)
    CNMessageBase message;  // a copy; class (0, 0) for a null message
    std::thread::id thread;
  };
  bool processResp(CNMessageBase* message) override { return Record(false, message); }
  bool processResp(databrowse::BrowseResponse* response) override { return Record(true, response); }
  std::vector<Delivery> deliveries;
  Names names;  // of the data items delivered

 private:
  bool Record(bool typed, CNMessageBase* message) {
    std::lock_guard<std::mutex> lock(mutex_);
    deliveries.push_back(
        {typed, message ? *message : CNMessageBase(0, 0), std::this_thread::get_id()});
    for (const std::string& name : NamesIn(deliveries.back().message)) names.push_back(name);
    return true;
  }
  std::mutex mutex_;
};

class BrowseClientTest : public ::testing::Test {
 protected:
  BrowseClientTest() {
    service().reset();
    service().setRecording(true);
    ebindex::Catalogue catalogue;
    for (int i = 1; i <= 5; ++i) {
      catalogue.addEntry("/vol/f", MakeEntry(i, "00" + std::to_string(i) + "0"));
    }
    catalogue.addEntry("/vol/g", MakeEntry(1, "g1"));
    service().setCatalogue(catalogue);
  }
  ~BrowseClientTest() override { service().reset(); }

  static ebindex::IndexService& service() { return ebindex::IndexService::instance(); }
  // Two items of `path` from `start`, through the browse host `maName`.
  std::unique_ptr<IdxBrowseClient> Client(const std::string& start = "",
                                          const std::string& maName = "",
                                          const std::string& path = "/vol/f") {
    const databrowse::Query query = PageQuery(start, 0, 2);
    databrowse::BrowseRequest request = NameRequest(path, &query);
    if (!maName.empty()) {
      request.getObjectAccessor(true, false, 9, 9, 18, 4)->setstring(1, 1, maName);
    }
    std::unique_ptr<IdxBrowseClient> client(new IdxBrowseClient());
    client->Initialize(request, &recorder, 2000, nullptr, nullptr);
    return client;
  }
  static std::string StartName(const CNMessageBase& request, int listTag) {
    return StartNameIn(request.findList(listTag)->front());
  }

  Recorder recorder;
};

TEST_F(BrowseClientTest, EachProtocolSendsTheHeldRequestWithTheQueriesInEffect) {
  for (const ebindex::Protocol protocol : {ebindex::Protocol::V2, ebindex::Protocol::V1}) {
    service().setProtocol(protocol);
    service().clearRecords();
    recorder.names.clear();
    const bool v1 = protocol == ebindex::Protocol::V1;
    auto client = Client("0020");
    EXPECT_EQ(client->isIndexingV2BrowseRequest(), !v1);
    EXPECT_EQ(client->getV1BrowseReq() != nullptr, v1);
    IdxBrowseClientReq wrapper, noQueries;
    wrapper.queries.push_back(PageQuery("0040"));
    ASSERT_EQ(client->Browse(&wrapper, nullptr), 0);
    ASSERT_EQ(client->Browse(&noQueries, nullptr), 0);
    // Edits of the client's own queries reach the next browse, and a V1
    // request shows them.
    PagingOf(client->getQueries()->at(0)).setstring(4, 4, "0050");
    ASSERT_EQ(client->Browse(nullptr, nullptr), 0);
    EXPECT_TRUE(!v1 || StartName(*client->getV1BrowseReq(), 136) == "0050");
    EXPECT_EQ(recorder.names, (Names{"0040", "0050", "0020", "0030", "0050"}));
    const auto calls = service().browseCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_TRUE(calls[0].hadWrapper && calls[0].v1 == v1 && !calls[0].direct);
    EXPECT_EQ(StartName(calls[0].request, v1 ? 136 : 12), "0040");
    EXPECT_EQ(calls[2].clientId, client->id());
  }
  for (const auto& delivery : recorder.deliveries) EXPECT_TRUE(delivery.typed);
}

TEST_F(BrowseClientTest, AV1RequestNamesItsBrowseHost) {
  service().setProtocol(ebindex::Protocol::V1);
  service().setHostClientName("ma1", "client1");
  EXPECT_EQ(Client("", "ma1")->getV1BrowseReq()->getstring(84, 138), "ma1*client1*8400*0");
  EXPECT_EQ(Client()->getV1BrowseReq()->getstring(84, 138), "localhost*localhost*8400*0");
  service().setDefaultHost("hostA");
  EXPECT_EQ(Client()->getV1BrowseReq()->getstring(84, 138), "hostA*hostA*8400*0");
  std::string host = "x", client = "x";
  int port = -1, flags = -1;
  DemangleHostName("h2*c2", host, client, port, flags);
  EXPECT_EQ(host + "|" + client + "|" + std::to_string(port) + std::to_string(flags), "h2|c2|00");
}

TEST_F(BrowseClientTest, FaultsHitTheirItemAndTheirCallsOnly) {
  service().failInitialize(1);
  EXPECT_TRUE(Client()->isInitFailed());
  auto client = Client();
  EXPECT_FALSE(client->isInitFailed());
  EXPECT_NE(IdxBrowseClient().Browse(nullptr, nullptr), 0) << "never initialised";
  service().failBrowse(7, false, 1);
  EXPECT_EQ(client->Browse(nullptr, nullptr), 7);
  EXPECT_TRUE(recorder.deliveries.empty()) << "failed before delivering";
  service().failBrowse(9, true, ebindex::kAllCalls, "\\vol\\f");
  service().setProtocolFor("/vol/g", ebindex::Protocol::V1);
  auto other = Client("", "", "/vol/g");
  EXPECT_FALSE(other->isIndexingV2BrowseRequest());
  EXPECT_EQ(other->Browse(nullptr, nullptr), 0) << "another item's fault";
  EXPECT_EQ(client->Browse(nullptr, nullptr), 9);
  EXPECT_EQ(client->Browse(nullptr, nullptr), 9);
  service().clearFaults();
  EXPECT_EQ(client->Browse(nullptr, nullptr), 0);
  EXPECT_EQ(recorder.names, (Names{"g1", "0010", "0020", "0010", "0020", "0010", "0020"}));
  const auto inits = service().initializeCalls();
  EXPECT_TRUE(inits.size() == 3 && inits[0].failed && !inits[1].failed);
  EXPECT_TRUE(inits[1].timeoutSeconds == 2000 && inits[1].callbackGiven);
}

TEST_F(BrowseClientTest, ScriptedResponsesReplaceTheAnswerForTheirCalls) {
  service().scriptResponses(
      {S::Of(S::kNull), S::Of(S::kEmptyDataList), S::Of(S::kEmptyErrorList), S::Of(S::kEnd)}, 1);
  auto client = Client("0030");
  ASSERT_EQ(client->Browse(nullptr, nullptr), 0);
  const auto got = recorder.deliveries;
  ASSERT_EQ(got.size(), 4u);
  EXPECT_TRUE(got[0].message.getTagID() == CNMessageBase(0, 0).getTagID() && !got[0].typed);
  EXPECT_TRUE(got[1].message.findObject(9)->findList(6)->empty());
  EXPECT_TRUE(got[2].message.findList(7)->empty());
  EXPECT_EQ(NamesIn(got[2].message), (Names{"0030", "0040"}));
  EXPECT_EQ(got[3].message.getint64(1), 5);
  ASSERT_EQ(client->Browse(nullptr, nullptr), 0);  // back to the real answer
  EXPECT_EQ(recorder.names.size(), 4u);
}

TEST_F(BrowseClientTest, ResponsesReachTheCallbackOnTheServiceThreadBeforeTheCallReturns) {
  service().setProtocol(ebindex::Protocol::V1);
  service().setItemsPerResponse(1);
  service().setDeliverOnServiceThread(true);
  auto client = Client("0010");
  ASSERT_EQ(client->Browse(nullptr, nullptr), 0);
  ASSERT_EQ(recorder.deliveries.size(), 3u);  // two items, then the end response
  // The handler answers a V1 request in process, into the callback or else the list.
  Indexing::BrowseReq* request = client->getV1BrowseReq();
  PagingOf(request->getlistobject(82, 136, false)->at(0)).setstring(4, 4, "0040");
  BrowseRequestHandler handler;
  databrowse::BrowseResponseList list;
  ASSERT_EQ(handler.directBrowse(request, list, &recorder), 0);
  EXPECT_TRUE(list.findList(1)->empty()) << "a callback gets the responses; nothing piles up";
  ASSERT_EQ(handler.directBrowse(request, list, nullptr), 0);
  ASSERT_EQ(list.findList(1)->size(), 3u);
  EXPECT_EQ(NamesIn(list.findList(1)->front()), (Names{"0040"}));
  ASSERT_EQ(recorder.deliveries.size(), 6u);
  EXPECT_EQ(recorder.names, (Names{"0010", "0020", "0040", "0050"}));
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(recorder.deliveries[i].typed, i < 3) << i;
    EXPECT_NE(recorder.deliveries[i].thread, std::this_thread::get_id());
  }
  const auto calls = service().browseCalls();
  EXPECT_TRUE(calls[1].direct && calls[1].v1 && !calls[1].hadWrapper && calls[1].clientId == 0);
  EXPECT_EQ(StartName(calls[1].request, 136), "0040");
}

}  // namespace
