// Every line the library writes, walked path by path: each must be a row of
// the guide's log line catalogue, with its level and the signature of the
// function the row names, and each row must be written by some path.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <set>
#include <sstream>
#include <stdexcept>

#include "browser/TdfsIdxBrowseClientResp.h"
#include "extentbrowse/ExtentBrowse.h"
#include "naming/ExtentBucket.h"
#include "support/Support.h"

namespace {

// The next allocation of at least this many bytes on this thread fails, as
// when memory runs out; zero when none is to fail.
thread_local std::size_t failAllocationOf = 0;

}  // namespace

// Every non-aligned form is replaced, so that what one allocates the other
// frees, sanitizers or not.
void* operator new(std::size_t size) {
  if (failAllocationOf != 0 && size >= failAllocationOf) {
    failAllocationOf = 0;
    throw std::bad_alloc();
  }
  if (void* memory = std::malloc(size > 0 ? size : 1)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept try {
  return operator new(size);
} catch (...) {
  return nullptr;
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

namespace {

using namespace ebtest;
using Kind = ebindex::ScriptedResponse;

// Captures every line, and throws once when asked to write the line of
// `throwOn`, as a host's writer on a full disk might: a C string, whose text
// the line reporting it must carry.
class Writer : public CCaptureLogWriter {
 public:
  Writer() : CCaptureLogWriter(5) {}
  std::string throwOn;

 protected:
  void writeLine(int level, const char* function, int line, const std::string& message) override {
    CCaptureLogWriter::writeLine(level, function, line, message);
    if (!throwOn.empty() && throwOn == currentFormat()) {
      throwOn.clear();
      throw "log disk full";
    }
  }
};

class LogCatalogueTest : public IndexTest {
 protected:
  LogCatalogueTest() : previous(g_ptrLogWriter) { g_ptrLogWriter = writer; }
  ~LogCatalogueTest() override { g_ptrLogWriter = previous; }

  ExtentBrowseResult Lookup(ExtentBrowseImpl& browser, unsigned long long extent,
                            unsigned long long rangeStart = ~0ull) {
    unsigned long long id = 0, value = 0;
    return browser.GetAFInfo(extent, id, value, rangeStart);
  }
  void Enumerate(ExtentBrowseImpl& browser) {
    if (void* handle = browser.OpenEnum()) {
      unsigned long long extent = 0;
      bool empty = false;
      while (browser.EnumExtent(handle, extent, empty)) {
      }
      browser.CloseEnum(handle);
    }
  }

  const boost::shared_ptr<Writer> writer{new Writer()};
  const boost::shared_ptr<CLogWriterInterface> previous;
};

TEST_F(LogCatalogueTest, EveryPathWritesOnlyCataloguedLinesAndEveryRowIsWritten) {
  AddItem("/f", 0, 60);
  AddItem("/f", 80, 220);
  AddItem("/vm/disk", 0, 30, [](unsigned long long e) { return "Extent" + std::to_string(e); });
  AddItem("/db", 5, 20);  // rows are not extents
  index().setHostClientName("here", "local");
  const auto throwing = [this](const char* format) { writer->throwOn = format; };

  // Lookups through the facade: a miss, a hit, holes, the pages that do not
  // keep their range, and extent ranges that hold the extent or miss it.
  {
    SCParams params = MakeParams(0);
    ExtentBrowse facade(params, "/f", nullptr, EB_MODE_DEFAULT, 50, 13, false, 0, "");
    unsigned long long id = 0, value = 0;
    for (const unsigned long long extent : {0, 0, 65, 300}) facade.GetAFInfo(extent, id, value);
    for (const auto& [extent, rangeStart] : {std::make_pair(170, 160), {230, 220}, {280, 200}}) {
      facade.GetAFInfo(extent, id, value, rangeStart);
    }
  }
  // "Z" sorts after every base32 name but reads as 0: the page from 10 ends
  // before it starts, and records nothing.
  catalogue.addEntry("/misnamed", MakeEntry(99, "Z"));
  index().setCatalogue(catalogue);
  Lookup(*MakeBrowser(0, "/misnamed"), 10);
  // Saves to no stream, a failed one, one that takes nothing, and one that
  // cannot be written for want of memory: each says false.
  auto browser = MakeBrowser(0, "/f", 100);
  Enumerate(*browser);
  Enumerate(*browser);
  EXPECT_FALSE(browser->SaveExtentInfo(nullptr));
  std::stringstream bad;
  bad.setstate(std::ios::badbit);
  EXPECT_FALSE(browser->SaveExtentInfo(&bad));
  struct RefusingBuffer : std::streambuf {
    int overflow(int) override { return traits_type::eof(); }
  } refusing;
  std::iostream broken(&refusing);
  EXPECT_FALSE(browser->SaveExtentInfo(&broken));
  EXPECT_TRUE(broken.good()) << "the error state is cleared afterwards";
  std::stringstream saved;
  failAllocationOf = 64 * 1024;
  EXPECT_FALSE(browser->SaveExtentInfo(&saved));
  PrintBucket(ExtentBucket<std::string>("A", "B"));

  // Virtual servers, and database items over V2, found by row.
  auto vm = MakeBrowser(106, "/vm/disk", 10);
  Lookup(*vm, 3);
  Lookup(*vm, 35);
  auto db = MakeBrowser(81, "/db", 10);
  Lookup(*db, 10);

  // V1, through a remote host and in process, by both request forms.
  index().setProtocol(ebindex::Protocol::V1);
  SetLocalClientName("local");
  for (const char* host : {"elsewhere", "here"}) {
    for (const unsigned long long rangeStart : {~0ull, 0ull}) {
      Lookup(*MakeBrowser(0, "/f", 10, host), 3, rangeStart);
    }
  }
  SetLocalClientName("");
  index().setProtocol(ebindex::Protocol::V2);

  // Failures: of the client, of the browse, of the index's answer, of each
  // kind of response, and of an item the index does not hold.
  for (const unsigned long long rangeStart : {~0ull, 0ull}) {
    index().failInitialize(1);
    Lookup(*MakeBrowser(0, "/f"), 3, rangeStart);
  }
  index().failBrowse(0, false, 2);
  Lookup(*MakeBrowser(0, "/f"), 3);
  Enumerate(*MakeBrowser(0, "/f"));
  index().failBrowse(1, false, 1);
  Enumerate(*MakeBrowser(0, "/f"));
  Lookup(*MakeBrowser(0, "/nowhere"), 3);
  index().scriptResponses(
      {Kind::Of(Kind::kNull), Kind::Of(Kind::kOtherClass), Kind::Of(Kind::kNoBrowseResult),
       Kind::Of(Kind::kNoDataList), Kind::Of(Kind::kEnd)},
      1);
  Lookup(*MakeBrowser(0, "/f"), 3);
  browser->IdxBrowseClientProcessRespCallback(static_cast<databrowse::BrowseResponse*>(nullptr));
  TdfsIdxBrowseClientResp ownerless(nullptr);
  ownerless.processResp(static_cast<CNMessageBase*>(nullptr));
  ownerless.processResp(static_cast<databrowse::BrowseResponse*>(nullptr));

  // Whatever throws, from the host's writer or for want of memory.
  const struct {
    const char* format;
    std::function<void()> call;
  } throws[] = {
      {"copyPrecedence set to %u", [&] { Lookup(*MakeBrowser(0, "/f"), 3); }},
      {"copyPrecedence set to %u", [&] { Enumerate(*MakeBrowser(0, "/f")); }},
      {"Going to create browseThread", [&] { Lookup(*MakeBrowser(0, "/f"), 3); }},
      {"ioExtNum: [%llu] not found in extentMap.", [&] { Lookup(*browser, 1000); }},
      {"Enumerating all the extents", [&] { Enumerate(*MakeBrowser(0, "/f")); }},
      {"END response received.", [&] { Lookup(*MakeBrowser(0, "/f"), 3); }},
      {"Unknown response received in IdxBrowseClientResp callback",
       [&] {
         databrowse::BrowseData foreign;
         browser->IdxBrowseClientProcessRespCallback(&foreign);
       }},
  };
  for (const auto& t : throws) {
    throwing(t.format);
    t.call();
  }
  std::stringstream damaged("START_EXTENT_INFO\n1 2 3\n1 x 7\nEND_EXTENT_INFO\n");
  MakeBrowser(0, "/f", 100, "", &damaged);
  std::stringstream block("START_EXTENT_INFO\nEND_EXTENT_INFO\n");
  failAllocationOf = 64 * 1024;
  MakeBrowser(0, "/f", 100, "", &block);
  const std::string longName(100000, 'x');
  failAllocationOf = longName.size();
  SetLocalClientName(longName);
  failAllocationOf = longName.size();
  browser->SetBackupSetGuid(longName);
  SetLocalClientName("");
  browser.reset();

  const std::vector<CCaptureLogWriter::Line> lines = writer->lines();
  EXPECT_EQ(UncataloguedLines(lines), "");
  EXPECT_TRUE(writer->contains("Looking up ioExtNum [1000] failed: log disk full"));
  std::set<std::pair<std::string, std::string>> written;
  for (const auto& line : lines) written.emplace(line.format, GccSignature(line.function));
  // A browser being destroyed as its browse starts is the lifecycle test's
  // to walk; no client of the stand-in platform holds neither request.
  const std::set<std::string> walkedElsewhere = {
      "StartBrowse will exit now because the owner ExtentBrowse object is going to be removed",
      "IdxBrowseClient holds neither a V2 nor a V1 browse request."};
  for (const CataloguedLine& row : LogCatalogue()) {
    if (walkedElsewhere.count(row.format) != 0) continue;
    EXPECT_EQ(written.count({row.format, row.function}), 1u)
        << "no path wrote `" << row.format << "` in `" << row.function << "`";
  }
}

}  // namespace
