// The requests the browser sends, checked field by field on what the index
// service received: the name-paged request and the extent-range request.
#include <gtest/gtest.h>

#include "browser/WireFields.h"
#include "extentbrowse/EBPerfCounters.h"
#include "extentbrowse/ExtentBrowse.h"
#include "support/Support.h"

namespace {

using namespace ebtest;

constexpr unsigned long long kAllOnes = ~0ull;

// A missing child or element comes back empty, and fails what is asked of it.
// Fields by the library's own names for them.
namespace w = wire;

const CNMessageBase& Child(const CNMessageBase& message, WireField field) {
  static const CNMessageBase none(0, 0);
  return message.findObject(field.tag) != nullptr ? *message.findObject(field.tag) : none;
}

const CNMessageBase& OnlyElement(const CNMessageBase& message, WireField field) {
  static const CNMessageBase none(0, 0);
  const std::vector<CNMessageBase>* list = message.findList(field.tag);
  return list != nullptr && list->size() == 1 ? list->front() : none;
}

const CNMessageBase& PagingOfQuery(const CNMessageBase& query) {
  return Child(Child(query, w::query::kOptions), w::queryoptions::kPaging);
}

// The last record of a kind; throws, and so fails the test, when there is none.
template <typename Record>
Record Last(const std::vector<Record>& records) {
  return records.at(records.size() - 1);
}

// Every field with its tag and its index, children and list elements in
// order: a whole request in one comparison.
std::string Fields(const CNMessageBase& message) {
  std::string text;
  message.serialize(text, true);
  return text;
}

class BrowseRequestTest : public IndexTest {
 protected:
  BrowseRequestTest() {
    AddItem("/vol/file.bin", 0, 30);
    AddItem("/vm/disk0", 0, 30);
  }
  std::unique_ptr<ExtentBrowseImpl> Browser(int appType, const std::string& path,
                                            const std::string& maName = "") {
    SCParams params = MakeParams(appType);
    params.totime = 0x1FFFFFFFFLL;  // low 32 bits, signed: -1
    return std::unique_ptr<ExtentBrowseImpl>(
        new ExtentBrowseImpl(params, path, nullptr, EB_MODE_DEFAULT, 25, 13, true, 3, maName));
  }
  CNMessageBase LastInitialize() { return Last(index().initializeCalls()).request; }
  ebindex::RecordedBrowse LastBrowse() { return Last(index().browseCalls()); }
};

TEST_F(BrowseRequestTest, TheFirstNamePagedRequestCarriesEveryField) {
  auto browser = Browser(0, "/vol/file.bin/", "ma1");
  const unsigned long long before = numBrowseRequests;
  ASSERT_EQ(browser->Browse("NAME5", 3, 25, 7, kAllOnes, "ma1"), 0);
  EXPECT_EQ(numBrowseRequests, before + 1);

  const ebindex::RecordedInitialize init = index().initializeCalls().back();
  EXPECT_TRUE(init.timeoutSeconds == 2000 && init.callbackGiven);
  // The low 32 bits of the end time, signed; one trailing separator dropped
  // from the path; no sort order.
  const std::string query =
      "Query{1/1:0 2/2:\"0\" 8/5:QueryOptions{2/2:BrowsePaging{1/1:0 2/2:7 3/3:25 "
      "4/4:\"NAME5\"}} 12/9:1}";
  EXPECT_EQ(Fields(init.request),
            "BrowseRequest{1/1:0 3/3:GenericEntity{11/5:13 20/8:11 38/14:0 47/17:7} "
            "4/4:[BrowsePath{1/1:\"/vol/file.bin\"}] "
            "6/6:BrowseTimeRange{1/1:-1 2/2:1600000000} "
            "7/7:BrowseOptions{2/2:1 3/3:0 11/11:1 12/12:1 21/21:1} 8/8:BrowseMode{1/1:2} "
            "9/9:MaEntity{1/1:\"ma1\"} 11/11:BrowseAdvancedOptions{1/1:3} 12/12:[" +
                query + "]}");
  const ebindex::RecordedBrowse sent = LastBrowse();
  ASSERT_TRUE(sent.hadWrapper && sent.wrapper.queries.size() == 1);
  EXPECT_EQ(sent.wrapper.path, "/vol/file.bin/");  // the wrapper keeps it
  EXPECT_EQ(sent.wrapper.pagingOffset, 7);
  EXPECT_EQ(Fields(sent.wrapper.queries[0]), query);
  EXPECT_TRUE(log->contains("copyPrecedence set to 3"));
  EXPECT_EQ(log->countPrefix("My BrowseReq ["), 1u);

  Browser(0, "/a//")->Browse("", 0, 10, 0, kAllOnes, "");
  EXPECT_EQ(StringOf(OnlyElement(LastInitialize(), w::request::kPaths), w::path::kPath), "/a/")
      << "one separator only";

  // A backup set GUID reaches only requests built after it, and names the
  // backup alone; the client made before keeps its request.
  auto guided = Browser(0, "/vol/file.bin");
  guided->SetBackupSetGuid("guid-1");
  ASSERT_EQ(guided->Browse("", 0, 10, 0, kAllOnes, ""), 0);
  const CNMessageBase entity = Child(LastInitialize(), w::request::kEntity);
  EXPECT_EQ(entity.tags(), (std::vector<int>{w::entity::kBackupSetGuid.tag, w::entity::kAppType.tag}));
  EXPECT_EQ(StringOf(entity, w::entity::kBackupSetGuid), "guid-1");
  browser->SetBackupSetGuid("guid-2");
  ASSERT_EQ(browser->Browse("NAME6", 3, 25, 0, kAllOnes, "ma1"), 0);
  const ebindex::RecordedBrowse reused = LastBrowse();
  EXPECT_FALSE(Child(reused.request, w::request::kEntity).hasTag(w::entity::kBackupSetGuid.tag));
}

TEST_F(BrowseRequestTest, ApplicationTypesShapeOptionsModeAndPath) {
  const struct {
    int appType;
    bool virtualServerOptions;
    long long mode;
    std::string path;
  } cases[] = {
      {106, true, 4, "\\vm\\disk0"}, {53, false, 2, "/vm/disk0"}, {81, false, 2, "/vm/disk0"},
      {52, true, 2, "/vm/disk0"},    {0, true, 2, "/vm/disk0"},
  };
  for (const auto& c : cases) {
    log->clear();
    Browser(c.appType, "/vm/disk0")->Browse(Base32Name(0), 0, 10, 0, kAllOnes, "");
    const CNMessageBase request = LastInitialize();
    EXPECT_EQ(Child(request, w::request::kOptions).hasTag(w::options::kVsExtentBrowse.tag), c.virtualServerOptions) << c.appType;
    EXPECT_EQ(Child(request, w::request::kOptions).hasTag(w::options::kVsExtentBrowseOff.tag), c.virtualServerOptions) << c.appType;
    EXPECT_EQ(log->contains("VsExtentBrowse is marked."), c.virtualServerOptions) << c.appType;
    EXPECT_EQ(IntOf(Child(request, w::request::kMode), w::mode::kMode), c.mode) << c.appType;
    EXPECT_EQ(StringOf(OnlyElement(request, w::request::kPaths), w::path::kPath), c.path) << c.appType;
    EXPECT_FALSE(request.hasTag(w::request::kBrowseHost.tag)) << "no browse host was named";

    // The extent-range request: only Exchange items ask for the database view.
    Browser(c.appType, "/vm/disk0")->Browse("", 0, 10, 0, 100, "");
    const CNMessageBase range = LastInitialize();
    const bool exchange = c.appType == 53;
    EXPECT_EQ(Child(range, w::request::kOptions).hasTag(w::options::kExchangeRange1.tag) &&
                  Child(range, w::request::kOptions).hasTag(w::options::kExchangeRange2.tag), exchange) << c.appType;
    EXPECT_EQ(StringOf(Child(range, w::request::kAdvancedOptions), w::advanced::kView), exchange ? "EDBVIEW" : "") << c.appType;
    EXPECT_EQ(StringOf(OnlyElement(range, w::request::kPaths), w::path::kPath), c.path) << c.appType;
  }
}

TEST_F(BrowseRequestTest, ALaterPageReusesTheClientAndSendsOnlyThePaging) {
  auto browser = Browser(106, "/vm/disk0", "ma1");
  ASSERT_EQ(browser->Browse(Base32Name(0), 3, 10, 0, kAllOnes, "ma1"), 0);
  log->clear();
  // An enumeration after lookups keeps the lookups' request and browse host.
  ASSERT_EQ(browser->Browse("", 3, 0xFFFFFFFFu, 0, kAllOnes, ""), 0);
  EXPECT_EQ(index().initializeCalls().size(), 1u);
  EXPECT_TRUE(log->contains("Reusing IdxBrowseClient"));
  EXPECT_EQ(log->countPrefix("My BrowseReq ["), 0u);
  const ebindex::RecordedBrowse sent = LastBrowse();
  EXPECT_EQ(StringOf(Child(sent.request, w::request::kBrowseHost), w::host::kName), "ma1");
  EXPECT_EQ(sent.clientId, index().browseCalls().front().clientId);
  EXPECT_EQ(Fields(PagingOfQuery(OnlyElement(sent.request, w::request::kQueries))),
            "BrowsePaging{1/1:0 2/2:0 3/3:4294967295 4/4:\"\"}");
}

// By either request form: extent ranges are not counted.
TEST_F(BrowseRequestTest, AFailedInitialisationCountsTheRequestButStartsNoCounter) {
  for (const unsigned long long rangeStart : {kAllOnes, 0ull}) {
    index().clearRecords();
    index().failInitialize(1);
    auto browser = Browser(0, "/vol/file.bin");
    const unsigned long long before = numBrowseRequests;
    const auto running = gEbPerfCounter->snapshot()[0].running;
    EXPECT_EQ(browser->Browse("", 0, 10, 0, rangeStart, ""), -1);
    EXPECT_EQ(numBrowseRequests, before + (rangeStart == kAllOnes ? 1 : 0));
    EXPECT_TRUE(log->contains("IdxBrowseClient initialization failed."));
    EXPECT_EQ(gEbPerfCounter->snapshot()[0].running, running);
    EXPECT_TRUE(index().browseCalls().empty());
    // The failed client is not reused, and goes before the next is made.
    EXPECT_EQ(browser->Browse("", 0, 10, 0, rangeStart, ""), 0);
    ASSERT_EQ(index().initializeCalls().size(), 2u);
    EXPECT_EQ(index().initializeCalls().back().otherClientsAlive, 0);
  }
}

TEST_F(BrowseRequestTest, SqlItemsOnV2SendTheStartExtentAsTheClientsPagingOffset) {
  auto browser = Browser(81, "/vol/file.bin");
  ASSERT_EQ(browser->Browse(Base32Name(3), 0, 10, 0, kAllOnes, ""), 0);
  ASSERT_EQ(browser->Browse(Base32Name(12), 0, 10, 5, kAllOnes, ""), 0);
  EXPECT_FALSE(LastBrowse().hadWrapper);
  // The held start name stays.
  EXPECT_EQ(Fields(PagingOfQuery(OnlyElement(LastBrowse().request, w::request::kQueries))),
            "BrowsePaging{1/1:0 2/2:12 3/3:10 4/4:\"" + Base32Name(3) + "\"}");
  ASSERT_EQ(browser->Browse("", 0, 4294967295u, 0, kAllOnes, ""), 0);
  EXPECT_EQ(PagingOfQuery(OnlyElement(LastBrowse().request, w::request::kQueries)).getint64(w::paging::kSize.tag), 4294967295ll)
      << "an enumeration asks for every extent";
}

TEST_F(BrowseRequestTest, V1RequestsGoToTheirBrowseHostOrAreBrowsedInProcess) {
  index().setProtocol(ebindex::Protocol::V1);
  index().setHostClientName("ma1", "client-of-ma1");
  index().setHostClientName("localhost", "me");
  SetLocalClientName("me");
  auto remote = Browser(0, "/vol/file.bin", "ma1");
  ASSERT_EQ(remote->Browse(Base32Name(2), 0, 10, 0, kAllOnes, "ma1"), 0);
  EXPECT_TRUE(LastBrowse().v1 && !LastBrowse().direct && LastBrowse().hadWrapper);
  EXPECT_TRUE(log->contains("maName [client-of-ma1]. gEBLocalClientName [me]"));
  EXPECT_FALSE(log->contains("Using direct call to browse extents."));

  auto local = Browser(0, "/vol/file.bin");
  ASSERT_EQ(local->Browse(Base32Name(2), 0, 10, 4, kAllOnes, ""), 0);
  index().failBrowse(9, false);
  EXPECT_EQ(local->Browse(Base32Name(20), 0, 10, 6, kAllOnes, ""), 9)
      << "a handler that could not answer fails the browse";
  SetLocalClientName("");
  EXPECT_TRUE(LastBrowse().direct && LastBrowse().v1);
  EXPECT_EQ(Fields(PagingOfQuery(OnlyElement(LastBrowse().request, w::v1::kQueries))),
            "BrowsePaging{1/1:0 2/2:6 3/3:10 4/4:\"" + Base32Name(20) + "\"}");
  EXPECT_EQ(log->count("Using direct call to browse extents."), 2u);
  EXPECT_EQ(log->count("Allocating BR handler as the one passed in is NULL"), 1u);
}

TEST_F(BrowseRequestTest, AnExplicitRangeStartTakesTheExtentRangeRequest) {
  auto browser = Browser(0, "/vol/file.bin/", "ma1");
  browser->SetBackupSetGuid("guid-1");  // never sent by this form
  const unsigned long long before = numBrowseRequests;
  ASSERT_EQ(browser->Browse("ignored", 3, 10, 2, 0, "ma1"), 0);
  EXPECT_EQ(numBrowseRequests, before);
  // Sorted by extent number (134), ranged by the browser's page size, no
  // start name and no virtual-server options.
  EXPECT_EQ(Fields(LastInitialize()),
            "BrowseRequest{1/1:1 3/3:GenericEntity{11/5:13 20/8:11 38/14:0 47/17:7} "
            "4/4:[BrowsePath{1/1:\"/vol/file.bin/\" "
            "5/2:BrowsePathParameters{6/3:[ExtentRange{1/1:0 2/2:25}]}}] "
            "6/6:BrowseTimeRange{1/1:-1 2/2:1600000000} "
            "7/7:BrowseOptions{1/1:1 2/2:1 11/11:1 12/12:1 51/51:1 60/60:1} "
            "8/8:BrowseMode{1/1:3} 9/9:MaEntity{1/1:\"ma1\"} "
            "11/11:BrowseAdvancedOptions{1/1:3} "
            "12/12:[Query{1/1:0 2/2:\"0\" 8/5:QueryOptions{2/2:BrowsePaging{1/1:0 2/2:2 3/3:10} "
            "3/3:SortParam{1/1:[134] 2/2:1}} 12/9:1}] 26/20:1}");
  EXPECT_FALSE(LastBrowse().hadWrapper);
  EXPECT_FALSE(log->contains("VsExtentBrowse is marked."));
  // The next range keeps the client and its request; only the path changes.
  ASSERT_EQ(browser->Browse("", 3, 10, 0, 240, "ma1"), 0);
  EXPECT_EQ(index().initializeCalls().size(), 1u);
  EXPECT_EQ(index().setPathsCalls().size(), 1u);
  EXPECT_EQ(Fields(OnlyElement(LastBrowse().request, w::request::kPaths)),
            "BrowsePath{1/1:\"/vol/file.bin/\" "
            "5/2:BrowsePathParameters{6/3:[ExtentRange{1/1:240 2/2:25}]}}");
}

}  // namespace
