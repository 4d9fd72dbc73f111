// Parallel lookups: what a restore engine does with each extent of an item,
// decided by several threads at once on one browser.
//
//   parallel-lookups CATALOGUE PATH EXTENTS
//
// looks extents 0 to EXTENTS-1 up on four threads and prints, in extent
// order, one line each:
//   N read AFILEID AFILEVALUE   the extent's data is in that archive file
//   N zeros                     the extent is empty: write zeros, read nothing
//   N hole                      the backup has no such extent
//   N failed                    the library could not tell: the restore stops
// and exits 0 when no lookup failed.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <ebindex/CatalogueFile.h>
#include <extentbrowse/ExtentBrowse.h>

namespace {

// The length the index's extent names were written with.
const int kNameLength = 13;

struct Answer {
  ExtentBrowseResult result = EB_BROWSE_FAILED;
  unsigned long long afileId = 0;
  unsigned long long afileValue = 0;
  bool empty = false;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: parallel-lookups CATALOGUE PATH EXTENTS\n");
    return 2;
  }
  std::string error;
  if (!ebindex::InstallCatalogueFile(argv[1], kNameLength, error)) {
    std::fprintf(stderr, "parallel-lookups: %s\n", error.c_str());
    return 2;
  }
  const unsigned long long extents = std::strtoull(argv[3], nullptr, 10);

  SCParams params;
  params.appType = 0;  // a file-system item
  // Small pages, so that threads miss at once and take turns to browse.
  ExtentBrowse browse(params, argv[2], /*cacheStream=*/nullptr, EB_MODE_DEFAULT, /*pageSize=*/10,
                      kNameLength, /*browseOptionFlag=*/false, /*copyPrecedence=*/0,
                      /*maName=*/"");

  // Lookups may run on any number of threads. A miss browses on the thread
  // that missed, one browse at a time per browser; the others wait or answer
  // from what the browser already holds.
  std::vector<Answer> answers(extents);
  const unsigned long long threadCount = 4;
  std::vector<std::thread> threads;
  for (unsigned long long first = 0; first < threadCount; ++first) {
    threads.emplace_back([&browse, &answers, first, extents, threadCount] {
      for (unsigned long long extent = first; extent < extents; extent += threadCount) {
        Answer& answer = answers[extent];  // each thread writes only its own
        answer.result = browse.GetAFInfo(extent, answer.afileId, answer.afileValue);
        // Emptiness is known once the lookup has found the extent.
        answer.empty = answer.result == EB_EXTENT_FOUND && browse.IsExtentEmpty(extent);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  // Every call has returned: the browser may now be destroyed (at the end
  // of main).

  bool failed = false;
  for (unsigned long long extent = 0; extent < extents; ++extent) {
    const Answer& answer = answers[extent];
    if (answer.result == EB_EXTENT_FOUND && answer.empty) {
      std::printf("%llu zeros\n", extent);
    } else if (answer.result == EB_EXTENT_FOUND) {
      std::printf("%llu read %llu %llu\n", extent, answer.afileId, answer.afileValue);
    } else if (answer.result == EB_EXTENT_NOT_FOUND) {
      std::printf("%llu hole\n", extent);
    } else {
      // EB_BROWSE_FAILED: never a hole. This browser fails every later
      // lookup that needs a browse; a retry takes a new browser.
      std::printf("%llu failed\n", extent);
      failed = true;
    }
  }
  return failed ? 1 : 0;
}
