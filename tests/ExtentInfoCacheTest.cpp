// The extent-info block on a caller's stream: seeding at construction and
// SaveExtentInfo.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "support/BrowserFixtures.h"

namespace {

using namespace ebtest;

const std::string kStart = "START_EXTENT_INFO\n";
const std::string kEnd = "END_EXTENT_INFO\n";

class ExtentInfoCacheTest : public IndexTest {
 protected:
  ExtentInfoCacheTest() { AddItem("/f", 0, 50); }

  std::unique_ptr<ExtentBrowseImpl> Seeded(std::stringstream& stream) {
    return MakeBrowser(0, "/f", 100, "", &stream);
  }
  ExtentBrowseResult Lookup(ExtentBrowseImpl& browser, unsigned long long extent,
                            unsigned long long& id, unsigned long long& value) {
    return browser.GetAFInfo(extent, id, value);
  }
};

TEST_F(ExtentInfoCacheTest, ACompleteBlockSeedsRecordsButNotRanges) {
  std::stringstream stream(kStart + "5 12 7\n" + "3 12 6\n\n" + "5 13 8\n" + kEnd + "after");
  auto browser = Seeded(stream);
  std::string next;
  stream >> next;
  EXPECT_EQ(next, "after") << "the stream is left just past the block";
  // Out of order lines, an empty line, and a later line replacing an earlier one.
  EXPECT_EQ(MapOf(*browser), (std::vector<MapRecord>{{3, 12, 6}, {5, 13, 8}}));

  unsigned long long id = 0, value = 0;
  EXPECT_EQ(Lookup(*browser, 5, id, value), EB_EXTENT_FOUND);
  EXPECT_EQ(id, 13u);
  EXPECT_EQ(value, 8u);
  EXPECT_EQ(BrowseCount(), 0u);
  // Extent 4 is absent from the block, and the block says nothing of ranges.
  EXPECT_EQ(Lookup(*browser, 4, id, value), EB_EXTENT_FOUND);
  EXPECT_EQ(id, 1004u);
  EXPECT_EQ(BrowseCount(), 1u);
}

TEST_F(ExtentInfoCacheTest, SavedMapReadsBackIntoANewBrowserUpToTheLargestValues) {
  std::stringstream first;
  auto original = MakeBrowser(0, "/f");
  unsigned long long id = 0, value = 0;
  ASSERT_EQ(Lookup(*original, 10, id, value), EB_EXTENT_FOUND);
  ASSERT_TRUE(original->SaveExtentInfo(&first));

  std::stringstream copy(first.str());
  auto seeded = Seeded(copy);
  EXPECT_EQ(MapOf(*seeded), MapOf(*original));
  EXPECT_FALSE(MapOf(*seeded).empty());

  const std::string max = "18446744073709551615";
  std::stringstream largest(kStart + max + " " + max + " " + max + "\n" + kEnd);
  std::stringstream saved;
  ASSERT_TRUE(Seeded(largest)->SaveExtentInfo(&saved));
  EXPECT_EQ(saved.str(), largest.str());
}

TEST_F(ExtentInfoCacheTest, IncompleteOrMalformedBlocksLeaveTheMapEmptyAndTheStreamAtTheBlock) {
  const std::string longLine(1100, '1');
  const std::string cases[] = {
      kStart + "1 2 3\n",                        // no end marker
      kStart + "1 2 3\n" + longLine + "\n" + kEnd,  // a line too long for the reader
      kStart + "1 2 3\nbogus\n4 5 6\n" + kEnd,      // a line without its numbers
      kStart + "1 2 3\n7 8\n" + kEnd,               // a line with two of three
      // Anything the writer never produces is damage, not a record.
      kStart + "-1 5 5\n" + kEnd,
      kStart + "+5 1 1\n" + kEnd,
      kStart + "18446744073709551616 1 1\n" + kEnd,  // past 64 bits
      kStart + "1 2 3 4\n" + kEnd,
      kStart + "1  2 3\n" + kEnd,
      kStart + " 1 2 3\n" + kEnd,
      kStart + "1 2 3 \n" + kEnd,
      kStart + "1\t2\t3\n" + kEnd,
      kStart + "1 2 0x3\n" + kEnd,
      kStart + "1 2 3\r\n" + kEnd,
  };
  for (const std::string& text : cases) {
    std::stringstream stream("  " + text);
    auto browser = Seeded(stream);
    EXPECT_TRUE(MapOf(*browser).empty());
    EXPECT_TRUE(stream.good());
    EXPECT_EQ(stream.tellg(), 2);  // the block's marker, past the blanks
    std::string word;
    stream >> word;
    EXPECT_EQ(word, "START_EXTENT_INFO");
  }
}

TEST_F(ExtentInfoCacheTest, TextBeforeTheBlockMeansNoBlock) {
  std::stringstream stream("header\n" + kStart + "1 2 3\n" + kEnd);
  auto browser = Seeded(stream);
  EXPECT_TRUE(MapOf(*browser).empty());
  EXPECT_TRUE(stream.good());
  std::string next;
  stream >> next;  // the reader consumed the foreign word only
  EXPECT_EQ(next, "START_EXTENT_INFO");
}

TEST_F(ExtentInfoCacheTest, ABlockAfterEarlierTextIsReadAndOverwrittenInPlace) {
  std::stringstream stream("prefix " + kStart + "1 2 3\n" + kEnd);
  std::string prefix;
  stream >> prefix;
  auto browser = Seeded(stream);
  EXPECT_EQ(MapOf(*browser), (std::vector<MapRecord>{{1, 2, 3}}));

  // A file stream shares its read and write positions: the new block
  // starts where the old one began.
  const std::string path = testing::TempDir() + "extent_cache_overwrite.txt";
  {
    std::ofstream out(path);
    out << "prefix " << kStart << "1 2 3\n" << kEnd;
  }
  std::fstream file(path, std::ios::in | std::ios::out);
  file >> prefix;
  SCParams params = MakeParams(0);
  ExtentBrowseImpl fromFile(params, "/f", &file, EB_MODE_DEFAULT, 100, 13, false, 0, "");
  unsigned long long id = 0, value = 0;
  ASSERT_EQ(fromFile.GetAFInfo(20, id, value), EB_EXTENT_FOUND);
  ASSERT_TRUE(fromFile.SaveExtentInfo(nullptr));
  file.close();
  std::ifstream in(path);
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content.rfind("prefix " + kStart + "1 2 3\n20 1020 2020\n", 0), 0u) << content;
}

TEST_F(ExtentInfoCacheTest, SavingWritesExactlyTheFormat) {
  auto browser = MakeBrowser(0, "/f");
  std::stringstream empty;
  ASSERT_TRUE(browser->SaveExtentInfo(&empty));
  EXPECT_EQ(empty.str(), kStart + kEnd);

  std::stringstream seed(kStart + "0 12 5\n1 12 6\n" + kEnd);
  auto seeded = Seeded(seed);
  std::stringstream out;
  out << std::hex << std::showpos;  // a caller's formatting does not leak into the block
  ASSERT_TRUE(seeded->SaveExtentInfo(&out));
  EXPECT_EQ(out.str(), kStart + "0 12 5\n1 12 6\n" + kEnd);
  EXPECT_TRUE(out.flags() & std::ios::hex);

  // Without a stream, to the one it was seeded from.
  ASSERT_TRUE(seeded->SaveExtentInfo(nullptr));
  EXPECT_EQ(seed.str(), kStart + "0 12 5\n1 12 6\n" + kEnd);
}

TEST_F(ExtentInfoCacheTest, SavingReportsStreamsItCannotUse) {
  auto withoutStream = MakeBrowser(0, "/f");
  EXPECT_FALSE(withoutStream->SaveExtentInfo(nullptr));

  std::stringstream bad;
  bad.setstate(std::ios::failbit);
  EXPECT_FALSE(withoutStream->SaveExtentInfo(&bad));
  EXPECT_TRUE(log.contains("iostream is not good."));

  // A stream whose buffer takes nothing fails while the block is written.
  struct RefusingBuffer : std::streambuf {
    int overflow(int) override { return traits_type::eof(); }
  } refusing;
  std::iostream broken(&refusing);
  log.clear();
  EXPECT_FALSE(withoutStream->SaveExtentInfo(&broken));
  EXPECT_TRUE(log.contains("Writing the extent info block to the iostream failed."));
  EXPECT_TRUE(broken.good());  // the error state is cleared afterwards
}

TEST_F(ExtentInfoCacheTest, ABadStreamIsNotRead) {
  std::stringstream bad(kStart + "1 2 3\n" + kEnd);
  bad.setstate(std::ios::failbit);
  auto browser = Seeded(bad);
  EXPECT_TRUE(MapOf(*browser).empty());
  EXPECT_TRUE(bad.fail());  // untouched
}

}  // namespace
