// Lookups end to end against the index service: file-system, virtual-server
// and database items, name-paged and extent-range, and the failure paths.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <stdexcept>

#include "extentbrowse/EBExtentNameConverter.h"
#include "extentbrowse/ExtentBrowse.h"
#include "support/BrowserFixtures.h"

namespace {

using namespace ebtest;

std::string OldVirtualServerName(unsigned long long extent) {
  return "Extent" + std::to_string(extent);
}

std::string MisnamedAt99(unsigned long long extent) {
  return extent == 99 ? "Z" : ebtest::Base32Name(extent);
}

std::string OldDatabaseName(unsigned long long extent) {
  char name[32];
  std::snprintf(name, sizeof name, "Ext_%08llx", extent);
  return name;
}

class LookupTest : public IndexTest {
 protected:
  ExtentBrowseResult Lookup(ExtentBrowseImpl& browser, unsigned long long extent,
                            unsigned long long rangeStart = 0xFFFFFFFFFFFFFFFFull) {
    afileId = afileValue = 77;
    return browser.GetAFInfo(extent, afileId, afileValue, rangeStart);
  }
  void ExpectFound(ExtentBrowseImpl& browser, unsigned long long extent) {
    EXPECT_EQ(Lookup(browser, extent), EB_EXTENT_FOUND) << extent;
    // Archive file ids travel as signed 32-bit values.
    EXPECT_EQ(afileId, static_cast<unsigned long long>(static_cast<int>(1000 + extent)));
    EXPECT_EQ(afileValue, 2000 + extent);
  }
  void ExpectNotFound(ExtentBrowseImpl& browser, unsigned long long extent) {
    EXPECT_EQ(Lookup(browser, extent), EB_EXTENT_NOT_FOUND) << extent;
    EXPECT_EQ(afileId, 77u) << "outputs untouched";
    EXPECT_EQ(afileValue, 77u);
  }
  static const CNMessageBase& PagingOfQuery(const CNMessageBase& query) {
    return *query.findObject(8)->findObject(2);
  }
  std::string LastStartName() {
    const ebindex::RecordedBrowse last = index().browseCalls().back();
    const CNMessageBase& query = last.hadWrapper ? last.wrapper.queries.front()
                                 : last.v1       ? last.request.findList(136)->front()
                                                 : last.request.findList(12)->front();
    return query.findObject(8)->findObject(2)->getstring(4, 4);
  }

  unsigned long long afileId = 0;
  unsigned long long afileValue = 0;
};

TEST_F(LookupTest, AFileSystemItemIsBrowsedAPageAtATime) {
  AddItem("/f", 0, 250);
  auto browser = MakeBrowser(0, "/f", 100);

  ExpectFound(*browser, 0);
  EXPECT_EQ(BrowseCount(), 1u);
  EXPECT_EQ(RecordedRanges(log), (std::vector<std::pair<unsigned long long, unsigned long long>>{
                                     {0, 99}}));
  ExpectFound(*browser, 50);
  ExpectFound(*browser, 99);  // the range's last extent is in the map
  EXPECT_EQ(BrowseCount(), 1u);
  EXPECT_TRUE(browser->IsExtentEmpty(49));
  EXPECT_FALSE(browser->IsExtentEmpty(50));

  ExpectFound(*browser, 120);  // the page starts at the extent looked up
  EXPECT_EQ(BrowseCount(), 2u);
  EXPECT_EQ(LastStartName(), Base32Name(120));

  // Past the end the index has nothing: the range is the extent alone.
  ExpectNotFound(*browser, 300);
  EXPECT_EQ(BrowseCount(), 3u);
  EXPECT_EQ(RecordedRanges(log).back(), std::make_pair(300ull, 300ull));
  ExpectNotFound(*browser, 300);
  EXPECT_EQ(BrowseCount(), 3u);
  ExpectNotFound(*browser, 301);
  EXPECT_EQ(BrowseCount(), 4u);
}

TEST_F(LookupTest, HolesInsideABrowsedRangeAreAnsweredWithoutBrowsing) {
  AddItem("/f", 0, 10);
  AddItem("/f", 20, 10);
  auto browser = MakeBrowser(0, "/f", 15);
  ExpectFound(*browser, 0);
  EXPECT_EQ(RecordedRanges(log).back(), std::make_pair(0ull, 24ull));
  ExpectNotFound(*browser, 15);
  ExpectFound(*browser, 24);
  EXPECT_EQ(BrowseCount(), 1u);
  EXPECT_FALSE(browser->IsExtentEmpty(15));
}

struct RangeCase {
  unsigned long long rangeStart;
  unsigned long long extent;
  ExtentBrowseResult expected;
};

void PrintTo(const RangeCase& c, std::ostream* out) {
  *out << "extent " << c.extent << " from range start " << c.rangeStart;
}

// Extents 0-99 and 120-199; ranges of 10 from the range start.
class RangeStartTest : public IndexTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(RangeStartTest, OnlyARangeThatHoldsTheExtentAnswersForIt) {
  AddItem("/f", 0, 100);
  AddItem("/f", 120, 80);
  auto browser = MakeBrowser(0, "/f", 10);
  const RangeCase& c = GetParam();
  unsigned long long id = 77, value = 77;
  EXPECT_EQ(browser->GetAFInfo(c.extent, id, value, c.rangeStart), c.expected);
  if (c.expected == EB_EXTENT_FOUND) {
    EXPECT_EQ(value, 2000 + c.extent);
  }
  if (c.expected == EB_BROWSE_FAILED) {
    // The range asked for cannot answer: it says so instead of "not found",
    // and claims nothing it did not cover.
    EXPECT_TRUE(RecordedRanges(log).empty());
    EXPECT_EQ(browser->GetAFInfo(c.extent, id, value), EB_EXTENT_FOUND);
  }
}

INSTANTIATE_TEST_SUITE_P(
    BeforeInsideAndAfter, RangeStartTest,
    ::testing::Values(RangeCase{30, 5, EB_BROWSE_FAILED},   // range after the extent
                      RangeCase{0, 50, EB_BROWSE_FAILED},   // range before it
                      RangeCase{41, 50, EB_EXTENT_FOUND},   // inside, at the range's end
                      RangeCase{50, 50, EB_EXTENT_FOUND},   // inside, at its start
                      RangeCase{105, 110, EB_EXTENT_NOT_FOUND},  // inside a hole
                      RangeCase{0, 5, EB_EXTENT_FOUND}));

TEST_F(LookupTest, AnExplicitRangeStartBrowsesByExtentNumber) {
  AddItem("/f", 0, 300);
  auto browser = MakeBrowser(0, "/f", 100);
  EXPECT_EQ(Lookup(*browser, 150, 120), EB_EXTENT_FOUND);
  EXPECT_EQ(afileId, 1150u);
  // The range asked for is [120, 220); its last item ends the browsed range.
  EXPECT_EQ(RecordedRanges(log).back(), std::make_pair(150ull, 219ull));
  ExpectFound(*browser, 219);
  EXPECT_EQ(BrowseCount(), 1u);
  EXPECT_EQ(Lookup(*browser, 250, 240), EB_EXTENT_FOUND);
  EXPECT_EQ(index().initializeCalls().size(), 1u) << "the range client is reused";
  EXPECT_EQ(index().setPathsCalls().size(), 1u);
}

TEST_F(LookupTest, AVirtualServerItemInTheNewScheme) {
  AddItem("/vm/disk0", 0, 100);
  auto browser = MakeBrowser(106, "/vm/disk0", 10);
  ExpectFound(*browser, 5);
  EXPECT_EQ(LastStartName(), Base32Name(5));
  EXPECT_EQ(RecordedRanges(log).back(), std::make_pair(5ull, 14ull));
  ExpectNotFound(*browser, 1000);
  // The index reported nothing from 1000 on: everything up to the new
  // scheme's last extent counts as browsed.
  EXPECT_EQ(RecordedRanges(log).back(), std::make_pair(1000ull, 4294967295ull));
  ExpectNotFound(*browser, 5000);
  EXPECT_EQ(BrowseCount(), 2u);
}

TEST_F(LookupTest, AVirtualServerItemInTheOldSchemeSwitchesAndKeepsTextOrder) {
  AddItem("/vm/disk0", 0, 100, OldVirtualServerName);
  auto browser = MakeBrowser(106, "/vm/disk0", 10);
  ExpectFound(*browser, 5);
  // The request names its start in base32; the index translates it.
  EXPECT_EQ(LastStartName(), Base32Name(5));
  EXPECT_FALSE(browser->GetExtentNameConverter()->isNewNamingScheme());
  // Extent5, Extent50 ... Extent58: ten names in text order.
  EXPECT_EQ(RecordedRanges(log).back(), std::make_pair(5ull, 58ull));
  ExpectFound(*browser, 55);
  // Extent500 sorts between Extent5 and Extent58: browsed, though absent.
  ExpectNotFound(*browser, 500);
  EXPECT_EQ(BrowseCount(), 1u);
  // Extent6 sorts after Extent58: it needs a browse of its own, still
  // requested by its base32 name.
  ExpectFound(*browser, 6);
  EXPECT_EQ(BrowseCount(), 2u);
  EXPECT_EQ(LastStartName(), Base32Name(6));
  // Past the end in the old scheme the range ends at 999999999.
  ExpectNotFound(*browser, 99999);
  EXPECT_EQ(RecordedRanges(log).back(), std::make_pair(99999ull, 999999999ull));
}

TEST_F(LookupTest, ADatabaseItemWithOldNamesFindsExtentsBeyond32Bits) {
  AddItem("/db/file.edb", 0, 20, OldDatabaseName);
  AddItem("/db/file.edb", 4294967296ull, 2, OldDatabaseName);
  auto browser = MakeBrowser(53, "/db/file.edb", 10);
  ExpectFound(*browser, 4294967296ull);
  EXPECT_EQ(std::get<0>(MapOf(*browser).front()), 4294967296ull) << "not stored as 2^28";
  ExpectFound(*browser, 4294967297ull);
  // Now in the old scheme: the next page is asked for by its hex name.
  ExpectFound(*browser, 3);
  EXPECT_EQ(LastStartName(), "Ext_00000003");
  // The index's "nothing from here" covers the start extent alone.
  ExpectNotFound(*browser, 4294967300ull);
  EXPECT_EQ(RecordedRanges(log).back(), std::make_pair(4294967300ull, 4294967300ull));
}

TEST_F(LookupTest, AVirtualServerItemInOldNamesIsNotDeclaredAbsentBeforeItsNamesAreSeen) {
  for (unsigned long long extent : {3, 7, 14, 24, 29, 31, 41, 45}) {
    catalogue.addEntry("/vm/disk1", ebindex::Entry{extent, OldVirtualServerName(extent),
                                                   1000 + extent, 2000 + extent, false});
  }
  index().setCatalogue(catalogue);
  auto browser = MakeBrowser(106, "/vm/disk1", 50);
  // Extent8 sorts after every name of the item: the index has nothing from
  // there, which says nothing of base32 names the converter still uses.
  ExpectNotFound(*browser, 8);
  EXPECT_EQ(RecordedRanges(log).back(), std::make_pair(8ull, 8ull));
  ExpectFound(*browser, 24);
  // The names it brought settle the scheme; from then on "nothing from
  // here" reaches the end of the old scheme.
  ExpectNotFound(*browser, 9);
  EXPECT_EQ(RecordedRanges(log).back(), std::make_pair(9ull, 999999999ull));
}

TEST_F(LookupTest, PageSizesOf2To32AndMoreAskForEverythingInsteadOfWrapping) {
  AddItem("/f", 0, 300);
  for (unsigned long long pageSize : {4294967296ull, 4294967301ull, ~0ull}) {
    index().clearRecords();
    auto browser = MakeBrowser(0, "/f", pageSize);
    ExpectFound(*browser, 0);
    ExpectFound(*browser, 299);
    EXPECT_EQ(index().browseCalls().size(), 1u) << pageSize;
    EXPECT_EQ(PagingOfQuery(index().browseCalls().back().wrapper.queries.front()).getint64(3),
              4294967295ll);
    // The extent range keeps all 64 bits of the page size.
    EXPECT_EQ(Lookup(*MakeBrowser(0, "/f", pageSize), 5, 0), EB_EXTENT_FOUND);
    const CNMessageBase rangePath = index().initializeCalls().back().request.findList(4)->front();
    ASSERT_NE(rangePath.findObject(5), nullptr);
    EXPECT_EQ(rangePath.findObject(5)->findList(6)->front().getint64(2),
              static_cast<long long>(pageSize));
  }
}

TEST_F(LookupTest, ARequestFailureFailsEveryLaterBrowsingLookup) {
  AddItem("/f", 0, 300);
  auto browser = MakeBrowser(0, "/f", 100);
  index().failBrowse(1, false, 1);
  EXPECT_EQ(Lookup(*browser, 10), EB_BROWSE_FAILED);
  EXPECT_TRUE(log.contains("Browse() failed. [/f]"));
  EXPECT_TRUE(RecordedRanges(log).empty());

  // A new client browses, and the lookup still reports the earlier failure.
  EXPECT_EQ(Lookup(*browser, 10), EB_BROWSE_FAILED);
  EXPECT_EQ(index().initializeCalls().size(), 2u);
  ExpectFound(*browser, 20);  // what that browse brought is found
}

TEST_F(LookupTest, AnInitialisationFailureFailsTheLookup) {
  AddItem("/f", 0, 10);
  auto browser = MakeBrowser(0, "/f");
  index().failInitialize(1);
  EXPECT_EQ(Lookup(*browser, 1), EB_BROWSE_FAILED);
  EXPECT_TRUE(log.contains("IdxBrowseClient initialization failed."));
}

TEST_F(LookupTest, AResponseFailureFailsTheBrowseAndRecordsNoRange) {
  using Kind = ebindex::ScriptedResponse;
  const std::vector<std::vector<Kind>> scripts = {
      {Kind::Of(Kind::kNoBrowseResult), Kind::Of(Kind::kEnd)},
      {Kind::Of(Kind::kNoDataList), Kind::Of(Kind::kEnd)},
      {Kind::Of(Kind::kNull), Kind::Of(Kind::kEnd)},
      {Kind::Of(Kind::kOtherClass), Kind::Of(Kind::kEnd)},
      {Kind::Error(7), Kind::Of(Kind::kEnd)},
      {Kind::Of(Kind::kPage), Kind::Error(9), Kind::Of(Kind::kEnd)},
  };
  AddItem("/f", 0, 300);
  for (const std::vector<Kind>& script : scripts) {
    log.clear();
    auto browser = MakeBrowser(0, "/f", 100);
    index().scriptResponses(script, 1);
    EXPECT_EQ(Lookup(*browser, 10), EB_BROWSE_FAILED);
    EXPECT_TRUE(RecordedRanges(log).empty()) << "no range for a page that failed";
    // Later browses record their ranges again, though the browser stays failed.
    EXPECT_EQ(Lookup(*browser, 150), EB_BROWSE_FAILED);
    EXPECT_EQ(RecordedRanges(log).size(), 1u);
    ExpectFound(*browser, 150);
  }
}

struct LookupStep {
  unsigned long long extent;
  unsigned long long rangeStart;  // all ones: a page of names
  ExtentBrowseResult expected;
};

struct RangeKeepingCase {
  const char* name;
  int appType;
  unsigned long long pageSize;
  std::vector<std::pair<unsigned long long, unsigned long long>> runs;  // [first, first + count)
  unsigned long long step;                                               // between extents of a run
  std::string (*entryName)(unsigned long long);
  std::vector<LookupStep> steps;
};

void PrintTo(const RangeKeepingCase& c, std::ostream* out) { *out << c.name; }

constexpr unsigned long long kNames = 0xFFFFFFFFFFFFFFFFull;

// Browses whose ranges the browsed-range set cannot keep beside the ones it
// holds, or that an extent range and the naming scheme cannot order, must
// still give the index's answer.
class RangeKeepingTest : public IndexTest, public ::testing::WithParamInterface<RangeKeepingCase> {};

TEST_P(RangeKeepingTest, EveryLookupGetsTheIndexsAnswer) {
  const RangeKeepingCase& c = GetParam();
  for (const auto& run : c.runs) {
    for (unsigned long long extent = run.first; extent < run.first + run.second; extent += c.step) {
      const std::string name = c.entryName != nullptr ? c.entryName(extent) : Base32Name(extent);
      catalogue.addEntry("/item", ebindex::Entry{extent, name, 1000 + extent, 2000 + extent, false});
    }
  }
  index().setCatalogue(catalogue);
  auto browser = MakeBrowser(c.appType, "/item", c.pageSize);
  for (const LookupStep& step : c.steps) {
    unsigned long long id = 0, value = 0;
    EXPECT_EQ(browser->GetAFInfo(step.extent, id, value, step.rangeStart), step.expected)
        << "extent " << step.extent;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RangeKeepingTest,
    ::testing::Values(
        // (99, 198) encloses (100, 138) from the range lookup and is not kept.
        RangeKeepingCase{"EnclosingPage", 0, 50, {{0, 600}}, 2, nullptr,
                         {{100, 90, EB_EXTENT_FOUND}, {99, kNames, EB_EXTENT_NOT_FOUND}}},
        // (200, end of scheme) encloses (500, 500), recorded before any name
        // was read.
        RangeKeepingCase{"EnclosingEndOfScheme", 106, 10, {{0, 100}}, 1, nullptr,
                         {{500, kNames, EB_EXTENT_NOT_FOUND},
                          {5, kNames, EB_EXTENT_FOUND},
                          {200, kNames, EB_EXTENT_NOT_FOUND}}},
        // An empty extent range says nothing past its end.
        RangeKeepingCase{"EmptyRangeOfADisk", 106, 50, {{0, 100}, {1000, 100}}, 1, nullptr,
                         {{5, kNames, EB_EXTENT_FOUND},
                          {500, 480, EB_EXTENT_NOT_FOUND},
                          {1050, kNames, EB_EXTENT_FOUND}}},
        // A range answers in number order; Extent5..Extent9 as text would
        // take in Extent60.
        RangeKeepingCase{"RangeOfOldNames", 106, 10, {{0, 100}}, 1, OldVirtualServerName,
                         {{5, 0, EB_EXTENT_FOUND}, {60, kNames, EB_EXTENT_FOUND}}},
        // Extent 99 named "Z" sorts after every base32 name but reads as 0:
        // the page from 10 ends before it starts.
        RangeKeepingCase{"MisnamedEntry", 0, 8, {{1, 8}, {99, 1}}, 1, MisnamedAt99,
                         {{1, kNames, EB_EXTENT_FOUND}, {10, kNames, EB_EXTENT_NOT_FOUND}}}),
    [](const ::testing::TestParamInfo<RangeKeepingCase>& info) { return info.param.name; });

TEST_F(LookupTest, AnExceptionInsideABrowseFailsItWithoutLeavingTheLibrary) {
  // A host's writer that throws while the request is being built.
  class ThrowingWriter : public CFormattingLogWriter {
   public:
    ThrowingWriter() : CFormattingLogWriter(4) {}

   protected:
    void writeLine(int, const char*, int, const std::string& message) override {
      if (message.rfind("My BrowseReq [", 0) == 0) throw std::runtime_error("log disk full");
    }
  };
  AddItem("/f", 0, 10);
  auto browser = MakeBrowser(0, "/f");
  const boost::shared_ptr<CLogWriterInterface> previous = g_ptrLogWriter;
  g_ptrLogWriter.reset(new ThrowingWriter());
  EXPECT_EQ(Lookup(*browser, 1), EB_BROWSE_FAILED);
  EXPECT_EQ(browser->OpenEnum(), nullptr);
  g_ptrLogWriter = previous;
  // Nothing was left held: the next enumeration browses and opens.
  void* handle = browser->OpenEnum();
  ASSERT_NE(handle, nullptr);
  browser->CloseEnum(handle);
  ExpectFound(*browser, 3);
}

TEST_F(LookupTest, V1BrowsesRemoteAndInProcessAnswerAlike) {
  AddItem("/f", 0, 50);
  index().setProtocol(ebindex::Protocol::V1);
  {
    auto remote = MakeBrowser(0, "/f", 10);
    ExpectFound(*remote, 7);
    EXPECT_FALSE(index().browseCalls().back().direct);
  }
  SetLocalClientName("localhost");
  {
    auto inProcess = MakeBrowser(0, "/f", 10);
    ExpectFound(*inProcess, 7);
    ExpectFound(*inProcess, 30);
    EXPECT_TRUE(index().browseCalls().back().direct);
    EXPECT_EQ(LastStartName(), Base32Name(30));
  }
  SetLocalClientName("");
}

struct DeliveryPath {
  const char* name;
  ebindex::Protocol protocol;
  bool inProcess;
  int appType;
};

// One item of 200 extents numbered from 0, browsed ten at a time through
// each way a page can travel.
class DeliveryPathTest : public IndexTest, public ::testing::WithParamInterface<DeliveryPath> {
 protected:
  DeliveryPathTest() {
    AddItem("/item", 0, 200);
    index().setProtocol(GetParam().protocol);
    if (GetParam().inProcess) SetLocalClientName("localhost");
  }
  ~DeliveryPathTest() override { SetLocalClientName(""); }

  std::unique_ptr<ExtentBrowseImpl> Browser() { return MakeBrowser(GetParam().appType, "/item", 10); }
  static std::size_t EnumeratedCount(ExtentBrowseImpl& browser) {
    void* handle = browser.OpenEnum();
    if (handle == nullptr) return 0;
    std::size_t count = 0;
    unsigned long long extent = 0, expected = 0;
    bool empty = false;
    while (browser.EnumExtent(handle, extent, empty)) count += extent == expected++;
    browser.CloseEnum(handle);
    return count;
  }
};

TEST_P(DeliveryPathTest, LookupsInAnyOrderAndAnEnumerationAfterThemAnswerForTheWholeItem) {
  auto browser = Browser();
  unsigned long long id = 0, value = 0;
  ASSERT_EQ(browser->GetAFInfo(5, id, value), EB_EXTENT_FOUND);
  EXPECT_EQ(EnumeratedCount(*browser), 200u) << "the enumeration asks for every extent";

  auto fresh = Browser();
  std::mt19937 random(42);
  for (int i = 0; i < 300; ++i) {
    const unsigned long long extent = random() % 250;
    const ExtentBrowseResult result = fresh->GetAFInfo(extent, id, value);
    if (extent < 200) {
      ASSERT_EQ(result, EB_EXTENT_FOUND) << extent;
      ASSERT_EQ(value, 2000 + extent);
    } else {
      ASSERT_EQ(result, EB_EXTENT_NOT_FOUND) << extent;
    }
  }
  EXPECT_EQ(EnumeratedCount(*fresh), 200u);
}

INSTANTIATE_TEST_SUITE_P(
    EveryPath, DeliveryPathTest,
    ::testing::Values(DeliveryPath{"V2", ebindex::Protocol::V2, false, 0},
                      DeliveryPath{"V1Remote", ebindex::Protocol::V1, false, 0},
                      DeliveryPath{"V1InProcess", ebindex::Protocol::V1, true, 0},
                      DeliveryPath{"V2Database81", ebindex::Protocol::V2, false, 81},
                      DeliveryPath{"V1InProcessDatabase81", ebindex::Protocol::V1, true, 81},
                      DeliveryPath{"V2VirtualServer", ebindex::Protocol::V2, false, 106}),
    [](const ::testing::TestParamInfo<DeliveryPath>& info) { return info.param.name; });

}  // namespace
