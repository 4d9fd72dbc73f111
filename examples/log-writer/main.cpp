// Installing a log writer, and reading the library's counters through it.
//
//   log-writer CATALOGUE PATH
//
// Installs a writer that prints every line it is given as `log LEVEL:
// MESSAGE` on standard output, looks extents 5 and 22 up, then writes the
// counter table through the writer.
#include <cstdarg>
#include <cstdio>
#include <string>

#include <CLogWriterInterface.h>
#include <ebindex/CatalogueFile.h>
#include <extentbrowse/EBPerfCounters.h>
#include <extentbrowse/ExtentBrowse.h>

namespace {

// The length the index's extent names were written with.
const int kNameLength = 13;

// A host's writer. The library asks getLevel() before each line and writes
// only the lines at or below it: -1 errors, 1 construction and one-time
// decisions, 2 notable browse events, 4 tracing, 5 finest detail. Lines come
// from any thread, the browse service's included, so each goes out in one
// call.
class StdoutLogWriter : public CLogWriterInterface {
 public:
  explicit StdoutLogWriter(int level) : level_(level) {}

  void writeLog(int level, const char* /*function*/, int /*line*/, int, int, const char* format,
                ...) override {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    std::string message(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    std::vsnprintf(&message[0], message.size() + 1, format, again);
    va_end(again);
    va_end(args);
    std::printf("log %d: %s\n", level, message.c_str());
  }
  int getLevel() override { return level_; }

 private:
  const int level_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: log-writer CATALOGUE PATH\n");
    return 2;
  }
  std::string error;
  if (!ebindex::InstallCatalogueFile(argv[1], kNameLength, error)) {
    std::fprintf(stderr, "log-writer: %s\n", error.c_str());
    return 2;
  }

  // Before the first browser is built, and in place until the last call
  // into the library has returned. Level 1 shows errors and what each
  // browser was built with; 4 traces every lookup and browse.
  g_ptrLogWriter.reset(new StdoutLogWriter(1));

  {
    SCParams params;
    params.appType = 0;  // a file-system item
    ExtentBrowse browse(params, argv[2], /*cacheStream=*/nullptr, EB_MODE_DEFAULT,
                        /*pageSize=*/10, kNameLength, /*browseOptionFlag=*/false,
                        /*copyPrecedence=*/0, /*maName=*/"");
    unsigned long long afileId = 0, afileValue = 0;
    for (unsigned long long extent : {5ull, 22ull}) {
      if (browse.GetAFInfo(extent, afileId, afileValue) == EB_EXTENT_FOUND) {
        std::printf("%llu found %llu %llu\n", extent, afileId, afileValue);
      } else {
        std::printf("%llu not found\n", extent);
      }
    }
  }

  // The ten counters of every browser of the process: stopped, written
  // through the log writer at level 1, and reset.
  LogEBPerfcounters();
  return 0;
}
