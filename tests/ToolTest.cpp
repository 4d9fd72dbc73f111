// End-to-end tests of the extent-browse executable, run as a person or a
// script would run it: arguments, standard input, files, signals.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

using Args = std::vector<std::string>;

struct Outcome {
  int status = -1;  // the exit status, or -signal when a signal ended it
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

int StatusOf(int raw) { return WIFEXITED(raw) ? WEXITSTATUS(raw) : -WTERMSIG(raw); }

// Reads `fd` until `text` has appeared `times` times or the stream ends;
// the wait is a guard against a hung tool, never a measurement.
bool ReadUntil(int fd, std::string& seen, const std::string& text, std::size_t times = 1) {
  while (Occurrences(seen, text) < times) {
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, 60000) <= 0) return false;
    char buffer[4096];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) return false;
    seen.append(buffer, static_cast<std::size_t>(got));
  }
  return true;
}

std::string CacheOf(const std::string& path, const std::string& records) {
  return "# extent-browse cache for application type 0, item " + path +
         "\nSTART_EXTENT_INFO\n" + records + "END_EXTENT_INFO\n";
}

// In a forked child: becomes the tool.
[[noreturn]] void Exec(const Args& arguments, const std::string& tool = EXTENT_BROWSE_TOOL) {
  std::vector<char*> argv{const_cast<char*>(tool.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

// Starts the tool with the given descriptors as its standard streams.
pid_t Spawn(const Args& arguments, int in, int out, int err, bool asNobody = false,
            const std::string& tool = EXTENT_BROWSE_TOOL) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  dup2(in, 0);
  dup2(out, 1);
  dup2(err, 2);
  // Root reads every file; "unreadable" needs someone else.
  if (asNobody && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
    _exit(120);
  }
  Exec(arguments, tool);
}

// A tool whose standard input and output are pipes the test holds.
struct LiveTool {
  LiveTool(const Args& arguments, const std::string& errFile) {
    int in[2];
    int out[2];
    // Close-on-exec, or the tool would hold its own pipes' other ends.
    EXPECT_EQ(pipe2(in, O_CLOEXEC), 0);
    EXPECT_EQ(pipe2(out, O_CLOEXEC), 0);
    const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    pid = Spawn(arguments, in[0], out[1], err);
    close(in[0]);
    close(out[1]);
    close(err);
    input = in[1];
    output = out[0];
  }
  ~LiveTool() {
    if (input >= 0) close(input);
    if (output >= 0) close(output);
  }
  LiveTool(const LiveTool&) = delete;
  LiveTool& operator=(const LiveTool&) = delete;

  void Send(const std::string& text) const {
    EXPECT_EQ(write(input, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  void Close(int& fd) {
    close(fd);
    fd = -1;
  }
  int Wait() const {
    int raw = 0;
    waitpid(pid, &raw, 0);
    return StatusOf(raw);
  }

  pid_t pid = -1;
  int input = -1;
  int output = -1;
  std::string seen;
};

// The names in a folder, but for . and ..
std::set<std::string> Entries(const std::string& folder) {
  std::set<std::string> names;
  if (DIR* listing = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(listing)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.insert(name);
    }
    closedir(listing);
  }
  return names;
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
  // The test catalogue first, then `arguments`.
  Args On(Args arguments) const {
    arguments.insert(arguments.begin(), {"--index", File("index.tsv")});
    return arguments;
  }
  Args OnItem(Args arguments) const {
    arguments.insert(arguments.begin(), {"--path", "/f/item"});
    return On(arguments);
  }

  // Runs the tool to its end with `input` on standard input.
  Outcome Tool(const Args& arguments, const std::string& input = "",
               const std::string& output = "", bool asNobody = false,
               const std::string& tool = EXTENT_BROWSE_TOOL) const {
    WriteFile("stdin", input);
    const std::string outFile = output.empty() ? File("stdout") : output;
    const int in = open(File("stdin").c_str(), O_RDONLY | O_CLOEXEC);
    const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    const int err = open(File("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    const pid_t pid = Spawn(arguments, in, out, err, asNobody, tool);
    close(in);
    close(out);
    close(err);
    int raw = 0;
    waitpid(pid, &raw, 0);
    Outcome run;
    run.status = StatusOf(raw);
    if (output.empty()) run.out = Slurp(outFile);
    run.err = Slurp(File("stderr"));
    return run;
  }

  std::string dir_;
};

TEST_F(ToolTest, EveryCommandAnswersOneLineEach) {
  const std::string version = EXTENT_BROWSE_VERSION;
  const struct {
    Args arguments;
    std::string input;
    std::string out;
  } cases[] = {
      {OnItem({"lookup", "1", "4", "7"}), "", "1 found 10 100\n4 not-found\n7 found 12 700\n"},
      {OnItem({"enum"}), "", "0 not-empty\n1 not-empty\n2 not-empty\n6 not-empty\n7 empty\n"},
      // Nothing browsed yet: nothing is known.
      {OnItem({"empty", "7"}), "", "7 unknown\n"},
      // The page from 1 holds 1-7: 4 lies in it but is absent; 0 and 8 lie outside.
      {OnItem({}), "lookup 1\nempty 7 6 4 0 8\n",
       "1 found 10 100\n7 empty\n6 not-empty\n4 not-found\n0 unknown\n8 unknown\n"},
      {OnItem({"name", "33"}), "", "0000000000011\n"},
      {OnItem({"number", "0000000000011"}), "", "33\n"},
      {OnItem({"--page-size", "18446744073709551615", "lookup", "2"}), "", "2 found 11 200\n"},
      // Comments after a command, blank lines, and quit or exit ending a session.
      {OnItem({}), "lookup 0 # first\n\n# skipped\nlookup 2\nquit\nlookup 6\n",
       "0 found 10 0\n2 found 11 200\n"},
      {OnItem({}), "lookup 6\nexit\nlookup 0\n", "6 found 12 600\n"},
      // The disk's names say it is a virtual-machine disk; its browser
      // learns the old scheme from the first page.
      {On({"--path", "/vm/disk"}), "lookup 4 3\nname 5\nnumber Extent5\n",
       "4 found 40 4\n3 not-found\nExtent5\n5\n"},
      {{"--version"}, "", "extent-browse " + version + "\n"},
  };
  for (const auto& c : cases) {
    const Outcome run = Tool(c.arguments, c.input);
    EXPECT_EQ(run.status, 0) << c.out << run.err;
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, "") << "the library's lines stay off without --log-level";
  }

  Outcome run = Tool(OnItem({"stats"}));
  EXPECT_NE(run.out.find("FindInExtentMap"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("browse requests: 0\n"), std::string::npos) << run.out;
  run = Tool({"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("Usage: extent-browse"), std::string::npos);
  run = Tool(OnItem({"--log-level", "4"}), "lookup 0\nlookup 2\nenum\n");
  EXPECT_EQ(Occurrences(run.err, "Going to create browseThread"), 1u) << run.err;
  EXPECT_EQ(Occurrences(run.err, "Enumerating all the extents"), 1u) << run.err;
}

TEST_F(ToolTest, JsonAnswersParseBackOneObjectPerLine) {
  const std::string saved = File("json.cache");
  const Outcome run =
      Tool(OnItem({"--json"}), "lookup 1 4\nlookup x\nempty 7 0\nname 1\nnumber 0000000000001\n"
                               "save " + saved + "\nenum\nstats\n");
  EXPECT_EQ(run.status, 2) << "lookup x is a usage error";
  EXPECT_NE(run.err.find("line 2: lookup: x is not an extent number"), std::string::npos) << run.err;
  const char* const expected[] = {
      R"({"extent":1,"result":"found","afile_id":10,"afile_value":100})",
      R"({"extent":4,"result":"not-found"})",
      R"({"extent":7,"empty":true})",
      R"({"extent":0,"empty":null,"result":"unknown"})",
      R"({"extent":1,"name":"0000000000001"})",
      R"({"name":"0000000000001","extent":1})",
      nullptr,  // the save, built below
      R"({"extent":0,"empty":false})", R"({"extent":1,"empty":false})",
      R"({"extent":2,"empty":false})", R"({"extent":6,"empty":false})",
      R"({"extent":7,"empty":true})",
  };
  std::istringstream lines(run.out);
  std::string line;
  for (const char* want : expected) {
    ASSERT_TRUE(std::getline(lines, line)) << run.out;
    const nlohmann::json wanted =
        want != nullptr ? nlohmann::json::parse(want) : nlohmann::json{{"saved", 4}, {"file", saved}};
    EXPECT_EQ(nlohmann::json::parse(line), wanted);
  }
  ASSERT_TRUE(std::getline(lines, line));
  const nlohmann::json stats = nlohmann::json::parse(line);
  EXPECT_EQ(stats.at("browse_requests"), 2);
  EXPECT_EQ(stats.at("counters").size(), 10u);
  EXPECT_FALSE(std::getline(lines, line)) << line;
}

TEST_F(ToolTest, UsageErrorsStopWithStatusTwoAndOneShortLine) {
  const struct {
    Args arguments;
    std::string input;
    std::string message;
  } cases[] = {
      {On({"lookup", "1"}), "", "several items, choose one with --path"},
      {On({"--path", "/nope", "lookup", "1"}), "", "no item /nope"},
      {OnItem({"--frobnicate"}), "", "--frobnicate"},
      {OnItem({"--page-size", "0"}), "", "--page-size must be a number from 1 to 18446744073709551615, not '0'"},
      {OnItem({"--page-size", "18446744073709551616"}), "", "--page-size must be"},
      {OnItem({"--page-size", "x"}), "", "--page-size must be"},
      {OnItem({"--name-length", "12"}), "", "--name-length must be a number from 13 to 63"},
      {OnItem({"--name-length", "64"}), "", "--name-length must be a number from 13 to 63"},
      {OnItem({"--response-items", "0"}), "", "--response-items must be"},
      {OnItem({"--protocol", "v3"}), "", "--protocol must be v1 or v2"},
      {OnItem({"--browse-host", "h"}), "", "--browse-host needs --protocol v1"},
      {OnItem({"--protocol", "v2", "--local-client", "c"}), "", "--local-client needs --protocol v1"},
      {OnItem({"--protocol", "v1", "--ma", "m", "--browse-host", "h"}), "", "--ma and --browse-host"},
      {OnItem({"--fail-browse", "--error-code", "3"}), "", "--fail-browse and --error-code"},
      {OnItem({"lookup", "-1"}), "", "-1 is not an extent number"},
      {OnItem({"explode"}), "", "unknown command explode"},
      {OnItem({"save"}), "", "save needs a FILE"},
      {OnItem({"number", "ZZ"}), "", "ZZ is not a base32 extent name"},
      {OnItem({"number", "VVVVVVVVVVVVV"}), "", "VVVVVVVVVVVVV is not a base32 extent name"},
      {OnItem({"number", "Extent5"}), "", "Extent5 is not a base32 extent name"},
      {On({"--path", "/vm/disk", "number", "Extent99999999999999999999"}), "", "is not a base32 or Extent<decimal>"},
      {{"--json", "demo"}, "", "no --json form"},
      // A session goes on after a wrong line and names it.
      {OnItem({}), "lookup 0\n\nfrobnicate\nlookup 1\n", "line 3: unknown command frobnicate"},
  };
  for (const auto& c : cases) {
    const Outcome run = Tool(c.arguments, c.input);
    EXPECT_EQ(run.status, 2) << c.message;
    EXPECT_EQ(Occurrences(run.err, "\n"), 1u) << run.err;
    EXPECT_EQ(run.err.rfind("extent-browse: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_LT(run.err.size(), 160u) << run.err;
  }
}

TEST_F(ToolTest, BadCataloguesNameTheFileAndLine) {
  const struct {
    std::string catalogue;
    std::string message;
  } cases[] = {
      {"/a\t0\t1\t0\t0\n/a\tx\t1\t0\t0\n", ":2: EXTENT 'x' is not"},
      {"/a\t0\t1\t0\t0\n# again\n/a\t0\t2\t0\t0\n", ":3: extent 0 of /a is already on line 1"},
      {"/a\t1\t1\t0\t0\tExtent1\n/a\t1\t1\t0\t0\t0000000000001\n", ":2: extent 1 of /a is already on line 1"},
      {"/a\t5\t1\t0\t0\t0000000000006\n", ":1: NAME '0000000000006' is not the base32 name of extent 5"},
      {"/a\t5\t1\t0\t0\tExtent05\n", ":1: NAME 'Extent05' is not the Extent<decimal> name of extent 5"},
      {"/a\t10\t1\t0\t0\tExt_0000000A\n", ":1: NAME 'Ext_0000000A' is not the Ext_<hex> name of extent 10"},
      {"/a\t1\t1\t0\t0\tExtent1\n/a\t2\t1\t0\t0\tExt_00000002\n", ":2: /a mixes Extent<decimal> and Ext_<hex>"},
  };
  for (const auto& c : cases) {
    WriteFile("bad.tsv", c.catalogue);
    const Outcome run = Tool({"--index", File("bad.tsv"), "lookup", "0"});
    EXPECT_EQ(run.status, 2) << c.message;
    EXPECT_EQ(run.err.rfind("extent-browse: " + File("bad.tsv") + c.message, 0), 0u) << run.err;
    EXPECT_EQ(run.out, "");
  }
  // Editors that write a byte order mark still make a good catalogue.
  WriteFile("bom.tsv", "\xEF\xBB\xBF/a\t0\t1\t5\t0\n");
  const Outcome run = Tool({"--index", File("bom.tsv"), "lookup", "0"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "0 found 1 5\n");
}

TEST_F(ToolTest, CacheSeedsTheNextRunOfItsOwnItemOnly) {
  const std::string cache = File("cache");
  Outcome run = Tool(OnItem({"--cache", cache, "lookup", "1"}));
  ASSERT_EQ(run.status, 0) << run.err;
  // The page starts at extent 1's name, so extent 0 was never seen.
  const std::string records = "1 10 100\n2 11 200\n6 12 600\n7 12 700\n";
  EXPECT_EQ(Slurp(cache), CacheOf("/f/item", records));

  // Seeded: no browse. A cache without the item line (older, or a host's)
  // seeds as well.
  for (const std::string& content : {CacheOf("/f/item", records),
                                     "START_EXTENT_INFO\n" + records + "END_EXTENT_INFO\n"}) {
    WriteFile("cache", content);
    run = Tool(OnItem({"--cache", cache}), "lookup 6 2\nstats\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("6 found 12 600\n2 found 11 200\n", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("browse requests: 0\n"), std::string::npos) << run.out;
  }

  run = Tool(On({"--path", "/vm/disk", "--cache", cache, "lookup", "4"}));
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "extent-browse: " + cache + " is the cache of /f/item (application type 0), "
                     "not of /vm/disk (application type 106)\n");
  EXPECT_EQ(Slurp(cache), CacheOf("/f/item", records));

  run = Tool(OnItem({"save", File("copy")}));
  EXPECT_EQ(run.out, "saved 0 extents to " + File("copy") + "\n");
  EXPECT_EQ(Slurp(File("copy")), CacheOf("/f/item", ""));
}

TEST_F(ToolTest, FilesThatAreNotCachesAreRefusedAndLeftAsTheyWere) {
  std::string noise;
  for (unsigned value = 12345; noise.size() < 4096; value = value * 1103515245u + 12345u) {
    noise.push_back(static_cast<char>(value >> 16));
  }
  WriteFile("catalogue", Slurp(File("index.tsv")));
  WriteFile("text", "dear diary\nSTART_EXTENT_INFO\n");
  WriteFile("noise", noise);
  WriteFile("comment", "# a note\nSTART_EXTENT_INFO\nEND_EXTENT_INFO\n");
  WriteFile("other", CacheOf("/vm/disk", "4 40 4\n"));
  // Large and sparse: judged by its start, never read whole.
  WriteFile("large", "");
  ASSERT_EQ(truncate(File("large").c_str(), 200 << 20), 0);
  ASSERT_EQ(mkfifo(File("fifo").c_str(), 0644), 0);
  ASSERT_EQ(mkdir(File("folder").c_str(), 0755), 0);

  const struct {
    std::string file;
    std::string message;
  } cases[] = {
      {File("catalogue"), " is not an extent-info cache"},
      {File("text"), " is not an extent-info cache"},
      {File("noise"), " is not an extent-info cache"},
      {File("comment"), " is not an extent-info cache"},
      {File("large"), " is not an extent-info cache"},
      {File("other"), " is the cache of /vm/disk"},
      {File("fifo"), " is a FIFO"},
      {File("folder"), " is a directory"},
      {"/dev/null", " is a device"},
  };
  for (const auto& c : cases) {
    struct stat before {};
    stat(c.file.c_str(), &before);
    const std::string content = S_ISREG(before.st_mode) && before.st_size < 65536 ? Slurp(c.file) : "";
    Outcome run = Tool(OnItem({"--cache", c.file, "lookup", "1"}));
    EXPECT_EQ(run.status, 2) << c.file;
    EXPECT_EQ(Occurrences(run.err, "\n"), 1u) << run.err;
    EXPECT_EQ(run.err.rfind("extent-browse: " + c.file + c.message, 0), 0u) << run.err;
    EXPECT_EQ(run.out, "") << "nothing runs on a refused cache";
    // `save FILE` in a session follows the same rules.
    run = Tool(OnItem({}), "lookup 1\nsave " + c.file + "\n");
    EXPECT_EQ(run.status, 2) << c.file;
    EXPECT_EQ(run.err.rfind("extent-browse: line 2: " + c.file + c.message, 0), 0u) << run.err;
    struct stat after {};
    stat(c.file.c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino) << c.file;
    EXPECT_EQ(after.st_mtime, before.st_mtime) << c.file;
    EXPECT_EQ(after.st_size, before.st_size) << c.file;
    if (!content.empty()) {
      EXPECT_EQ(Slurp(c.file), content) << c.file;
    }
  }
}

TEST_F(ToolTest, DamagedCachesAreNotUsedAndAreReplaced) {
  const struct {
    std::string content;
    std::string damage;
  } cases[] = {
      {"START_EXTENT_INFO\n1 10 100\n", "it has no END_EXTENT_INFO line"},
      {"START_EXTENT_INFO\n1 10 100\n2 11\nEND_EXTENT_INFO\n", "line 3 is not a record line"},
      {"# extent-browse cache for application type 0, item /f/item\n", "holds no extent-info block"},
  };
  for (const auto& c : cases) {
    WriteFile("cache", c.content);
    const Outcome run = Tool(OnItem({"--cache", File("cache")}), "stats\nlookup 6\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("warning: " + File("cache")), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(c.damage), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("browse requests: 0\n6 found 12 600\n"), std::string::npos) << run.out;
    EXPECT_EQ(Slurp(File("cache")), CacheOf("/f/item", "6 12 600\n7 12 700\n"));
  }
}

TEST_F(ToolTest, SavesKeepModeAndOwnerAndWriteThroughSymlinks) {
  for (const mode_t mode : {0600, 0640, 0604, 0664}) {
    WriteFile("cache", "");
    ASSERT_EQ(chmod(File("cache").c_str(), mode), 0);
    const Outcome run = Tool(OnItem({"--cache", File("cache"), "lookup", "6"}));
    EXPECT_EQ(run.status, 0) << run.err;
    struct stat st {};
    ASSERT_EQ(stat(File("cache").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode);
    EXPECT_EQ(Slurp(File("cache")), CacheOf("/f/item", "6 12 600\n7 12 700\n"));
  }

  // A new file gets what the umask allows; a link stays a link, even one
  // whose target does not exist yet.
  const mode_t mask = umask(0);
  umask(mask);
  ASSERT_EQ(mkdir(File("real").c_str(), 0755), 0);
  ASSERT_EQ(symlink("real/target", File("link").c_str()), 0);
  for (const char* line : {"lookup 6\n", "lookup 1\n"}) {
    const Outcome run = Tool(OnItem({"--cache", File("link")}), line);
    EXPECT_EQ(run.status, 0) << run.err;
    struct stat st {};
    ASSERT_EQ(lstat(File("link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(File("real/target").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
  }
  EXPECT_EQ(Slurp(File("real/target")), CacheOf("/f/item", "1 10 100\n2 11 200\n6 12 600\n7 12 700\n"));
  EXPECT_EQ(Slurp(File("link")), Slurp(File("real/target")));
}

TEST_F(ToolTest, UnreadableCacheIsAUsageError) {
  // Root reads anything: the tool then runs as nobody, in a folder nobody
  // may write to.
  const bool root = geteuid() == 0;
  ASSERT_EQ(chmod(dir_.c_str(), 0777), 0);
  ASSERT_EQ(chmod(File("index.tsv").c_str(), 0644), 0);
  WriteFile("cache", CacheOf("/f/item", "1 10 100\n"));
  ASSERT_EQ(chmod(File("cache").c_str(), 0), 0);
  const Outcome run = Tool(OnItem({"--cache", File("cache"), "lookup", "1"}), "", "", root);
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_EQ(run.err, "extent-browse: cannot read " + File("cache") + ": Permission denied\n");
  chmod(File("cache").c_str(), 0600);
  EXPECT_EQ(Slurp(File("cache")), CacheOf("/f/item", "1 10 100\n"));
}

TEST_F(ToolTest, StopSignalsSaveTheSessionFirst) {
  const struct {
    std::vector<int> signals;
    int status;
  } cases[] = {
      {{SIGINT}, 130}, {{SIGTERM}, 143}, {{SIGHUP}, 129},
      // A second signal waits for the save the first one started.
      {{SIGINT, SIGTERM}, 130},
  };
  for (const auto& c : cases) {
    std::remove(File("cache").c_str());
    LiveTool tool(OnItem({"--cache", File("cache")}), File("stderr"));
    tool.Send("lookup 1\n");
    ASSERT_TRUE(ReadUntil(tool.output, tool.seen, "1 found 10 100\n"));
    for (const int signal : c.signals) kill(tool.pid, signal);
    EXPECT_EQ(tool.Wait(), c.status) << Slurp(File("stderr"));
    EXPECT_EQ(Slurp(File("cache")), CacheOf("/f/item", "1 10 100\n2 11 200\n6 12 600\n7 12 700\n"));
  }
}

TEST_F(ToolTest, OutputThatCannotBeWrittenEndsTheSessionWithTheCacheSaved) {
  // A full disk is an error worth a message.
  Outcome run = Tool(OnItem({"--cache", File("cache")}), "lookup 6\nlookup 0\n", "/dev/full");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "extent-browse: cannot write to standard output: No space left on device\n");
  EXPECT_EQ(Slurp(File("cache")), CacheOf("/f/item", "6 12 600\n7 12 700\n"));
  run = Tool({"--help"}, "", "/dev/full");
  EXPECT_EQ(run.status, 2);

  // A reader that went away (`| head`) is not: the session stops quietly.
  std::remove(File("cache").c_str());
  LiveTool tool(OnItem({"--cache", File("cache")}), File("stderr"));
  tool.Send("lookup 6\n");
  ASSERT_TRUE(ReadUntil(tool.output, tool.seen, "6 found"));
  tool.Close(tool.output);
  tool.Send("lookup 1\n");
  EXPECT_EQ(tool.Wait(), 141);
  EXPECT_EQ(Slurp(File("stderr")), "");
  EXPECT_EQ(Slurp(File("cache")), CacheOf("/f/item", "1 10 100\n2 11 200\n6 12 600\n7 12 700\n"));
}

TEST_F(ToolTest, AKilledSaveLeavesTheOldCacheOrTheNewOneAndNoOtherFile) {
  std::ostringstream big;
  constexpr int kExtents = 40000;
  for (int extent = 0; extent < kExtents; ++extent) big << "/big\t" << extent << "\t1\t" << extent << "\t0\n";
  WriteFile("big.tsv", big.str());
  const Args arguments{"--index", File("big.tsv"), "--cache", File("cache")};
  ASSERT_EQ(Tool(arguments, "lookup 0\n").status, 0);
  const std::string old = Slurp(File("cache"));
  const std::set<std::string> files = Entries(dir_);
  const std::string last = std::to_string(kExtents - 1) + " not-empty\n";
  // Killed at points spread over the save that follows the enumeration.
  for (int delay = 0; delay <= 21000; delay += 3000) {
    LiveTool tool(arguments, File("stderr"));
    tool.Send("enum\n");
    tool.Close(tool.input);
    ASSERT_TRUE(ReadUntil(tool.output, tool.seen, last));
    usleep(static_cast<useconds_t>(delay));
    kill(tool.pid, SIGKILL);
    tool.Wait();
    const std::string now = Slurp(File("cache"));
    EXPECT_TRUE(now == old || (now.size() > old.size() && now.compare(now.size() - 16, 16, "END_EXTENT_INFO\n") == 0))
        << "a torn cache after a kill at " << delay << " us";
    EXPECT_EQ(Entries(dir_), files) << "after a kill at " << delay << " us";
  }
}

TEST_F(ToolTest, InteractiveSessionsRecallEarlierLines) {
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    setenv("TERM", "xterm", 1);
    Exec(OnItem({}));
  }
  std::string seen;
  ASSERT_TRUE(ReadUntil(terminal, seen, "extent-browse> "));
  ASSERT_EQ(write(terminal, "lookup 1\r", 9), 9);
  ASSERT_TRUE(ReadUntil(terminal, seen, "1 found 10 100"));
  // Ctrl-P brings the last line back; Enter runs it again.
  ASSERT_EQ(write(terminal, "\x10\r", 2), 2);
  ASSERT_TRUE(ReadUntil(terminal, seen, "1 found 10 100", 2)) << seen;
  ASSERT_EQ(write(terminal, "quit\r", 5), 5);
  int raw = 0;
  waitpid(pid, &raw, 0);
  close(terminal);
  EXPECT_EQ(StatusOf(raw), 0) << seen;
}

TEST_F(ToolTest, WarningsGoToStandardErrorAndTheRunGoesOn) {
  Outcome run = Tool(On({"--path", "/vm/disk", "--app-type", "0", "lookup", "4"}));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "4 not-found\n");
  EXPECT_NE(run.err.find("warning: the index holds /vm/disk under Extent<decimal> names"),
            std::string::npos) << run.err;

  run = Tool(On({"demo"}));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "extent-browse: warning: demo runs on the bundled sample with browsers of its "
                     "own; it does not use --index\n");
  for (const char* said : {"lookup 9: found in archive file 101, value 36864, from the map, no browse",
                           "lookup 25: not found, inside a browsed range, no browse",
                           "answered 25 without browsing", "It answered both without browsing",
                           "name of extent 12 after browsing:  Extent12"}) {
    EXPECT_NE(run.out.find(said), std::string::npos) << said << "\n" << run.out;
  }
  // Under a fault the demo says what happened, and nothing that did not.
  run = Tool({"--fail-browse", "demo"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("lookup 5: browse failed"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("every browse was told to fail (--fail-browse)"), std::string::npos);
  EXPECT_EQ(run.out.find("from the map"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("lookup 9"), std::string::npos) << run.out;
}

TEST_F(ToolTest, FaultsAnswerBrowseFailedAndAToolWithoutItsSampleSaysWhereItLooked) {
  for (const Args& fault : {Args{"--fail-init"}, Args{"--fail-browse"}, Args{"--error-code", "7"}}) {
    Args arguments = fault;
    arguments.insert(arguments.end(), {"lookup", "1"});
    const Outcome run = Tool(OnItem(arguments), "");
    EXPECT_EQ(run.status, 1) << fault[0];
    EXPECT_EQ(run.out, "1 browse-failed\n") << fault[0];
  }
  const Outcome run = Tool(OnItem({"--fail-browse", "enum"}));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "enum browse-failed\n");

  // A copy of the tool in a folder of its own, as a bad install leaves it.
  const std::string copy = File("extent-browse");
  ASSERT_EQ(std::system(("cp '" EXTENT_BROWSE_TOOL "' '" + copy + "'").c_str()), 0);
  const Outcome lost = Tool({"lookup", "1"}, "", "", false, copy);
  EXPECT_EQ(lost.status, 2);
  EXPECT_EQ(lost.err, "extent-browse: cannot find the bundled sample index: looked for " + dir_ +
                          "/sample-index.tsv and " + dir_ +
                          "/../share/extentbrowse/sample-index.tsv; --index FILE names another "
                          "catalogue\n");
}

TEST_F(ToolTest, HelpManPageAndManualListTheSameOptions) {
  const auto optionsIn = [](std::string text) {
    // The man page writes every hyphen as "\-".
    for (std::size_t at = text.find("\\-"); at != std::string::npos; at = text.find("\\-", at)) {
      text.erase(at, 1);
    }
    std::set<std::string> options;
    const auto isWordCharacter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'; };
    for (std::size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at + 2)) {
      std::size_t end = at + 2;
      while (end < text.size() && isWordCharacter(text[end])) ++end;
      while (end > at + 2 && text[end - 1] == '-') --end;
      if (end > at + 2 && text[at + 2] >= 'a' && text[at + 2] <= 'z') options.insert(text.substr(at, end - at));
    }
    return options;
  };
  const std::set<std::string> help = optionsIn(Tool({"--help"}).out);
  EXPECT_GE(help.size(), 20u);
  EXPECT_EQ(optionsIn(Slurp(EXTENT_BROWSE_MAN_PAGE)), help);
  EXPECT_EQ(optionsIn(Slurp(EXTENT_BROWSE_MANUAL)), help);
}

}  // namespace
