// End-to-end tests of the extent-browse executable.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Slurp(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::size_t Occurrences(const std::string& text, const std::string& needle) {
  std::size_t count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/extent-browse-test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    // A file item with a hole at 3-5 and an empty extent 7, and a disk item
    // whose index uses the old decimal names.
    WriteFile("index.tsv",
              "# test catalogue\n"
              "/f/item\t0\t10\t0\t0\n/f/item\t1\t10\t100\t0\n/f/item\t2\t11\t200\t0\n"
              "/f/item\t6\t12\t600\t0\n/f/item\t7\t12\t700\t1\n"
              "\n/vm/disk\t4\t40\t4\t0\tExtent4\n/vm/disk\t5\t50\t5\t0\tExtent5\n");
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::string File(const std::string& name) const { return dir_ + "/" + name; }
  void WriteFile(const std::string& name, const std::string& text) const {
    std::ofstream(File(name), std::ios::binary) << text;
  }

  // Runs the tool on the test catalogue with `arguments` (each passed as one
  // word) and `input` on standard input.
  Outcome Tool(std::initializer_list<std::string> arguments, const std::string& input = "",
           bool withIndex = true) const {
    std::string command = std::string("'") + EXTENT_BROWSE_TOOL + "'";
    if (withIndex) command += " --index '" + File("index.tsv") + "'";
    for (const std::string& argument : arguments) command += " '" + argument + "'";
    WriteFile("stdin", input);
    command += " <'" + File("stdin") + "' >'" + File("stdout") + "' 2>'" + File("stderr") + "'";
    Outcome run;
    const int status = std::system(command.c_str());
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = Slurp(File("stdout"));
    run.err = Slurp(File("stderr"));
    return run;
  }

  std::string dir_;
};

TEST_F(ToolTest, EachCommandPrintsOneLinePerAnswer) {
  Outcome run = Tool({"--path", "/f/item", "lookup", "1", "4", "7"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "1 found 10 100\n4 not-found\n7 found 12 700\n");

  run = Tool({"--path", "/f/item", "enum"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "0 not-empty\n1 not-empty\n2 not-empty\n6 not-empty\n7 empty\n");

  // Nothing browsed yet: no extent is known to be empty.
  run = Tool({"--path", "/f/item", "empty", "7"});
  EXPECT_EQ(run.out, "7 not-empty\n");

  run = Tool({"--path", "/f/item", "name", "33"});
  EXPECT_EQ(run.out, "0000000000011\n");
  run = Tool({"--path", "/f/item", "number", "0000000000011"});
  EXPECT_EQ(run.out, "33\n");

  run = Tool({"--path", "/f/item", "stats"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("FindInExtentMap"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("browse requests: 0\n"), std::string::npos) << run.out;

  run = Tool({"--help"}, "", false);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("Usage: extent-browse"), std::string::npos);
}

TEST_F(ToolTest, SessionFromStandardInputSharesOneBrowser) {
  const Outcome run = Tool({"--path", "/f/item", "--log-level", "4"},
                       "# look two extents up\nlookup 0\n\nlookup 2\nempty 7\nstats\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.rfind("0 found 10 0\n2 found 11 200\n7 empty\n", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("browse requests: 1\n"), std::string::npos) << run.out;
  EXPECT_EQ(Occurrences(run.err, "Going to create browseThread"), 1u) << run.err;
  EXPECT_EQ(run.out.find("extent-browse>"), std::string::npos) << "no prompt without a terminal";
}

TEST_F(ToolTest, OldNamesOfAVirtualDiskAreFoundAndSwitchTheScheme) {
  const Outcome run = Tool({"--path", "/vm/disk", "--app-type", "106"}, "lookup 4 3\nname 5\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "4 found 40 4\n3 not-found\nExtent5\n");
}

TEST_F(ToolTest, SavedCacheSeedsTheNextRunWithoutABrowse) {
  const std::string cache = File("cache");
  Outcome run = Tool({"--path", "/f/item", "--cache", cache, "lookup", "1"});
  ASSERT_EQ(run.status, 0) << run.err;
  // The page starts at extent 1's name, so extent 0 was never seen.
  EXPECT_EQ(Slurp(cache), "START_EXTENT_INFO\n1 10 100\n2 11 200\n6 12 600\n7 12 700\n"
                          "END_EXTENT_INFO\n");

  run = Tool({"--path", "/f/item", "--cache", cache, "--log-level", "4", "lookup", "6", "2"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "6 found 12 600\n2 found 11 200\n");
  EXPECT_EQ(Occurrences(run.err, "Going to create browseThread"), 0u) << run.err;

  run = Tool({"--path", "/f/item", "save", File("copy")});
  EXPECT_EQ(run.out, "saved 0 extents to " + File("copy") + "\n");
  EXPECT_EQ(Slurp(File("copy")), "START_EXTENT_INFO\nEND_EXTENT_INFO\n");
}

TEST_F(ToolTest, EveryFaultAnswersBrowseFailedWithStatusOne) {
  for (const char* fault : {"--fail-init", "--fail-browse"}) {
    const Outcome run = Tool({"--path", "/f/item", fault, "lookup", "1"});
    EXPECT_EQ(run.status, 1) << fault;
    EXPECT_EQ(run.out, "1 browse-failed\n") << fault;
  }
  Outcome run = Tool({"--path", "/f/item", "--error-code", "7", "lookup", "1"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "1 browse-failed\n");
  run = Tool({"--path", "/f/item", "--fail-browse", "enum"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "enum browse-failed\n");
}

TEST_F(ToolTest, UsageErrorsStopWithStatusTwoAndOneLine) {
  WriteFile("bad.tsv", "/f/item\t0\t10\t0\t0\n/f/item\tx\t10\t0\t0\n");
  Outcome run = Tool({"--index", File("bad.tsv"), "lookup", "0"}, "", false);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err.rfind("extent-browse: " + File("bad.tsv") + ":2: ", 0), 0u) << run.err;
  EXPECT_EQ(run.out, "");

  const std::initializer_list<std::string> wrongCalls[] = {
      {"lookup", "1"},                            // two items, no --path
      {"--path", "/nope", "lookup", "1"},         // unknown item
      {"--path", "/f/item", "--page-size", "x"},  // bad option value
      {"--path", "/f/item", "--frobnicate"},      // unknown option
      {"--path", "/f/item", "lookup", "-1"},      // not an extent number
      {"--path", "/f/item", "explode"},           // unknown command
      {"--path", "/f/item", "save"},              // nowhere to save
  };
  for (const auto& arguments : wrongCalls) {
    run = Tool(arguments);
    EXPECT_EQ(run.status, 2) << *(arguments.end() - 1);
    EXPECT_EQ(Occurrences(run.err, "\n"), 1u) << run.err;
    EXPECT_EQ(run.err.rfind("extent-browse: ", 0), 0u) << run.err;
  }
}

TEST_F(ToolTest, DemoRunsOnTheBundledSample) {
  const Outcome run = Tool({"demo"}, "", false);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("lookup 25: not found   (browse requests so far: 2)"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("name of extent 12 after browsing:  Extent12"), std::string::npos);
}

}  // namespace
