// The extent-browse executable's cache files: what it uses, refuses and
// replaces, what a kill or a hostile file leaves, and sessions that share one.
#include <memory>
#include <set>

#include "extentbrowse/ExtentBrowse.h"
#include "extentbrowse/ExtentBrowseImpl.h"
#include "tool/ToolRun.h"

namespace tooltest {
namespace {

TEST_F(ToolTest, ACacheSeedsTheNextRunOfItsOwnBackupOnlyAndADamagedOneIsReplaced) {
  const std::string cache = File("cache");
  ASSERT_EQ(Tool(OnItem({"--cache", cache, "lookup", "1"})).status, 0);
  EXPECT_EQ(Stored(cache), CacheOf(kFromOne, "7"));
  const std::string bound = Slurp(cache);
  const std::string block = "START_EXTENT_INFO\n" + kFromOne + "END_EXTENT_INFO\n";
  const std::string browsed = "2 11 200\n6 12 600\n7 12 700\n";
  const struct {
    std::string content;
    std::string warning;
    std::string after;  // the records saved
    bool knowsEmpty = true;
  } cases[] = {
      {bound, "", kFromOne},
      // What follows the end marker's line (an in-place save's tail) is never read.
      {bound + "9 9 9\nEND_EXTENT_INFO\n", "", kFromOne},
      // A record or a flag changed after the tool wrote it answers nothing.
      {std::string(bound).replace(bound.find("2 11 200"), 8, "2 11 201"), "records changed",
       browsed},
      {std::string(bound).replace(bound.find("extents 7"), 9, "extents 6-7"), "records changed",
       browsed},
      // Without the binding (release 1.0's, or a host's bare block) it seeds
      // too, and is bound when saved; it has no empty flags to give.
      {"# extent-browse cache for application type 0, item /f/item\n" + block, "names no backup",
       kFromOne, false},
      {block, "names no backup", kFromOne, false},
      // A damaged one is not used, and the next save replaces it.
      {"START_EXTENT_INFO\n1 10 100\n", "it has no END_EXTENT_INFO line", browsed},
      {"START_EXTENT_INFO\n1 10 100\n2 11\nEND_EXTENT_INFO\n", "line 3 is not a record line",
       browsed},
  };
  for (const auto& c : cases) {
    WriteFile("cache", c.content);
    const Outcome run = Tool(OnItem({"--cache", cache}), "stats\nlookup 6 2\nempty 7 6\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.empty(), c.warning.empty()) << run.err;
    EXPECT_NE(run.err.find(c.warning), std::string::npos) << run.err;
    // Seeded, the lookups need no browse; damaged, they browse from 6 and 2.
    EXPECT_NE(run.out.find("browse requests: 0\n6 found 12 600\n2 found 11 200\n7 " +
                           std::string(c.knowsEmpty ? "empty" : "not-empty") + "\n6 not-empty\n"),
              std::string::npos) << run.out;
    EXPECT_EQ(Stored(cache), CacheOf(c.after, c.knowsEmpty ? "7" : ""));
  }
  // Another item's cache, or another backup's of this item, answers nothing.
  WriteFile("tuesday.tsv", "/f/item\t0\t10\t0\t0\n/f/item\t1\t99\t100\t0\n");
  const std::pair<Args, std::string> others[] = {
      {On({"--path", "/vm/disk"}), "/f/item (application type 0), not of /vm/disk (application "
                                   "type 106)\n"},
      {{"--index", File("tuesday.tsv")}, "another backup of /f/item (application type 0): its "
                                         "entries digest is "},
      {OnItem({"--copy-precedence", "1"}), "another backup of /f/item (application type 0): its "
                                          "copy precedence is 0, not 1\n"},
      {OnItem({"--backup-set-guid", "g"}), "its backup set GUID is \"\", not \"g\"\n"},
      {OnItem({"--name-length", "14"}), "): its name length is 13, not 14; its entries digest"},
  };
  for (auto [arguments, message] : others) {
    arguments.insert(arguments.end(), {"--cache", cache, "lookup", "1"});
    const Outcome run = Tool(arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.rfind("extent-browse: " + cache + " is the cache of ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    EXPECT_EQ(Stored(cache), CacheOf(browsed, "7"));
  }
}

// The tool calls a cache damaged exactly when the library would not seed a
// browser from its block. Both rules are written down, so each line, put in
// a block after a good record, must get the same verdict from both.
TEST_F(ToolTest, TheToolAndTheLibraryJudgeEachRecordLineAlike) {
  const std::pair<std::string, bool> lines[] = {
      {"4 5 6", true}, {"", true} /* passed over */, {"0007 8 9", true},
      {"18446744073709551615 1 1", true},
      {std::string(1018, '0') + "4 5 6", true},  // 1023 characters: the longest line read
      {std::string(1019, '0') + "4 5 6", false}, {"bogus", false}, {"7 8", false},
      {"-1 5 5", false}, {"+5 1 1", false}, {"18446744073709551616 1 1", false},
      {"1 2 3 4", false}, {"1  2 3", false}, {" 1 2 3", false}, {"1 2 3 ", false},
      {"1\t2\t3", false}, {"1 2 0x3", false}, {"1 2 3\r", false}};
  for (const auto& [line, record] : lines) {
    const std::string block = "START_EXTENT_INFO\n1 2 3\n" + line + "\nEND_EXTENT_INFO\n";
    std::stringstream stream(block), saved;
    SCParams params;
    ExtentBrowse browser(params, "/f/item", &stream, EB_MODE_DEFAULT, 10, 13, false, 0, "");
    browser.GetImpl()->SaveExtentInfo(&saved);
    EXPECT_EQ(saved.str().find("\n1 2 3\n") != std::string::npos, record) << line;
    WriteFile("cache", block);
    const Outcome run = Tool(OnItem({"--cache", File("cache"), "empty", "1"}));
    EXPECT_EQ(run.err.find("damaged") == std::string::npos, record) << line << run.err;
    EXPECT_EQ(run.out, record ? "1 not-empty\n" : "1 unknown\n") << line;
  }
}

TEST_F(ToolTest, FilesThatAreNotCachesAreRefusedAndLeftAsTheyWere) {
  WriteFile("text", "dear diary\nSTART_EXTENT_INFO\n");
  WriteFile("comment", "# a note\nSTART_EXTENT_INFO\nEND_EXTENT_INFO\n");
  WriteFile("other", "# extent-browse cache for application type 0, item /vm/disk\n"
                     "START_EXTENT_INFO\n4 40 4\nEND_EXTENT_INFO\n");
  WriteFile("large", "");  // large and sparse: judged by its start, never read whole
  ASSERT_EQ(truncate(File("large").c_str(), 200 << 20), 0);
  ASSERT_EQ(mkfifo(File("fifo").c_str(), 0644), 0);
  ASSERT_EQ(mkdir(File("folder").c_str(), 0755), 0);
  const std::pair<std::string, std::string> cases[] = {
      {File("text"), " is not an extent-info cache"},
      {File("comment"), " is not an extent-info cache"},
      {File("large"), " is not an extent-info cache"},
      {File("other"), " is the cache of /vm/disk"},
      {File("fifo"), " is a FIFO"},
      {File("folder"), " is a directory"},
      {"/dev/null", " is a device"},
  };
  for (const auto& [file, message] : cases) {
    struct stat before {}, after {};
    stat(file.c_str(), &before);
    const std::string content = S_ISREG(before.st_mode) && before.st_size < 4096 ? Slurp(file) : "";
    Outcome run = Tool(OnItem({"--cache", file, "lookup", "1"}));
    EXPECT_EQ(run.status, 2) << file;
    EXPECT_EQ(run.err.rfind("extent-browse: " + file + message, 0), 0u) << run.err;
    EXPECT_EQ(run.out, "") << "nothing runs on a refused cache";
    // `save FILE` in a session follows the same rules.
    run = Tool(OnItem({}), "lookup 1\nsave " + file + "\n");
    EXPECT_EQ(run.err.rfind("extent-browse: line 2: " + file + message, 0), 0u) << run.err;
    stat(file.c_str(), &after);
    EXPECT_TRUE(after.st_ino == before.st_ino && after.st_mtime == before.st_mtime &&
                after.st_size == before.st_size) << file;
    EXPECT_TRUE(content.empty() || Slurp(file) == content) << file;
  }
}

TEST_F(ToolTest, SavesKeepTheModeWriteThroughLinksAndReadOnlyWhatTheyMay) {
  WriteFile("cache", "");
  ASSERT_EQ(chmod(File("cache").c_str(), 0604), 0);
  ASSERT_EQ(Tool(OnItem({"--cache", File("cache"), "lookup", "1"})).status, 0);
  struct stat st {};
  ASSERT_EQ(stat(File("cache").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0604u);
  // A new file gets what the umask allows; a link stays a link, even one
  // whose target does not exist yet.
  const mode_t mask = umask(0);
  umask(mask);
  ASSERT_EQ(mkdir(File("real").c_str(), 0755), 0);
  ASSERT_EQ(symlink("real/target", File("link").c_str()), 0);
  EXPECT_EQ(Tool(OnItem({"--cache", File("link"), "lookup", "1"})).status, 0);
  ASSERT_EQ(lstat(File("link").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(stat(File("real/target").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
  EXPECT_EQ(Stored(File("real/target")), CacheOf(kFromOne, "7"));

  // Unreadable: the tool runs as nobody, in a folder nobody may write to.
  ASSERT_EQ(chmod(dir_.c_str(), 0777), 0);
  ASSERT_EQ(chmod(File("index.tsv").c_str(), 0644), 0);
  ASSERT_EQ(chmod(File("cache").c_str(), 0), 0);
  const bool root = geteuid() == 0;
  if (root && Tool({"--version"}, "", "", true).status != 0) {
    GTEST_SKIP() << "nobody cannot run " << EXTENT_BROWSE_TOOL
                 << ": a folder above the build is closed to others (a checkout under /root, "
                    "or in a folder of mode 0700)";
  }
  const Outcome run = Tool(OnItem({"--cache", File("cache"), "lookup", "6"}), "", "", root);
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_EQ(run.err, "extent-browse: cannot read " + File("cache") + ": Permission denied\n");
  chmod(File("cache").c_str(), 0600);
  EXPECT_EQ(Stored(File("cache")), CacheOf(kFromOne, "7"));

  // In a folder one may only read, a cache answers under --read-only and
  // stays as it was; without it, the cache is refused: it could not be saved.
  ASSERT_EQ(mkdir(File("shelf").c_str(), 0755), 0);
  fs::copy_file(File("cache"), File("shelf/cache"));
  ASSERT_EQ(chmod(File("shelf/cache").c_str(), 0644) | chmod(File("shelf").c_str(), 0555), 0);
  EXPECT_EQ(Tool(OnItem({"--cache", File("shelf/cache"), "lookup", "6"}), "", "", root).err,
            "extent-browse: cannot save to " + File("shelf/cache") + ": cannot write in " +
                File("shelf") + ": Permission denied\n");
  const Outcome shelf = Tool(OnItem({"--read-only", "--cache", File("shelf/cache")}),
                             "stats\nlookup 6 0\n", "", root);
  chmod(File("shelf").c_str(), 0755);
  EXPECT_EQ(shelf.status, 0) << shelf.err;
  EXPECT_NE(shelf.out.find("browse requests: 0\n6 found 12 600\n0 found 10 0\n"),
            std::string::npos) << shelf.out;
  EXPECT_EQ(Stored(File("shelf/cache")), CacheOf(kFromOne, "7"));
}


// Whatever a file holds, the tool holds little more than the records it
// keeps: a line too long for its kind is refused once it passes that
// length, and a cache is judged before any of it is kept.
TEST_F(ToolTest, HostileFilesCostLittleMemory) {
  const long baseline = Tool(OnItem({"lookup", "1"})).peakKb;
  const std::string item = "# extent-browse cache for application type 0, item /f/item\n";
  const std::pair<std::string, bool> files[] = {
      {item + "START_EXTENT_INFO\n", true},  // sparse from here: one long line of zeros
      {"START_EXTENT_INFO\n", false},        // 64 MiB of records, and no end marker
      {item + "# empty extents", true},
      {"/f/item\t0\t10\t0\t0\n/f/item\t", true},  // a catalogue
  };
  for (const auto& [start, sparse] : files) {
    WriteFile("hostile", start);
    // Written a line at a time: a child of a process holding it would count it.
    std::ofstream tail(File("hostile"), std::ios::app);
    for (int line = 0; !sparse && line < 10 << 20; ++line) tail << "1 2 3\n";
    tail.close();
    if (sparse) {
      ASSERT_EQ(truncate(File("hostile").c_str(), 64 << 20), 0);
    }
    const bool catalogue = start[0] == '/';
    const Outcome run = Tool(catalogue ? Args{"--index", File("hostile"), "lookup", "0"}
                                       : OnItem({"--cache", File("hostile"), "lookup", "1"}));
    EXPECT_EQ(run.status, catalogue ? 2 : 0) << start;
    EXPECT_NE(run.err.find(catalogue ? ":2: the line is longer" : "damaged"), std::string::npos);
    EXPECT_LT(run.peakKb, baseline + 16384) << start;
  }
}

TEST_F(ToolTest, AKilledSaveLeavesTheOldCacheOrTheNewOneAndNoOtherFile) {
  const std::string big = Big(40000);
  const Args arguments{"--index", big, "--cache", File("cache")};
  ASSERT_EQ(Tool(arguments, "lookup 0\n").status, 0);
  const std::string old = Slurp(File("cache"));
  const std::set<fs::path> files{fs::directory_iterator(dir_), {}};
  // SIGINT in a long listing stops it at the end of a line, and says so.
  LiveTool listing({"--index", big, "enum"}, File("stderr"));
  ASSERT_TRUE(ReadUntil(listing.output, listing.seen, "\n"));
  kill(listing.pid, SIGINT);
  ReadUntil(listing.output, listing.seen, "the end of the stream");
  EXPECT_EQ(Wait(listing.pid), 130);
  EXPECT_EQ(listing.seen.find("39999 not-empty"), std::string::npos);
  EXPECT_EQ(listing.seen.substr(listing.seen.rfind('\n', listing.seen.size() - 2)),
            "\nenum cut-short\n");
  // Killed at points spread over the save that follows the enumeration.
  for (int delay = 0; delay <= 21000; delay += 3000) {
    LiveTool tool(arguments, File("stderr"));
    tool.Send("enum\n");
    close(tool.input);
    tool.input = -1;
    ASSERT_TRUE(ReadUntil(tool.output, tool.seen, "39999 not-empty\n"));
    usleep(static_cast<useconds_t>(delay));
    kill(tool.pid, SIGKILL);
    Wait(tool.pid);
    const std::string now = Slurp(File("cache"));
    EXPECT_TRUE(now == old || (now.size() > old.size() &&
                               now.compare(now.size() - 16, 16, "END_EXTENT_INFO\n") == 0))
        << "a torn cache after a kill at " << delay << " us";
    // Killed between its link and its rename, a save leaves its temporary
    // name, which the next save removes.
    std::set<fs::path> left{fs::directory_iterator(dir_), {}};
    for (auto file = left.begin(); file != left.end();) {
      file = file->filename().string().rfind(".cache.", 0) == 0 ? left.erase(file) : ++file;
    }
    EXPECT_EQ(left, files) << delay << " us";
  }
  // A leftover carries the save's mark in its name and starts as a cache;
  // a file that is only named like one is someone else's, and stays.
  const std::string leftover = ".cache.extent-browse-save.0123456789ab";
  const std::string others[] = {".cache.0123456789ab", ".cache.extent-browse-save.0123456789ac"};
  WriteFile(leftover, old);
  for (const std::string& other : others) WriteFile(other, "a user's notes");
  ASSERT_EQ(Tool(arguments, "lookup 0\n").status, 0);
  EXPECT_FALSE(fs::exists(File(leftover)));
  for (const std::string& other : others) EXPECT_EQ(Slurp(File(other)), "a user's notes");
}

// Sessions that share a cache each save what they learnt, whichever ends
// first, and however close together.
TEST_F(ToolTest, SessionsSharingACacheKeepWhatEachLearnt) {
  const Args shared{"--index", Big(40), "--page-size", "5", "--cache", File("cache")};
  for (const std::vector<int>& starts : {std::vector<int>{5, 30}, {30, 5}, {0, 10, 20, 35}}) {
    fs::remove(File("cache"));
    std::vector<std::unique_ptr<LiveTool>> tools;
    std::string expected;
    for (const int start : std::set<int>(starts.begin(), starts.end())) {
      for (int e = start; e < start + 5; ++e) expected += std::to_string(e) + " 1 0\n";
    }
    for (const int start : starts) {
      tools.push_back(std::make_unique<LiveTool>(shared, File("stderr")));
      tools.back()->Send("lookup " + std::to_string(start) + "\n");
      ASSERT_TRUE(ReadUntil(tools.back()->output, tools.back()->seen, " found 1 0\n"));
    }
    // Two end one after the other; more end at once.
    for (auto& tool : tools) {
      close(tool->input);
      tool->input = -1;
      if (starts.size() == 2) {
        EXPECT_EQ(Wait(tool->pid), 0);
      }
    }
    for (auto& tool : tools) {
      if (starts.size() > 2) {
        EXPECT_EQ(Wait(tool->pid), 0);
      }
    }
    EXPECT_EQ(RecordsIn(File("cache")), expected + "END_EXTENT_INFO\n");
  }
}


}  // namespace
}  // namespace tooltest
