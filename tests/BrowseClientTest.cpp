// The browse client and the in-process handler against the index service:
// both protocol flavours, every fault, delivery threads and the records.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "support/IndexFixtures.h"

namespace {

using namespace ebtest;
using Names = std::vector<std::string>;
using S = ebindex::ScriptedResponse;

// The start name of the first query under `listTag`.
std::string StartNameOf(const CNMessageBase& request, int listTag) {
  const std::vector<CNMessageBase>* queries = request.findList(listTag);
  return queries == nullptr || queries->empty() ? "<no query>" : StartNameIn(queries->front());
}

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
  // Two items of /vol/f from `start`, through the browse host `maName`.
  static databrowse::BrowseRequest Request(const std::string& start,
                                           const std::string& maName = "") {
    const databrowse::Query query = PageQuery(start, 0, 2);
    databrowse::BrowseRequest request = NameRequest("/vol/f", &query);
    if (!maName.empty()) {
      request.getObjectAccessor(true, false, 9, 9, 18, 4)->setstring(1, 1, maName);
    }
    return request;
  }
  std::unique_ptr<IdxBrowseClient> Client(const std::string& start = "",
                                          const std::string& maName = "") {
    std::unique_ptr<IdxBrowseClient> client(new IdxBrowseClient());
    EXPECT_EQ(client->Initialize(Request(start, maName), &callback, 2000, nullptr, nullptr), 0);
    return client;
  }

  RecordingCallback callback;
};

TEST_F(BrowseClientTest, V2SendsTheHeldRequestWithTheQueriesInEffect) {
  auto client = Client("0020");
  EXPECT_TRUE(client->isIndexingV2BrowseRequest());
  EXPECT_EQ(client->getV1BrowseReq(), nullptr);
  IdxBrowseClientReq wrapper, noQueries;
  wrapper.queries.push_back(PageQuery("0040"));
  ASSERT_EQ(client->Browse(nullptr, nullptr), 0);
  ASSERT_EQ(client->Browse(&wrapper, nullptr), 0);
  ASSERT_EQ(client->Browse(&noQueries, nullptr), 0);
  // Edits of the client's own queries reach the next browse.
  PagingOf(client->getQueries()->at(0)).setstring(4, 4, "0050");
  ASSERT_EQ(client->Browse(nullptr, nullptr), 0);
  EXPECT_EQ(callback.names(), (Names{"0020", "0030", "0040", "0050", "0020", "0030", "0050"}));
  for (const auto& delivery : callback.deliveries()) EXPECT_TRUE(delivery.typed);

  const auto calls = service().browseCalls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_TRUE(!calls[0].hadWrapper && calls[1].hadWrapper);
  EXPECT_EQ(StartNameOf(calls[1].request, 12), "0040");
  EXPECT_TRUE(calls[3].clientId == client->id() && !calls[3].v1 && !calls[3].direct);
}

TEST_F(BrowseClientTest, V1NamesTheBrowseHostAndSendsTheWrapperOrItsOwnQueries) {
  service().setProtocol(ebindex::Protocol::V1);
  service().setHostClientName("ma1", "client1");
  auto named = Client("0030", "ma1");
  EXPECT_FALSE(named->isIndexingV2BrowseRequest());
  Indexing::BrowseReq* v1 = named->getV1BrowseReq();
  ASSERT_TRUE(v1 != nullptr && v1->getTagID() == Indexing::BrowseReq::classTagID());
  EXPECT_EQ(v1->getstring(84, 138), "ma1*client1*8400*0");
  EXPECT_EQ(v1->findObject(1)->toString(), Request("0030", "ma1").toString());
  EXPECT_EQ(StartNameOf(*v1, 136), "0030");
  EXPECT_EQ(Client()->getV1BrowseReq()->getstring(84, 138), "localhost*localhost*8400*0");
  service().setDefaultHost("hostA");
  EXPECT_EQ(Client()->getV1BrowseReq()->getstring(84, 138), "hostA*hostA*8400*0");

  IdxBrowseClientReq wrapper;
  wrapper.queries.push_back(PageQuery("0050"));
  ASSERT_EQ(named->Browse(&wrapper, nullptr), 0);
  ASSERT_EQ(named->Browse(nullptr, nullptr), 0);
  // Edits of the client's own queries reach the next V1 browse as well, and
  // the V1 request shows them.
  PagingOf(named->getQueries()->at(0)).setstring(4, 4, "0020");
  ASSERT_EQ(named->Browse(nullptr, nullptr), 0);
  EXPECT_EQ(StartNameOf(*named->getV1BrowseReq(), 136), "0020");
  EXPECT_EQ(callback.names(), (Names{"0050", "0030", "0040", "0020", "0030"}));
  const auto calls = service().browseCalls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_TRUE(calls[0].v1 && calls[0].request.getTagID() == Indexing::BrowseReq::classTagID());
  EXPECT_EQ(StartNameOf(calls[0].request, 136), "0050");
  EXPECT_EQ(StartNameOf(calls[1].request, 136), "0030");
}

TEST_F(BrowseClientTest, FaultsAndProtocolsCanBeAimedAtOneItem) {
  service().failBrowse(7, false, ebindex::kAllCalls, "\\vol\\g");
  service().setProtocolFor("/vol/g", ebindex::Protocol::V1);
  service().setItemsPerResponse(1, 2);
  auto client = Client();
  EXPECT_TRUE(client->isIndexingV2BrowseRequest());
  ASSERT_EQ(client->Browse(nullptr, nullptr), 0) << "another item's fault";
  databrowse::Query query = PageQuery("");
  databrowse::BrowseRequest other = NameRequest("/vol/g", &query);
  IdxBrowseClient faulty;
  faulty.Initialize(other, &callback, 2000, nullptr, nullptr);
  EXPECT_FALSE(faulty.isIndexingV2BrowseRequest());
  EXPECT_EQ(faulty.Browse(nullptr, nullptr), 7);
  // Responses of one or two items: two items need one or two data responses.
  const auto deliveries = callback.deliveries();
  ASSERT_TRUE(deliveries.size() == 2 || deliveries.size() == 3) << deliveries.size();
  EXPECT_EQ(service().browseCallCount(), 2u);

  service().failInitialize(ebindex::kAllCalls, "/vol/f");
  service().clearFaults("/vol/g/");
  EXPECT_EQ(faulty.Browse(nullptr, nullptr), 0) << "the item's own fault is dropped";
  IdxBrowseClient clientOfF;
  EXPECT_NE(clientOfF.Initialize(Request(""), &callback, 2000, nullptr, nullptr), 0)
      << "another item's fault stays";
}

TEST(DemangleHostNameTest, SplitsHostClientPortAndFlags) {
  auto demangle = [](const char* text) {
    std::string host = "x", client = "x";
    int port = -1, flags = -1;
    DemangleHostName(text, host, client, port, flags);
    return host + "|" + client + "|" + std::to_string(port) + "|" + std::to_string(flags);
  };
  EXPECT_EQ(demangle("h1*c1*8400*3"), "h1|c1|8400|3");
  EXPECT_EQ(demangle("h2*c2"), "h2|c2|0|0");
  EXPECT_EQ(demangle(nullptr), "||0|0");
}

TEST_F(BrowseClientTest, InitializeIsRecordedAndFailsForTheCallsOfItsFault) {
  service().failInitialize(1);
  IdxBrowseClient failed, never;
  EXPECT_NE(failed.Initialize(Request("0020"), &callback, 2000, nullptr, nullptr), 0);
  EXPECT_TRUE(failed.isInitFailed());
  EXPECT_NE(failed.Browse(nullptr, nullptr), 0);
  EXPECT_NE(never.Browse(nullptr, nullptr), 0);
  EXPECT_FALSE(Client()->isInitFailed());
  EXPECT_TRUE(callback.deliveries().empty() && service().browseCalls().empty());
  EXPECT_TRUE(failed.id() == 1 && never.id() == 2);
  const auto calls = service().initializeCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_TRUE(calls[0].clientId == 1 && calls[0].timeoutSeconds == 2000 && calls[0].callbackGiven);
  EXPECT_EQ(calls[0].request.toString(), Request("0020").toString());
  EXPECT_TRUE(calls[0].failed && !calls[1].failed && calls[1].clientId == 3);
}

TEST_F(BrowseClientTest, BrowseFaultsFailBeforeOrAfterDeliveringForTheirCalls) {
  auto client = Client();
  service().failBrowse(7, false, 1);
  EXPECT_EQ(client->Browse(nullptr, nullptr), 7);
  EXPECT_TRUE(callback.deliveries().empty());
  EXPECT_EQ(client->Browse(nullptr, nullptr), 0);
  service().failBrowse(9, true);
  EXPECT_EQ(client->Browse(nullptr, nullptr), 9);
  EXPECT_EQ(client->Browse(nullptr, nullptr), 9);
  service().clearFaults();
  EXPECT_EQ(client->Browse(nullptr, nullptr), 0);
  EXPECT_EQ(callback.names().size(), 8u);  // two items from each call but the first
  const auto calls = service().browseCalls();
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_TRUE(calls[0].result == 7 && calls[3].result == 9 && calls[4].result == 0);
}

// The kinds the browser's own tests do not reach; the rest are met there.
TEST_F(BrowseClientTest, ScriptedResponsesReplaceTheAnswerForTheirCalls) {
  service().scriptResponses({S::Of(S::kNull), S::Of(S::kEmptyDataList),
                             S::Of(S::kEmptyErrorList), S::Of(S::kEnd)},
                            1);
  auto client = Client("0030");
  ASSERT_EQ(client->Browse(nullptr, nullptr), 0);
  const auto got = callback.deliveries();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_TRUE(got[0].null && !got[0].typed);
  EXPECT_TRUE(got[1].message.findObject(9)->findList(6)->empty());
  EXPECT_TRUE(got[2].message.findList(7)->empty());
  EXPECT_EQ(NamesIn(got[2].message), (Names{"0030", "0040"}));
  EXPECT_EQ(got[3].message.getint64(1), 5);

  ASSERT_EQ(client->Browse(nullptr, nullptr), 0);  // back to the real answer
  EXPECT_EQ(callback.names().size(), 4u);
}

TEST_F(BrowseClientTest, ServiceThreadDeliveryEndsBeforeBrowseReturns) {
  service().setItemsPerResponse(1);
  service().setDeliverOnServiceThread(true);
  service().setResponseDelay(std::chrono::milliseconds(20));
  auto client = Client();
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(client->Browse(nullptr, nullptr), 0);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  const auto got = callback.deliveries();
  ASSERT_EQ(got.size(), 3u);  // two items, then the end response
  EXPECT_EQ(got[2].message.getint64(1), 5);
  for (const auto& delivery : got) EXPECT_NE(delivery.thread, std::this_thread::get_id());
  EXPECT_GE(elapsed, std::chrono::milliseconds(60));
}

TEST_F(BrowseClientTest, TheHandlerAnswersInProcessIntoTheCallbackOrElseTheList) {
  service().setProtocol(ebindex::Protocol::V1);
  auto client = Client("0010");
  Indexing::BrowseReq* request = client->getV1BrowseReq();
  PagingOf(request->getlistobject(82, 136, false)->at(0)).setstring(4, 4, "0040");
  BrowseRequestHandler handler;
  databrowse::BrowseResponseList list;
  service().setDeliverOnServiceThread(true);
  ASSERT_EQ(handler.directBrowse(request, list, &callback), 0);
  EXPECT_EQ(callback.names(), (Names{"0040", "0050"}));
  for (const auto& delivery : callback.deliveries()) EXPECT_FALSE(delivery.typed);
  EXPECT_TRUE(list.findList(1)->empty()) << "a callback gets the responses; nothing piles up";
  ASSERT_EQ(handler.directBrowse(request, list, nullptr), 0);
  ASSERT_EQ(list.findList(1)->size(), 2u);
  EXPECT_EQ(NamesIn(list.findList(1)->front()), (Names{"0040", "0050"}));

  service().failBrowse(3, false, 1);
  EXPECT_EQ(handler.directBrowse(request, list, &callback), 3);
  const auto calls = service().browseCalls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_TRUE(calls[0].direct && calls[0].v1 && !calls[0].hadWrapper && calls[0].clientId == 0);
  EXPECT_EQ(StartNameOf(calls[0].request, 136), "0040");
  EXPECT_EQ(calls[2].result, 3);
}

TEST_F(BrowseClientTest, ClientsOnSeveralThreadsShareTheService) {
  service().setDeliverOnServiceThread(true);
  RecordingCallback callbacks[4];
  std::vector<std::thread> threads;
  for (RecordingCallback& each : callbacks) {
    threads.emplace_back([&each] {
      IdxBrowseClient client;
      client.Initialize(Request(""), &each, 2000, nullptr, nullptr);
      for (int i = 0; i < 10; ++i) client.Browse(nullptr, nullptr);
    });
  }
  // Configuring and reading records while the others browse.
  for (int i = 0; i < 50; ++i) {
    service().setItemsPerResponse(1 + i % 3);
    service().browseCalls();
  }
  for (std::thread& thread : threads) thread.join();
  for (const RecordingCallback& each : callbacks) EXPECT_EQ(each.names().size(), 20u);
  EXPECT_EQ(service().browseCalls().size(), 40u);
}

}  // namespace
