// Lookups end to end against the index service: the pages and ranges a
// lookup browses and records, and the failure paths. The truth sweep checks
// the answers of every kind of item on every path at random.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <stdexcept>

#include "browser/WireFields.h"
#include "extentbrowse/EBExtentNameConverter.h"
#include "extentbrowse/EBPerfCounters.h"
#include "extentbrowse/ExtentBrowse.h"
#include "support/Support.h"

namespace {

using namespace ebtest;
using Range = std::pair<unsigned long long, unsigned long long>;
using Ranges = std::vector<Range>;
using Kind = ebindex::ScriptedResponse;
constexpr unsigned long long kNoRange = ~0ull;

std::string OldVirtualServerName(unsigned long long extent) {
  return "Extent" + std::to_string(extent);
}

std::string OldDatabaseName(unsigned long long extent) {
  char name[32];
  std::snprintf(name, sizeof name, "Ext_%08llx", extent);
  return name;
}

class LookupTest : public IndexTest {
 protected:
  ExtentBrowseResult Lookup(ExtentBrowseImpl& browser, unsigned long long extent,
                            unsigned long long rangeStart = kNoRange) {
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
    EXPECT_EQ(afileId + afileValue, 154u) << "outputs untouched";
  }
  std::string LastStartName() {
    const ebindex::RecordedBrowse last = index().browseCalls().back();
    const CNMessageBase& query = last.hadWrapper ? last.wrapper.queries.front()
                                 : last.v1 ? last.request.findList(wire::v1::kQueries.tag)->front()
                                           : last.request.findList(wire::request::kQueries.tag)->front();
    const CNMessageBase* options = query.findObject(wire::query::kOptions.tag);
    const CNMessageBase* paging =
        options != nullptr ? options->findObject(wire::queryoptions::kPaging.tag) : nullptr;
    return paging != nullptr ? StringOf(*paging, wire::paging::kStartName) : "<no paging>";
  }
  Range LastRange() {
    const Ranges all = RecordedRanges(log);
    return all.empty() ? Range() : all.back();
  }

  unsigned long long afileId = 0;
  unsigned long long afileValue = 0;
};

TEST_F(LookupTest, AFileSystemItemIsBrowsedAPageAtATimeAndItsHolesNeedNoBrowse) {
  AddItem("/f", 0, 60);
  AddItem("/f", 80, 220);
  auto browser = MakeBrowser(0, "/f", 100);
  EXPECT_FALSE(browser->IsExtentEmpty(7)) << "not known yet, and asking does not browse";
  EXPECT_EQ(BrowseCount(), 0u);

  ExpectFound(*browser, 0);
  EXPECT_EQ(LastRange(), Range(0, 119));  // a hundred items: 0-59 and 80-119
  ExpectFound(*browser, 119);
  ExpectNotFound(*browser, 70);
  EXPECT_TRUE(browser->IsExtentEmpty(7) && !browser->IsExtentEmpty(8));
  EXPECT_EQ(BrowseCount(), 1u);

  ExpectFound(*browser, 150);  // the page starts at the extent looked up
  EXPECT_EQ(LastStartName(), Base32Name(150));
  EXPECT_EQ(LastRange(), Range(150, 249));
  EXPECT_EQ(BrowseCount(), 2u);
}

TEST_F(LookupTest, OldNamesSwitchTheConverterAndKeepTheirOwnOrder) {
  AddItem("/vm", 0, 100, OldVirtualServerName);
  auto vm = MakeBrowser(106, "/vm", 10);
  ExpectFound(*vm, 5);
  // Virtual-server requests name their start in base32; the index translates.
  EXPECT_EQ(LastStartName(), Base32Name(5));
  EXPECT_FALSE(vm->GetExtentNameConverter()->isNewNamingScheme());
  EXPECT_EQ(LastRange(), Range(5, 58));  // Extent5, Extent50 ... Extent58 in text order
  ExpectFound(*vm, 55);
  ExpectNotFound(*vm, 500);  // sorts between Extent5 and Extent58
  EXPECT_EQ(BrowseCount(), 1u);
  ExpectFound(*vm, 6);  // sorts after Extent58
  EXPECT_EQ(LastStartName(), Base32Name(6));

  AddItem("/db", 0, 20, OldDatabaseName);
  AddItem("/db", 4294967296ull, 2, OldDatabaseName);
  auto db = MakeBrowser(53, "/db", 10);
  ExpectFound(*db, 4294967296ull);
  EXPECT_EQ(std::get<0>(MapOf(*db).front()), 4294967296ull) << "not stored as 2^28";
  ExpectFound(*db, 3);
  EXPECT_EQ(LastStartName(), "Ext_00000003") << "database requests use the converter's names";
}

// Each failure fails its lookup and every later browsing lookup of the
// browser, records no range for the page it spoiled, and leaves the next
// browse to a new client, whose pages are recorded and found again. A
// browse that returns without the index's answer is one of them, on every
// path: "not found" would tell a restore there is no data.
TEST_F(LookupTest, AFailureFailsTheBrowserButLaterPagesStillCount) {
  AddItem("/f", 0, 300);
  const auto script = [this](std::vector<Kind> responses) -> std::function<void()> {
    return [this, responses] { index().scriptResponses(responses, 1); };
  };
  const Kind end = Kind::Of(Kind::kEnd);
  const std::vector<std::function<void()>> faults = {
      [this] { index().failInitialize(1); },
      [this] { index().failBrowse(1, false, 1); },
      [this] { index().failBrowse(1, true, 1); },
      [this] { index().failBrowse(0, false, 1); },  // success, having delivered nothing
      script({Kind::Of(Kind::kPage)}),              // a page, but no END
      script({Kind::Of(Kind::kNoBrowseResult), end}),
      script({Kind::Of(Kind::kNoDataList), end}),
      script({Kind::Of(Kind::kNull), end}),
      script({Kind::Of(Kind::kOtherClass), end}),
      script({Kind::Error(7), end}),
      script({Kind::Of(Kind::kPage), Kind::Error(9), end}),
  };
  enum Path { kV2, kV1Remote, kV1InProcess };
  for (const Path path : {kV2, kV1Remote, kV1InProcess}) {
    index().setProtocol(path == kV2 ? ebindex::Protocol::V2 : ebindex::Protocol::V1);
    SetLocalClientName(path == kV1InProcess ? "localhost" : "elsewhere");
    for (std::size_t i = 0; i < faults.size(); ++i) {
      const std::string what = "path " + std::to_string(path) + ", fault " + std::to_string(i);
      log->clear();
      index().clearRecords();
      auto browser = MakeBrowser(0, "/f", 100);
      faults[i]();
      EXPECT_EQ(Lookup(*browser, 10), EB_BROWSE_FAILED) << what;
      EXPECT_TRUE(log->contains("Browse() failed. [/f]")) << what;
      EXPECT_TRUE(RecordedRanges(log).empty()) << what;
      EXPECT_EQ(Lookup(*browser, 150), EB_BROWSE_FAILED) << what;
      EXPECT_EQ(RecordedRanges(log), (Ranges{{150, 249}})) << what;
      EXPECT_EQ(index().initializeCalls().size(), 2u) << what;
      ExpectFound(*browser, 150);
      // Found if the spoiled page delivered it, else failed again; never "not found".
      EXPECT_NE(Lookup(*browser, 10), EB_EXTENT_NOT_FOUND) << what;
    }
  }
  SetLocalClientName("");
  // An item the index does not hold, mostly a mistyped path, is no hole.
  index().setProtocol(ebindex::Protocol::V2);
  auto typo = MakeBrowser(0, "/f-typo");
  EXPECT_EQ(Lookup(*typo, 10), EB_BROWSE_FAILED);
  EXPECT_EQ(typo->OpenEnum(), nullptr);
  EXPECT_EQ(log->count("The index answered the browse of [/f-typo] with error code 2."), 2u);
}

// Rows are extents only in an item numbered densely from 0: a database item
// paged by row over V2 is answered only where they are. (The truth sweep
// meets pages whose names are not in number order, past 2^32, at random.)
TEST_F(LookupTest, APagePagedByRowThatStartsAtAnotherExtentFails) {
  AddItem("/rows", 5, 20);
  EXPECT_EQ(Lookup(*MakeBrowser(81, "/rows"), 10), EB_BROWSE_FAILED);  // row 10 is extent 15
}

// Browses whose ranges the browsed-range set cannot keep beside the ones it
// holds, or whose names the index orders apart from their numbers, still
// give the index's answer, from one browse each. (The truth sweep meets the
// virtual-server schemes' own cases at random.)
TEST_F(LookupTest, EveryLookupGetsTheIndexsAnswerWhenItsRangeCannotBeKept) {
  for (unsigned long long e = 0; e < 600; e += 2) {
    catalogue.addEntry("/enclosing", MakeEntry(e, Base32Name(e)));
  }
  // "Z" sorts after every base32 name but reads as 0: the page from 10
  // ends before it starts.
  AddItem("/misnamed", 1, 8);
  catalogue.addEntry("/misnamed", MakeEntry(99, "Z"));
  index().setCatalogue(catalogue);
  auto enclosing = MakeBrowser(0, "/enclosing", 50);
  EXPECT_EQ(Lookup(*enclosing, 100, 90), EB_EXTENT_FOUND);
  ExpectNotFound(*enclosing, 99);  // its page's range (99, 198) encloses (100, 138)
  auto misnamed = MakeBrowser(0, "/misnamed", 8);
  ExpectFound(*misnamed, 1);
  ExpectNotFound(*misnamed, 10);
  EXPECT_EQ(BrowseCount(), 4u);
}

// A host's writer may throw on any line, on the caller's thread or the
// service's: nothing leaves the library or reaches the service, nothing is
// left held, and no answer is wrong.
TEST_F(LookupTest, AWriterThatThrowsOnAnyLineFailsAtMostTheCallItWasIn) {
  class ThrowingWriter : public CCaptureLogWriter {
   public:
    explicit ThrowingWriter(int throwAt) : CCaptureLogWriter(5), throwAt_(throwAt) {}
    bool threw() const { return written_ >= throwAt_; }

   protected:
    void writeLine(int level, const char* function, int line, const std::string& message) override {
      if (++written_ == throwAt_) throw std::runtime_error("log disk full");
      CCaptureLogWriter::writeLine(level, function, line, message);
    }

   private:
    const int throwAt_;
    std::atomic<int> written_{0};
  };
  AddItem("/f", 0, 10);
  const auto running = [] {
    std::vector<unsigned long long> counts;
    for (const auto& counter : gEbPerfCounter->snapshot()) counts.push_back(counter.running);
    counts.erase(counts.begin() + 8, counts.end());  // left running by failed browses, by design
    return counts;
  };
  for (const bool serviceThread : {false, true}) {
    index().setDeliverOnServiceThread(serviceThread);
    index().setProtocol(serviceThread ? ebindex::Protocol::V1 : ebindex::Protocol::V2);
    for (int throwAt = 1;; ++throwAt) {
      const std::vector<unsigned long long> before = running();
      auto browser = MakeBrowser(0, "/f", 5);
      const boost::shared_ptr<CLogWriterInterface> previous = g_ptrLogWriter;
      const boost::shared_ptr<ThrowingWriter> throwing(new ThrowingWriter(throwAt));
      g_ptrLogWriter = throwing;
      const ExtentBrowseResult looked = Lookup(*browser, 3);
      std::vector<unsigned long long> listed;
      if (void* handle = browser->OpenEnum()) {
        unsigned long long extent = 0;
        bool empty = false;
        while (browser->EnumExtent(handle, extent, empty)) listed.push_back(extent);
        browser->CloseEnum(handle);
      }
      browser.reset();
      g_ptrLogWriter = previous;
      const std::string what = std::to_string(throwAt) + (serviceThread ? " on the service" : "");
      EXPECT_TRUE(looked == EB_BROWSE_FAILED ||
                  (looked == EB_EXTENT_FOUND && afileValue == 2003)) << what;
      EXPECT_TRUE(listed.empty() || listed.size() == 10) << what;
      EXPECT_EQ(running(), before) << what << ": counters left running";
      if (!throwing->threw()) break;  // every line of the calls has thrown once
    }
  }
}

TEST_F(LookupTest, EveryStepOfALookupCountsOnce) {
  AddItem("/f", 0, 10);
  auto browser = MakeBrowser(0, "/f");
  LogEBPerfcounters();  // failed lookups elsewhere leave WaitForBrowseComplete running
  const std::vector<ThrdPerfCounter::Snapshot> before = gEbPerfCounter->snapshot();
  ExpectFound(*browser, 3);  // a miss: one browse of one data response and the end
  ExpectFound(*browser, 4);  // a hit
  const std::vector<ThrdPerfCounter::Snapshot> after = gEbPerfCounter->snapshot();
  // By counter id, as gEbCounters names them.
  const unsigned long long counts[] = {1, 2, 1, 3, 0, 1, 1, 1, 1, 1};
  for (int id = 0; id < 10; ++id) {
    EXPECT_EQ(after[id].count - before[id].count, counts[id]) << after[id].name;
    EXPECT_EQ(after[id].running, before[id].running) << after[id].name;
  }
}

}  // namespace
