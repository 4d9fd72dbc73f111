// The stand-in index service and browse client: how the index answers, what
// a client sends, where responses go, and the faults the browser's tests
// rely on.
#include <gtest/gtest.h>

#include <memory>

#include "ebindex/ExtentNames.h"
#include "support/Support.h"

namespace {

using namespace ebtest;
using ebindex::ExtentName;
using ebindex::NameScheme;
using Names = std::vector<std::string>;

// A data query of `size` items after `offset`, from the name `start`.
databrowse::Query PageQuery(const std::string& start, unsigned long long offset = 0,
                            long long size = 2) {
  databrowse::Query query;
  query.setint64(1, 1, 0);
  PagingOf(query).setint64(2, 2, static_cast<long long>(offset));
  PagingOf(query).setint64(3, 3, size);
  PagingOf(query).setstring(4, 4, start);
  return query;
}

// A request for `path` by name (browse mode 2), or for an extent range (3).
databrowse::BrowseRequest Request(const std::string& path, const databrowse::Query& query,
                                  bool ranged = false, unsigned long long start = 0,
                                  unsigned long long count = 0) {
  databrowse::BrowsePath browsePath;
  browsePath.setstring(1, 1, path);
  if (ranged) {
    databrowse::ExtentRange range;
    range.setint64(1, 1, static_cast<long long>(start));
    range.setint64(2, 2, static_cast<long long>(count));
    browsePath.getObjectAccessor(true, true, 2, 5, databrowse::BrowsePathParameters::kFamily,
                                 databrowse::BrowsePathParameters::kNumber)
        ->getlistobject(3, 6, true)
        ->push_back(range);
  }
  databrowse::BrowseRequest request;
  request.getObjectAccessor(true, true, 8, 8, databrowse::BrowseMode::kFamily,
                            databrowse::BrowseMode::kNumber)
      ->setint64(1, 1, ranged ? 3 : 2);
  request.getlistobject(4, 4, true)->push_back(browsePath);
  request.getlistobject(12, 12, true)->push_back(query);
  return request;
}

Names NamesIn(const CNMessageBase& response) {
  Names names;
  const CNMessageBase* result = response.findObject(9);
  const std::vector<CNMessageBase>* items = result != nullptr ? result->findList(6) : nullptr;
  for (std::size_t i = 0; items != nullptr && i < items->size(); ++i) {
    const std::string path = (*items)[i].getstring(5, 5);
    names.push_back(path.substr(path.find('\x12') + 1));  // npos + 1 is 0: the whole path
  }
  return names;
}

// Records every delivery.
struct Recorder : IdxBrowseClientResp {
  bool processResp(CNMessageBase* message) override { return Record(false, message); }
  bool processResp(databrowse::BrowseResponse* response) override { return Record(true, response); }
  bool Record(bool typedCall, CNMessageBase* message) {
    typed.push_back(typedCall);
    for (const std::string& name : NamesIn(*message)) names.push_back(name);
    return true;
  }
  std::vector<bool> typed;  // one per delivery
  Names names;  // of the data items delivered
};

class BrowseClientTest : public IndexTest {
 protected:
  BrowseClientTest() {
    for (int i = 1; i <= 5; ++i) catalogue.addEntry("/f", MakeEntry(i, "00" + std::to_string(i)));
    AddItem("/g", 1, 1);
  }
  // A client for two items of `path` from `start`.
  std::unique_ptr<IdxBrowseClient> Client(const std::string& start = "",
                                          const std::string& path = "/f") {
    std::unique_ptr<IdxBrowseClient> client(new IdxBrowseClient());
    client->Initialize(Request(path, PageQuery(start)), &recorder, 2000, nullptr, nullptr);
    return client;
  }

  Recorder recorder;
};

TEST_F(BrowseClientTest, EachProtocolSendsTheHeldRequestWithTheQueriesInEffect) {
  for (const ebindex::Protocol protocol : {ebindex::Protocol::V2, ebindex::Protocol::V1}) {
    index().setProtocol(protocol);
    index().clearRecords();
    recorder.names.clear();
    const bool v1 = protocol == ebindex::Protocol::V1;
    auto client = Client("002");
    EXPECT_EQ(client->isIndexingV2BrowseRequest(), !v1);
    IdxBrowseClientReq wrapper, noQueries;
    wrapper.queries.push_back(PageQuery("004"));
    ASSERT_EQ(client->Browse(&wrapper, nullptr), 0);
    ASSERT_EQ(client->Browse(&noQueries, nullptr), 0);
    // Edits of the client's own queries reach the next browse, and the V1 request.
    PagingOf(client->getQueries()->at(0)).setstring(4, 4, "005");
    ASSERT_EQ(client->Browse(nullptr, nullptr), 0);
    EXPECT_EQ(recorder.names, (Names{"004", "005", "002", "003", "005"}));
    const auto calls = index().browseCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_TRUE(calls[0].hadWrapper && calls[0].v1 == v1 && !calls[0].direct);
    EXPECT_EQ(StartNameIn(calls[0].request.findList(v1 ? 136 : 12)->front()), "004");
    EXPECT_EQ(calls[2].clientId, client->id());
    EXPECT_EQ(client->getV1BrowseReq() != nullptr, v1);
    if (!v1) continue;
    EXPECT_EQ(StartNameIn(client->getV1BrowseReq()->findList(136)->front()), "005");
    // A V1 request names the host that browses it.
    EXPECT_EQ(client->getV1BrowseReq()->getstring(84, 138), "localhost*localhost*8400*0");
  }
  EXPECT_EQ(recorder.typed, std::vector<bool>(recorder.typed.size(), true));
}

TEST_F(BrowseClientTest, FaultsHitTheirItemAndTheirCallsOnly) {
  auto client = Client();
  index().failBrowse(7, false, 1);
  EXPECT_EQ(client->Browse(nullptr, nullptr), 7);
  EXPECT_TRUE(recorder.typed.empty()) << "failed before delivering";
  index().failBrowse(9, true, ebindex::kAllCalls, "\\f");
  index().setProtocolFor("/g", ebindex::Protocol::V1);
  auto other = Client("", "/g");
  EXPECT_FALSE(other->isIndexingV2BrowseRequest());
  EXPECT_EQ(other->Browse(nullptr, nullptr), 0) << "another item's fault";
  EXPECT_EQ(client->Browse(nullptr, nullptr), 9);
  index().clearFaults("/g");
  EXPECT_EQ(client->Browse(nullptr, nullptr), 9) << "only the named item's faults go";
  index().clearFaults("\\f\\");
  EXPECT_EQ(client->Browse(nullptr, nullptr), 0);
  EXPECT_EQ(recorder.names, (Names{Base32Name(1), "001", "002", "001", "002", "001", "002"}));
}

// The names the index answers a request with, or "not found" for its
// answer when nothing matches: an error response with code 4, then the end.
TEST(IndexAnswerTest, PagesStartAtTheirNameOrRowAndRangesSelectByNumber) {
  ebindex::Catalogue catalogue;
  for (unsigned long long i = 1; i <= 12; ++i) {
    catalogue.addEntry("/f", MakeEntry(i, Base32Name(i)));
    catalogue.addEntry("/dec", MakeEntry(i, ExtentName(NameScheme::kDecimal, i, 13)));
    catalogue.addEntry("/hex", MakeEntry(i, ExtentName(NameScheme::kHex, i, 13)));
  }
  catalogue.addEntry("/g", MakeEntry(~0ull, "e"));  // name order and number order differ
  catalogue.addEntry("/g", MakeEntry(3, "f"));
  const auto names = [&](databrowse::BrowseRequest request, int appType) {
    request.getObjectAccessor(true, true, 3, 3, 18, 46)->setint64(14, 38, appType);
    const auto responses = ebindex::AnswerRequest(catalogue, request, 2);
    if (responses.size() == 2 && responses[0].findList(7) != nullptr &&
        responses[0].findList(7)->front().getint64(1) == 4) {
      return Names{"not found"};
    }
    Names all;
    for (const auto& response : responses) {
      for (const std::string& name : NamesIn(response)) all.push_back(name);
    }
    return all;
  };
  const auto page = [](const std::string& path, const std::string& start,
                       unsigned long long offset, long long size) {
    return Request(path, PageQuery(start, offset, size));
  };
  const struct {
    databrowse::BrowseRequest request;
    int appType;
    Names names;
  } cases[] = {
      {page("/f", Base32Name(3), 0, 3), 0, {Base32Name(3), Base32Name(4), Base32Name(5)}},
      {page("/f", "", 1, 2), 0, {Base32Name(2), Base32Name(3)}},
      {page("/f", "", 0x100000001ULL, 1), 0, {Base32Name(2)}},  // the offset's low 32 bits
      {page("/f", Base32Name(13), 0, 100), 0, {"not found"}},
      {page("/f", Base32Name(12), 1, 100), 0, {"not found"}},
      // Base32 start names are translated into an item's old scheme.
      {page("/dec", Base32Name(10), 0, 2), 0, {"Extent10", "Extent11"}},
      {page("/hex", Base32Name(10), 0, 1), 0, {"Ext_0000000a"}},
      {page("/dec", "Extent5", 0, 1), 0, {"Extent5"}},
      {page("\\f\\", Base32Name(12), 0, 1), 0, {Base32Name(12)}},  // however the path is written
      // Database requests on V2 start at the row of their offset.
      {page("/f", Base32Name(9), 1, 2), 81, {Base32Name(2), Base32Name(3)}},
      {Request("/g", PageQuery("", 0, 100), true, 2, ~0ull), 0, {"f", "e"}},  // not wrapped
      {Request("/g", PageQuery("", 0, 100), true, 4, 3), 0, {"not found"}},
      {Request("/nowhere", PageQuery("")), 0, {"not found"}},
  };
  for (const auto& c : cases) EXPECT_EQ(names(c.request, c.appType), c.names) << c.appType;
}

}  // namespace
