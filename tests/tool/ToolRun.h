// Running the extent-browse executable as a person or a script runs it:
// arguments, standard input, files and signals, and what it leaves.
#ifndef EXTENTBROWSE_TESTS_TOOL_TOOLRUN_H
#define EXTENTBROWSE_TESTS_TOOL_TOOLRUN_H

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tooltest {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

struct Outcome {
  int status;  // the exit status, or -signal when a signal ended it
  std::string out, err;
  long peakKb = 0;  // the most memory it held
};

inline std::string Slurp(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Reads `fd` until `text` has appeared or the stream ends; the wait guards
// against a hung tool and measures nothing.
inline bool ReadUntil(int fd, std::string& seen, const std::string& text) {
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
inline std::string CacheOf(const std::string& records, const std::string& empty = "") {
  return "# extent-browse cache for application type 0, item /f/item\n# bound to name length 13, "
         "copy precedence 0, entries digest D, backup set GUID \"\"\n" +
         (empty.empty() ? "" : "# empty extents " + empty + "\n") + "START_EXTENT_INFO\n" +
         records + "END_EXTENT_INFO\n";
}

// A cache file as CacheOf writes it: the digests of the catalogue's entries
// and of the records are the hash's business, and only their changes are.
inline std::string Stored(const std::string& file) {
  std::string text = Slurp(file);
  const std::size_t records = text.find("# records digest ");
  if (records != std::string::npos) text.erase(records, 34);
  const std::size_t digest = text.find("entries digest ");
  return digest == std::string::npos ? text : text.replace(digest + 15, 16, "D");
}

// The records of a cache file.
inline std::string RecordsIn(const std::string& file) {
  const std::string text = Slurp(file);
  const std::size_t start = text.find("START_EXTENT_INFO\n");
  return start == std::string::npos ? text : text.substr(start + 18);
}

// What a lookup of extent 1 or 2 of the file item brings: the page from 1.
inline const std::string kFromOne = "1 10 100\n2 11 200\n6 12 600\n7 12 700\n";

[[noreturn]] inline void Exec(const Args& arguments, const std::string& tool = EXTENT_BROWSE_TOOL) {
  std::vector<char*> argv{const_cast<char*>(tool.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

// The tool on `fds` as its standard input, output and error (closed for
// -1), as nobody when asked (root reads every file, so "unreadable" needs
// someone else).
inline pid_t Spawn(const Args& arguments, const int (&fds)[3], bool asNobody = false,
            const std::string& tool = EXTENT_BROWSE_TOOL) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  for (int fd = 0; fd < 3; ++fd) fds[fd] < 0 ? close(fd) : dup2(fds[fd], fd);
  if (asNobody && (setgroups(0, nullptr) || setgid(65534) || setuid(65534))) _exit(120);
  Exec(arguments, tool);
}

// The exit status; a tool still running after a minute is hung, and killed.
inline int Wait(pid_t pid, long* peakKb = nullptr) {
  int raw = 0;
  rusage usage{};
  for (int waited = 0; wait4(pid, &raw, WNOHANG, &usage) == 0; ++waited) {
    if (waited == 30000) kill(pid, SIGKILL);
    usleep(2000);
  }
  if (peakKb != nullptr) *peakKb = usage.ru_maxrss;
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -WTERMSIG(raw);
}

// Waits until the pipe `fd` reads from is full, so that its writer waits.
inline void WaitUntilFull(int fd) {
  for (int queued = 0, tries = 0; tries < 5000 && queued < fcntl(fd, F_GETPIPE_SZ); ++tries) {
    usleep(1000);
    ioctl(fd, FIONREAD, &queued);
  }
}

inline int OpenForWriting(const std::string& file) {
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

  // A catalogue of one item, /big, of extents 0 to count - 1 in archive file 1.
  std::string Big(int count) const {
    std::ostringstream big;
    for (int extent = 0; extent < count; ++extent) big << "/big\t" << extent << "\t1\t0\t0\n";
    const std::string name = "big" + std::to_string(count) + ".tsv";
    WriteFile(name, big.str());
    return File(name);
  }

  std::string dir_;
};


}  // namespace tooltest

#endif  // EXTENTBROWSE_TESTS_TOOL_TOOLRUN_H
