// The extent-info block on a caller's stream: seeding at construction and
// SaveExtentInfo.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "support/Support.h"

namespace {

using namespace ebtest;

const std::string kStart = "START_EXTENT_INFO\n";
const std::string kEnd = "END_EXTENT_INFO\n";

class ExtentInfoCacheTest : public IndexTest {
 protected:
  ExtentInfoCacheTest() { AddItem("/f", 0, 50); }
  std::unique_ptr<ExtentBrowseImpl> Seeded(std::iostream& stream) {
    return MakeBrowser(0, "/f", 100, "", &stream);
  }
  unsigned long long id = 0, value = 0;
};

// A stream that cannot seek, as over a pipe: it gives its text once, forward.
class ForwardOnlyBuffer : public std::streambuf {
 public:
  explicit ForwardOnlyBuffer(std::string text) : text_(std::move(text)) {
    setg(&text_[0], &text_[0], &text_[0] + text_.size());
  }

 private:
  std::string text_;
};

// Blocks of several items kept back to back in one stream each seed their
// own browser, however far ahead a reader could have read.
TEST_F(ExtentInfoCacheTest, BlocksBackToBackOnAStreamThatCannotSeekSeedABrowserEach) {
  std::string second = kStart;
  for (int extent = 0; extent < 20000; ++extent) {
    second += std::to_string(extent) + " 7 " + std::to_string(extent) + "\n";
  }
  ForwardOnlyBuffer buffer(kStart + "1 2 3\n" + kEnd + second + kEnd + "4 5 6\n");
  std::iostream stream(&buffer);
  EXPECT_EQ(MapOf(*Seeded(stream)), (std::vector<MapRecord>{{1, 2, 3}}));
  EXPECT_EQ(MapOf(*Seeded(stream)).size(), 20000u);
  std::string rest;
  std::getline(stream, rest);
  EXPECT_EQ(rest, "4 5 6");
}

// Damage, not records: a block cut short or holding a line the writer never
// produces (the tool's tests judge every kind of line) seeds nothing, and
// the line that says so names the line and why, on either kind of stream.
TEST_F(ExtentInfoCacheTest, IncompleteOrMalformedBlocksLeaveTheMapEmptyAndTheStreamAtTheBlock) {
  const std::string ignored = "The extent info block was ignored at its line ";
  const struct {
    std::string rest;  // after the start marker and "1 2 3"
    std::string why;
  } cases[] = {
      {"", "3: the stream ended before END_EXTENT_INFO."},
      {"\n4 5 6", "5: the stream ended before END_EXTENT_INFO."},
      {"1 x 7\n" + kEnd,
       "3: the line is not three unsigned decimal numbers separated by single "
       "blanks."},
      {"\n" + std::string(1024, '7') + "\n" + kEnd, "4: the line is longer than 1023 characters."},
      {std::string(1030, '0') + "5 1 2\n" + kEnd, "3: the line is longer than 1023 characters."},
  };
  for (const auto& c : cases) {
    const std::string text = kStart + "1 2 3\n" + c.rest;
    for (const bool canSeek : {true, false}) {
      log->clear();
      std::stringstream seekable("  " + text);
      ForwardOnlyBuffer pipe(text);
      std::iostream piped(&pipe);
      std::iostream& stream = canSeek ? static_cast<std::iostream&>(seekable) : piped;
      EXPECT_TRUE(MapOf(*Seeded(stream)).empty()) << text;
      EXPECT_EQ(log->count(ignored + c.why), 1u) << text;
      EXPECT_TRUE(stream.good());
      // The block's marker, past the blanks.
      if (canSeek) {
        EXPECT_EQ(stream.tellg(), 2);
      }
    }
  }
  // Nor is a stream that is not good read at all.
  log->clear();
  std::stringstream bad(kStart + "1 2 3\n" + kEnd);
  bad.setstate(std::ios::failbit);
  EXPECT_TRUE(MapOf(*Seeded(bad)).empty());
  EXPECT_TRUE(bad.fail());
  EXPECT_EQ(log->countPrefix(ignored), 0u);
}

// A file stream shares its read and write positions, so it shows where a
// save writes: where the construction found its first word, past the text a
// caller read before, whether that word began a block or not.
TEST_F(ExtentInfoCacheTest, SavingToTheConstructionStreamOverwritesFromWhereItsFirstWordBegan) {
  const struct {
    std::string after;  // what follows "prefix " in the file
    std::vector<MapRecord> seeded;
    std::string next;  // the word a caller reads next: a foreign word is read alone
  } cases[] = {
      {kStart + "1 2 3\n" + kEnd, {{1, 2, 3}}, ""},
      {"header\n" + kStart + "1 2 3\n" + kEnd, {}, "START_EXTENT_INFO"},
  };
  // A name of its own: a file another user or another build's run left
  // under a fixed name could not be written.
  std::string path = testing::TempDir() + "extent_cache_overwrite.XXXXXX";
  const int made = mkstemp(&path[0]);
  ASSERT_GE(made, 0);
  close(made);
  for (const auto& c : cases) {
    std::ofstream(path) << "prefix " << c.after;
    std::fstream file(path, std::ios::in | std::ios::out);
    std::string prefix;
    file >> prefix;
    auto browser = Seeded(file);
    std::string next;
    file >> next;
    EXPECT_EQ(next, c.next);
    file.clear();
    EXPECT_EQ(MapOf(*browser), c.seeded);
    ASSERT_EQ(browser->GetAFInfo(20, id, value), EB_EXTENT_FOUND);
    ASSERT_TRUE(browser->SaveExtentInfo(nullptr));
    file.close();
    std::ifstream in(path);
    const std::string content{std::istreambuf_iterator<char>(in), {}};
    std::string records = c.seeded.empty() ? "" : "1 2 3\n";
    for (int extent = 20; extent < 50; ++extent) {
      records += std::to_string(extent) + " " + std::to_string(1000 + extent) + " " +
                 std::to_string(2000 + extent) + "\n";
    }
    EXPECT_EQ(content.substr(0, 7 + kStart.size() + records.size() + kEnd.size()),
              "prefix " + kStart + records + kEnd);
  }
  // A browser built on a stream that could not tell its place saves to
  // another stream at its start, as one built on no block does.
  ForwardOnlyBuffer pipe(kStart + "1 2 3\n" + kEnd);
  std::iostream piped(&pipe);
  auto fromPipe = Seeded(piped);
  std::ofstream(path) << "prefix and more";
  std::fstream file(path, std::ios::in | std::ios::out);
  std::string prefix;
  file >> prefix;
  ASSERT_TRUE(fromPipe->SaveExtentInfo(&file));
  file.close();
  std::ifstream in(path);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), kStart + "1 2 3\n" + kEnd);
  std::remove(path.c_str());
}

TEST_F(ExtentInfoCacheTest, SavingWritesExactlyTheFormatWhateverTheCallersFormatting) {
  std::stringstream empty;
  ASSERT_TRUE(MakeBrowser(0, "/f")->SaveExtentInfo(&empty));
  EXPECT_EQ(empty.str(), kStart + kEnd);

  std::stringstream seed(kStart + "0 12 5\n1 12 6\n" + kEnd), out;
  auto seeded = Seeded(seed);
  out << std::hex << std::showpos;
  ASSERT_TRUE(seeded->SaveExtentInfo(&out));
  EXPECT_EQ(out.str(), kStart + "0 12 5\n1 12 6\n" + kEnd);
  EXPECT_TRUE(out.flags() & std::ios::hex) << "the caller's flags are put back";
  ASSERT_TRUE(seeded->SaveExtentInfo(nullptr));
  EXPECT_EQ(seed.str(), kStart + "0 12 5\n1 12 6\n" + kEnd);
}

}  // namespace
