// The extent-browse executable, run as a person or a script runs it:
// arguments, standard input, files and signals.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <sstream>

#include "extentbrowse/ExtentBrowse.h"
#include "extentbrowse/ExtentBrowseImpl.h"

namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

struct Outcome {
  int status;  // the exit status, or -signal when a signal ended it
  std::string out, err;
  long peakKb = 0;  // the most memory it held
};

std::string Slurp(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Reads `fd` until `text` has appeared or the stream ends; the wait guards
// against a hung tool and measures nothing.
bool ReadUntil(int fd, std::string& seen, const std::string& text) {
  while (seen.find(text) == std::string::npos) {
    pollfd ready{fd, POLLIN, 0};
    char buffer[4096];
    const ssize_t got = poll(&ready, 1, 60000) > 0 ? read(fd, buffer, sizeof buffer) : 0;
    if (got <= 0) return false;
    seen.append(buffer, static_cast<std::size_t>(got));
  }
  return true;
}

// A cache file of the file item, its digest written as D (see Stored).
std::string CacheOf(const std::string& records, const std::string& empty = "") {
  return "# extent-browse cache for application type 0, item /f/item\n# bound to name length 13, "
         "copy precedence 0, entries digest D, backup set GUID \"\"\n" +
         (empty.empty() ? "" : "# empty extents " + empty + "\n") + "START_EXTENT_INFO\n" +
         records + "END_EXTENT_INFO\n";
}

// A cache file as CacheOf writes it: the digests of the catalogue's entries
// and of the records are the hash's business, and only their changes are.
std::string Stored(const std::string& file) {
  std::string text = Slurp(file);
  const std::size_t records = text.find("# records digest ");
  if (records != std::string::npos) text.erase(records, 34);
  const std::size_t digest = text.find("entries digest ");
  return digest == std::string::npos ? text : text.replace(digest + 15, 16, "D");
}

// The records of a cache file.
std::string RecordsIn(const std::string& file) {
  const std::string text = Slurp(file);
  const std::size_t start = text.find("START_EXTENT_INFO\n");
  return start == std::string::npos ? text : text.substr(start + 18);
}

// What a lookup of extent 1 or 2 of the file item brings: the page from 1.
const std::string kFromOne = "1 10 100\n2 11 200\n6 12 600\n7 12 700\n";

[[noreturn]] void Exec(const Args& arguments, const std::string& tool = EXTENT_BROWSE_TOOL) {
  std::vector<char*> argv{const_cast<char*>(tool.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

// The tool on `fds` as its standard input, output and error (closed for
// -1), as nobody when asked (root reads every file, so "unreadable" needs
// someone else).
pid_t Spawn(const Args& arguments, const int (&fds)[3], bool asNobody = false,
            const std::string& tool = EXTENT_BROWSE_TOOL) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  for (int fd = 0; fd < 3; ++fd) fds[fd] < 0 ? close(fd) : dup2(fds[fd], fd);
  if (asNobody && (setgroups(0, nullptr) || setgid(65534) || setuid(65534))) _exit(120);
  Exec(arguments, tool);
}

// The exit status; a tool still running after a minute is hung, and killed.
int Wait(pid_t pid, long* peakKb = nullptr) {
  int raw = 0;
  rusage usage{};
  for (int waited = 0; wait4(pid, &raw, WNOHANG, &usage) == 0; ++waited) {
    if (waited == 30000) kill(pid, SIGKILL);
    usleep(2000);
  }
  if (peakKb != nullptr) *peakKb = usage.ru_maxrss;
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -WTERMSIG(raw);
}

int OpenForWriting(const std::string& file) {
  return open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

// A tool whose standard input and output are pipes the test holds.
struct LiveTool {
  LiveTool(const Args& arguments, const std::string& errFile) {
    int in[2], out[2];
    // Close-on-exec, or the tool would hold its own pipes' other ends.
    EXPECT_TRUE(pipe2(in, O_CLOEXEC) == 0 && pipe2(out, O_CLOEXEC) == 0);
    const int fds[3] = {in[0], out[1], OpenForWriting(errFile)};
    pid = Spawn(arguments, fds);
    for (int fd : fds) close(fd);
    input = in[1];
    output = out[0];
  }
  ~LiveTool() { for (int fd : {input, output}) close(fd); }  // -1 once closed: harmless
  void Send(const std::string& text) const {
    EXPECT_EQ(write(input, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  pid_t pid = -1;
  int input = -1, output = -1;
  std::string seen;
};

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/extent-browse-test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    // A file item with a hole at 3-5 and an empty extent 7, and a disk item
    // whose index uses the old decimal names.
    WriteFile("index.tsv",
              "# test catalogue\n/f/item\t0\t10\t0\t0\n/f/item\t1\t10\t100\t0\n"
              "/f/item\t2\t11\t200\t0\n/f/item\t6\t12\t600\t0\n/f/item\t7\t12\t700\t1\n"
              "\n/vm/disk\t4\t40\t4\t0\tExtent4\n/vm/disk\t5\t50\t5\t0\tExtent5\n");
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string File(const std::string& name) const { return dir_ + "/" + name; }
  void WriteFile(const std::string& name, const std::string& text) const {
    std::ofstream(File(name), std::ios::binary) << text;
  }
  // The test catalogue (and its file item) first, then `arguments`.
  Args On(Args arguments) const {
    arguments.insert(arguments.begin(), {"--index", File("index.tsv")});
    return arguments;
  }
  Args OnItem(Args arguments) const {
    arguments.insert(arguments.begin(), {"--path", "/f/item"});
    return On(arguments);
  }
  // Runs the tool to its end with `input` on standard input.
  Outcome Tool(const Args& arguments, const std::string& input = "", const std::string& out = "",
               bool asNobody = false, const std::string& tool = EXTENT_BROWSE_TOOL) const {
    WriteFile("stdin", input);
    const std::string outFile = out.empty() ? File("stdout") : out;
    const int fds[3] = {open(File("stdin").c_str(), O_RDONLY | O_CLOEXEC),
                        OpenForWriting(outFile), OpenForWriting(File("stderr"))};
    const pid_t pid = Spawn(arguments, fds, asNobody, tool);
    for (int fd : fds) close(fd);
    long peakKb = 0;
    const int status = Wait(pid, &peakKb);
    return Outcome{status, out.empty() ? Slurp(outFile) : "", Slurp(File("stderr")), peakKb};
  }

  std::string dir_;
};

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
      {std::string(bound).replace(bound.find("2 11 200"), 8, "2 11 201"), "records changed", browsed},
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
      {OnItem({"--name-length", "14"}), "type 0): its name length is 13, not 14; its entries digest"},
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
  std::ostringstream big, lookups;
  for (int extent = 0; extent < 20000; ++extent) {
    big << "/big\t" << extent << "\t1\t0\t0\n";
    lookups << (extent == 0 ? "lookup " : " ") << extent;
  }
  WriteFile("big.tsv", big.str());
  const Args bigCache{"--index", File("big.tsv"), "--cache", File("cache"), "--page-size", "20000"};
  fs::remove(File("cache"));
  LiveTool stalled(bigCache, File("stderr"));
  stalled.Send(lookups.str() + "\n");
  int queued = 0;
  for (int tries = 0; tries < 5000 && queued < fcntl(stalled.output, F_GETPIPE_SZ); ++tries) {
    usleep(1000);
    ioctl(stalled.output, FIONREAD, &queued);
  }
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
  std::ostringstream big;
  for (int extent = 0; extent < 40000; ++extent) big << "/big\t" << extent << "\t1\t0\t0\n";
  WriteFile("big.tsv", big.str());
  const Args arguments{"--index", File("big.tsv"), "--cache", File("cache")};
  ASSERT_EQ(Tool(arguments, "lookup 0\n").status, 0);
  const std::string old = Slurp(File("cache"));
  const std::set<fs::path> files{fs::directory_iterator(dir_), {}};
  // SIGINT in a long listing stops it at the end of a line, and says so.
  LiveTool listing({"--index", File("big.tsv"), "enum"}, File("stderr"));
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
  std::ostringstream forty;
  for (int extent = 0; extent < 40; ++extent) forty << "/big\t" << extent << "\t1\t0\t0\n";
  WriteFile("forty.tsv", forty.str());
  const Args shared{"--index", File("forty.tsv"), "--page-size", "5", "--cache", File("cache")};
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
  std::ostringstream big;
  for (int extent = 0; extent < 20000; ++extent) big << "/big\t" << extent << "\t1\t0\t0\n";
  WriteFile("big.tsv", big.str());
  int pager[2];
  ASSERT_EQ(pipe2(pager, O_CLOEXEC), 0);
  const pid_t paged = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (paged == 0) dup2(pager[1], STDOUT_FILENO), Exec({"--index", File("big.tsv")});
  close(pager[1]);
  Type("enum\n", "enum");
  for (int queued = 0, tries = 0; tries < 5000 && queued < fcntl(pager[0], F_GETPIPE_SZ); ++tries) {
    usleep(1000);
    ioctl(pager[0], FIONREAD, &queued);
  }
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
