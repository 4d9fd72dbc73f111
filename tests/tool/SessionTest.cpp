// The extent-browse executable's sessions: its rules one run each, how a
// session ends, a session at a terminal, and the demo.
#include <pty.h>

#include <algorithm>
#include <chrono>
#include <functional>

#include "tool/ToolRun.h"

namespace tooltest {
namespace {

// One run per rule. A failure (status 1 or 2) says why in one short line on
// standard error; answers leave standard error empty.
TEST_F(ToolTest, EachRuleAnswersAsTheManualSays) {
  const std::string catalogues[] = {
      "/a\t0\t1\t0\t0\n/a\tx\t1\t0\t0\n",
      "/a\t0\t1\t0\t0\n# again\n/a\t0\t2\t0\t0\tExtent0\n",
      "/a\t5\t1\t0\t0\t0000000000006\n",
      "/a\t5\t1\t0\t0\tExtent05\n",
      "/a\t10\t1\t0\t0\tExt_0000000A\n",
      "/a\t1\t1\t0\t0\tExtent1\n/a\t2\t1\t0\t0\tExt_00000002\n",
      "\xEF\xBB\xBF/a\t0\t1\t5\t0\n",  // editors that write a byte order mark
      "/a\t" + std::string(1000, 'x') + "\t1\t5\t0\n", std::string(70000, 'x') + "\n",
      std::string("/a\0b\t0\t1\t5\t0\n/a\t1\t1\t5\t0\n", 24),  // the browse would ask for /a
  };
  ASSERT_EQ(mkfifo(File("fifo").c_str(), 0644), 0);
  std::vector<Args> on;
  for (const std::string& catalogue : catalogues) {
    const std::string name = "catalogue" + std::to_string(on.size());
    WriteFile(name, catalogue);
    on.push_back({"--index", File(name), "lookup", "0"});
  }
  const struct {
    Args arguments;
    std::string input;
    int status;
    std::string out;
    std::string err = "";     // a part of standard error
    std::string absent = "";  // what standard error must not hold
  } cases[] = {
      {OnItem({"lookup", "1", "4", "7"}), "", 0, "1 found 10 100\n4 not-found\n7 found 12 700\n"},
      {OnItem({"enum"}), "", 0, "0 not-empty\n1 not-empty\n2 not-empty\n6 not-empty\n7 empty\n"},
      // The page from 1 holds 1-7: 4 lies in it but is absent; 0 and 8
      // outside. Comments, blank lines, and quit ending the session.
      {OnItem({}), "lookup 1 # first\n\n# skipped\nempty 7 6 4 0 8\nname 33\nnumber 0000000000011\n"
                   "quit\nlookup 6\n", 0,
       "1 found 10 100\n7 empty\n6 not-empty\n4 not-found\n0 unknown\n8 unknown\n0000000000011\n"
       "33\n", ""},
      // The disk's names make it a virtual-machine disk, whose browser learns
      // the old scheme from the first page; exit ends a session as quit does.
      {On({"--path", "/vm/disk"}), "lookup 4 3\nname 5\nnumber Extent5\nexit\nlookup 5\n", 0,
       "4 found 40 4\n3 not-found\nExtent5\n5\n", ""},
      {OnItem({"--json"}), "lookup 1 4\nlookup x\nempty 7 0\nname 1\nnumber 0000000000001\n", 2,
       "{\"extent\":1,\"result\":\"found\",\"afile_id\":10,\"afile_value\":100}\n"
       "{\"extent\":4,\"result\":\"not-found\"}\n{\"extent\":7,\"empty\":true}\n"
       "{\"extent\":0,\"empty\":null,\"result\":\"unknown\"}\n"
       "{\"extent\":1,\"name\":\"0000000000001\"}\n{\"name\":\"0000000000001\",\"extent\":1}\n",
       "extent-browse: line 2: lookup: x is not an extent number\n"},
      {{"--version"}, "", 0, "extent-browse " + std::string(EXTENT_BROWSE_VERSION) + "\n", ""},
      {on[6], "", 0, "0 found 1 5\n", ""},
      // One browser in the log: a save's merge of records browses nothing.
      {OnItem({"--log-level", "4", "--cache", File("logged"), "lookup", "0", "2"}), "", 0,
       "0 found 10 0\n2 found 11 200\n", "[4] Going to create browseThread\n", "browsePath: ,"},
      {On({"--path", "/vm/disk", "--app-type", "0", "lookup", "4"}), "", 0, "4 not-found\n",
       "warning: the index holds /vm/disk under Extent<decimal> names"},
      // A failed browse says why, once, in the tool's words.
      {OnItem({"--fail-init", "lookup", "1", "2"}), "", 1, "1 browse-failed\n2 browse-failed\n",
       "lookup 1 browse-failed: the browse client could not be initialised (--fail-init)\n"},
      {OnItem({"--error-code", "7", "enum"}), "", 1, "enum browse-failed\n",
       "enum browse-failed: the index answered with error 7 (--error-code 7)"},
      {OnItem({"--range-start", "0", "--page-size", "2", "lookup", "5"}), "", 1,
       "5 browse-failed\n",
       "(--range-start 0, --page-size 2: extents 0 to 1) does not hold 5"},
      // In process too, a browse without the index's answer is no "not found".
      {OnItem({"--protocol", "v1", "--browse-host", "h", "--local-client", "h", "--fail-browse",
               "lookup", "3"}), "", 1, "3 browse-failed\n", "browse call failed (--fail-browse)"},
      {{"--index", "-", "lookup", "0"}, "/a\t0\t1\t5\t0\n", 0, "0 found 1 5\n", ""},
      {{"--index", "-"}, "", 2, "", "--index - reads the catalogue from standard input, which"},
      {{"--index", File("none"), "lookup", "0"}, "", 2, "",
       "cannot read " + File("none") + ": No such file or directory"},
      {{"--index", dir_, "lookup", "0"}, "", 2, "", "cannot read " + dir_ + ": Is a directory"},
      {{"--index", "/dev/null", "lookup", "0"}, "", 2, "", "the index /dev/null holds no items"},
      {OnItem({"--cache", ""}), "", 2, "", "--cache needs a file name, not an empty one"},
      {OnItem({"--cache"}), "", 2, "", ": --cache needs a value; see --help\n"},
      {On({"lookup", "1"}), "", 2, "", "holds 2 items, choose one with --path: /f/item /vm/disk\n"},
      {On({"--path", "/nope", "lookup", "1"}), "", 2, "", "no item /nope", "did you mean"},
      {On({"--path", "/f/iten", "lookup", "1"}), "", 2, "", "(did you mean /f/item?)"},
      {On({"items"}), "", 0, "/f/item: application type 0, 5 extents, base32 names\n/vm/disk: "
       "application type 106, 2 extents, Extent<decimal> names\n", ""},
      {On({"--path", "/vm/disk", "--json"}), "items\n", 0, "{\"path\":\"/f/item\",\"app_type\":0,"
       "\"extents\":5,\"names\":\"base32\"}\n{\"path\":\"/vm/disk\",\"app_type\":106,\"extents\":2,"
       "\"names\":\"Extent<decimal>\"}\n", ""},
      // A script may start with a byte order mark; a line without an end
      // is cut off, not held.
      {OnItem({}), "\xEF\xBB\xBFlookup 1\n", 0, "1 found 10 100\n", ""},
      {OnItem({}), std::string(3 << 20, '7') + "\nlookup 1\n", 2, "1 found 10 100\n",
       "line 1: the line is longer than the 1048576 bytes a command line may hold\n"},
      {OnItem({"--read-only"}), "lookup 1\nsave " + File("c") + "\n", 2, "1 found 10 100\n",
       "line 2: save: --read-only: this session writes no file\n"},
      {OnItem({"--read-only", "--cache", File("none")}), "", 2, "",
       "cannot read " + File("none") + ": No such file or directory\n"},
      {OnItem({"--bogus"}), "", 2, "", ": unknown option --bogus; see --help\n"},
      {OnItem({"--page-sise", "3"}), "", 2, "",
       "option --page-sise (did you mean --page-size?); see"},
      // What is echoed of the input is cut short, and control bytes escaped.
      {OnItem({"\x01" + std::string(300, 'x')}), "", 2, "",
       ": unknown command \\x01" + std::string(199, 'x') + "... (301 bytes); see --help\n"},
      {OnItem({"--page-size", "0"}), "", 2, "",
       "--page-size must be a number from 1 to 18446744073709551615, not '0'"},
      {OnItem({"--protocol", "v3"}), "", 2, "", "--protocol must be v1 or v2"},
      {OnItem({"--fail-browse", "--error-code", "3"}), "", 2, "", "--fail-browse and --error-code"},
      {OnItem({"lookup", "-1"}), "", 2, "", "-1 is not an extent number"},
      {OnItem({"save"}), "", 2, "", "save needs a FILE"},
      {On({"--path", "/vm/disk", "number", "Extent99999999999999999999"}), "", 2, "",
       "is not a base32 or Extent<decimal>"},
      {{"--json", "demo"}, "", 2, "", "no --json form"},
      // A session goes on after a wrong line, and names it. A quoted word
      // may hold blanks.
      {OnItem({}), "lookup 0\n\nlokup 6\nlookup 1\nsave '" + File("a b") + "'\n", 2,
       "0 found 10 0\n1 found 10 100\nsaved 5 extents to " + File("a b") + "\n",
       "extent-browse: line 3: unknown command lokup (did you mean lookup?); see --help\n"},
      {on[0], "", 2, "", File("catalogue0") + ":2: EXTENT 'x' is not"},
      {on[1], "", 2, "", File("catalogue1") + ":3: extent 0 of /a is already on line 1"},
      {on[2], "", 2, "", ":1: NAME '0000000000006' is not the base32 name of extent 5"},
      {on[3], "", 2, "", ":1: NAME 'Extent05' is not the Extent<decimal> name of extent 5"},
      {on[4], "", 2, "", ":1: NAME 'Ext_0000000A' is not the Ext_<hex> name of extent 10"},
      {on[5], "", 2, "", ":2: /a mixes Extent<decimal> and Ext_<hex>"},
      // Whatever a file holds, what is quoted of it is short, and reading
      // stops once a line is too long to be one.
      {on[7], "", 2, "", ":1: EXTENT '" + std::string(100, 'x') + "... (1000 bytes)' is not"},
      {on[8], "", 2, "", ":1: the line is longer than the 65536 bytes a catalogue line may hold"},
      {{"--index", "/dev/zero", "lookup", "0"}, "", 2, "", "/dev/zero:1: the line is longer"},
      {on[9], "", 2, "", ":1: the line holds a NUL byte\n"},
      {{"--index", File("fifo"), "lookup", "0"}, "", 2, "", "cannot read " + File("fifo") +
       ": it is a FIFO that no process opened for writing within 3 s\n"},
  };
  for (const auto& c : cases) {
    const Outcome run = Tool(c.arguments, c.input);
    EXPECT_EQ(run.status, c.status) << c.out << c.err << run.err;
    EXPECT_EQ(run.out, c.out) << c.err;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    EXPECT_TRUE(c.absent.empty() || run.err.find(c.absent) == std::string::npos) << run.err;
    EXPECT_TRUE(!c.err.empty() || run.err.empty()) << "the library's lines stay off by default";
    if (c.status != 0) {
      EXPECT_EQ(run.err.rfind("extent-browse: ", 0), 0u) << run.err;
      EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
      EXPECT_LT(run.err.size(), 300u) << run.err;
    }
  }
  // The manual as JSON, on the command line as in a session.
  const Outcome help = Tool({"--json", "help"});
  EXPECT_EQ(help.out.rfind("{\"manual\":\"extent-browse - look up", 0), 0u) << help.out;
  EXPECT_EQ(help.out, Tool(OnItem({"--json"}), "help\n").out);
}


// However a session ends, the cache holds what it learnt.
TEST_F(ToolTest, EveryWayASessionEndsSavesTheCacheFirst) {
  const struct {
    std::function<void(LiveTool&)> end;
    int status;
  } cases[] = {
      {[](LiveTool& tool) { kill(tool.pid, SIGINT); }, 130},
      {[](LiveTool& tool) { kill(tool.pid, SIGTERM); }, 143},
      {[](LiveTool& tool) { kill(tool.pid, SIGHUP); }, 129},
      // A second signal waits for the save the first one started.
      {[](LiveTool& tool) { kill(tool.pid, SIGINT); kill(tool.pid, SIGTERM); }, 130},
      // A reader that went away (`| head`) is no error: the session stops quietly.
      {[](LiveTool& tool) { close(tool.output), tool.output = -1, tool.Send("lookup 6\n"); }, 141},
  };
  for (const auto& c : cases) {
    fs::remove(File("cache"));
    LiveTool tool(OnItem({"--cache", File("cache")}), File("stderr"));
    tool.Send("lookup 1\n");
    ASSERT_TRUE(ReadUntil(tool.output, tool.seen, "1 found 10 100\n"));
    c.end(tool);
    EXPECT_EQ(Wait(tool.pid), c.status);
    EXPECT_EQ(Slurp(File("stderr")), "");
    EXPECT_EQ(Stored(File("cache")), CacheOf(kFromOne, "7"));
  }
  // Started with its standard descriptors closed (from cron, say), it reads
  // no commands from a descriptor of its own and ends at once.
  const int closed[3] = {-1, -1, -1};
  EXPECT_EQ(Wait(Spawn(OnItem({"--cache", File("cache")}), closed)), 0);
  EXPECT_EQ(Stored(File("cache")), CacheOf(kFromOne, "7"));
  // A full disk is an error worth a message.
  fs::remove(File("cache"));
  const Outcome run = Tool(OnItem({"--cache", File("cache")}), "lookup 6\nlookup 0\n", "/dev/full");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "extent-browse: cannot write to standard output: No space left on device\n");
  EXPECT_EQ(Tool({"--help"}, "", "/dev/full").status, 2);
  EXPECT_EQ(Stored(File("cache")), CacheOf("6 12 600\n7 12 700\n", "7"));

  // A reader that stopped reading holds no signal off: the tool ends at
  // once, the answers it could not write lost, what it learnt saved.
  std::ostringstream lookups;
  for (int extent = 0; extent < 20000; ++extent) lookups << (extent ? " " : "lookup ") << extent;
  const Args bigCache{"--index", Big(20000), "--cache", File("cache"), "--page-size", "20000"};
  fs::remove(File("cache"));
  LiveTool stalled(bigCache, File("stderr"));
  stalled.Send(lookups.str() + "\n");
  WaitUntilFull(stalled.output);
  kill(stalled.pid, SIGTERM);
  const auto sent = std::chrono::steady_clock::now();
  EXPECT_EQ(Wait(stalled.pid), 143);
  EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(5));
  EXPECT_NE(RecordsIn(File("cache")).find("\n19999 1 0\nEND_EXTENT_INFO\n"), std::string::npos);

  // Past the file size limit (ulimit -f) a save fails as on a full disk.
  const std::string saved = Slurp(File("cache"));
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  const rlimit small{4096, limit.rlim_max};
  setrlimit(RLIMIT_FSIZE, &small);
  const Outcome capped = Tool(bigCache, "lookup 0\n");
  setrlimit(RLIMIT_FSIZE, &limit);
  EXPECT_EQ(capped.status, 2);
  EXPECT_EQ(capped.err, "extent-browse: cannot save to " + File("cache") + ": File too large\n");
  EXPECT_EQ(Slurp(File("cache")), saved);

  // A signal while the catalogue loads ends the tool as any other does,
  // once its handlers are in place (the process's caught signals say so).
  LiveTool loading({"--index", "-", "lookup", "0"}, File("stderr"));
  loading.Send("/a\t0\t1\t5\t0\n");
  const auto Catches = [&loading](int signal) {
    const std::string status = Slurp("/proc/" + std::to_string(loading.pid) + "/status");
    const std::size_t caught = status.find("SigCgt:\t");
    return caught != std::string::npos &&
           (std::stoull(status.substr(caught + 8, 16), nullptr, 16) >> (signal - 1) & 1) != 0;
  };
  for (int tries = 0; tries < 5000 && !Catches(SIGINT); ++tries) usleep(1000);
  kill(loading.pid, SIGINT);
  EXPECT_EQ(Wait(loading.pid), 130);
}


// At a terminal the tool behaves as a shell: Ctrl-C drops the line being
// typed, a typo is put right on the next line, and the session goes on.
TEST_F(ToolTest, AtATerminalCtrlCAndTyposLeaveTheSessionGoing) {
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (pid == 0) Exec(OnItem({}));
  ASSERT_GT(pid, 0);
  std::string seen;
  const auto Type = [&](const std::string& keys, const std::string& answer) {
    EXPECT_EQ(write(terminal, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    EXPECT_TRUE(ReadUntil(terminal, seen, answer)) << seen;
  };
  Type("", "extent-browse> ");
  Type("lookup 1", "lookup 1");
  Type("\x03", "^C");
  Type("lokup 6\n", "did you mean lookup?");
  Type("lookup 6\nquit\n", "6 found 12 600");
  EXPECT_EQ(Wait(pid), 0);
  EXPECT_EQ(seen.find("1 found"), std::string::npos) << seen;
  close(terminal);

  // Its answers going to a pager that stopped reading, Ctrl-C cuts the
  // listing short, and what is left waits for the pager, however long.
  const std::string big = Big(20000);
  int pager[2];
  ASSERT_EQ(pipe2(pager, O_CLOEXEC), 0);
  const pid_t paged = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (paged == 0) dup2(pager[1], STDOUT_FILENO), Exec({"--index", big});
  close(pager[1]);
  Type("enum\n", "enum");
  WaitUntilFull(pager[0]);
  Type("\x03", "^C");
  usleep(600000);
  std::string paging;
  EXPECT_TRUE(ReadUntil(pager[0], paging, "enum cut-short\n"));
  Type("lookup 1\nquit\n", "quit");
  EXPECT_TRUE(ReadUntil(pager[0], paging, "enum cut-short\n1 found 1 0\n"));
  EXPECT_EQ(Wait(paged), 0);
  close(terminal);
  close(pager[0]);
}

TEST_F(ToolTest, TheDemoSaysWhatHappenedAndAToolWithoutItsSampleSaysWhereItLooked) {
  Outcome run = Tool(On({"demo"}));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "extent-browse: warning: demo runs on the bundled sample with browsers of its "
                     "own; it does not use --index\n");
  EXPECT_NE(run.out.find("lookup 9: found in archive file 101, value 36864, from the map, "
                         "no browse"), std::string::npos) << run.out;
  // Under a fault the demo says what happened, and nothing that did not.
  run = Tool({"--fail-browse", "demo"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("lookup 5: browse failed"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("the index's browse call failed (--fail-browse)"), std::string::npos);
  EXPECT_EQ(run.out.find("lookup 9"), std::string::npos) << run.out;
  // Its folder for the cache names where and why it could not be made.
  setenv("TMPDIR", File("none").c_str(), 1);
  run = Tool({"demo"});
  unsetenv("TMPDIR");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "extent-browse: cannot create a folder for the demo's cache file in " +
                         File("none") + ": No such file or directory\n");

  // A copy of the tool in a folder of its own, as a bad install leaves it.
  fs::copy_file(EXTENT_BROWSE_TOOL, File("extent-browse"));
  run = Tool({"lookup", "1"}, "", "", false, File("extent-browse"));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err.rfind("extent-browse: cannot find the bundled sample index: looked for " +
                         dir_ + "/sample-index.tsv and " + dir_ + "/../share/", 0), 0u) << run.err;
}


}  // namespace
}  // namespace tooltest
