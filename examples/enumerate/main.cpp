// Enumerating every extent of an item with its empty flag.
//
//   enumerate CATALOGUE PATH
//
// prints `N empty` or `N not-empty` for each extent in ascending order, as
// extent-browse's `enum` does, then `EXTENTS extents`; or `enum
// browse-failed` (exit 1) when the item could not be browsed.
#include <cstdio>
#include <string>

#include <ebindex/CatalogueFile.h>
#include <extentbrowse/ExtentBrowse.h>

namespace {

// The length the index's extent names were written with.
const int kNameLength = 13;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: enumerate CATALOGUE PATH\n");
    return 2;
  }
  std::string error;
  if (!ebindex::InstallCatalogueFile(argv[1], kNameLength, error)) {
    std::fprintf(stderr, "enumerate: %s\n", error.c_str());
    return 2;
  }

  SCParams params;
  params.appType = 0;  // a file-system item
  ExtentBrowse browse(params, argv[2], /*cacheStream=*/nullptr, EB_MODE_DEFAULT, /*pageSize=*/1000,
                      kNameLength, /*browseOptionFlag=*/false, /*copyPrecedence=*/0,
                      /*maName=*/"");

  // The first OpenEnum browses the whole item in one request. Null means
  // that browse failed: nothing is open, and a later OpenEnum tries again.
  void* handle = browse.OpenEnum();
  if (handle == nullptr) {
    std::printf("enum browse-failed\n");
    return 1;
  }
  // From here to CloseEnum this thread holds the browser's extent map: other
  // threads' lookups wait, and this thread must not look up an extent the
  // browser does not hold yet.
  unsigned long long extent = 0, count = 0;
  bool empty = false;
  while (browse.EnumExtent(handle, extent, empty)) {
    std::printf("%llu %s\n", extent, empty ? "empty" : "not-empty");
    ++count;
  }
  browse.CloseEnum(handle);
  std::printf("%llu extents\n", count);
  return 0;
}
