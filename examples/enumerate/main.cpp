// Enumerating every extent of an item with its empty flag.
//
//   enumerate CATALOGUE PATH
//
// prints `N empty` or `N not-empty` for each extent in ascending order, as
// extent-browse's `enum` does, then `EXTENTS extents`; or `enum
// browse-failed` (exit 1) when the item could not be browsed.
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>

#include <ebindex/CatalogueFile.h>
#include <ebindex/IndexService.h>
#include <extentbrowse/ExtentBrowse.h>

namespace {

// The length the index's extent names were written with.
const int kNameLength = 13;

// The stand-in platform's index starts empty. On the production platform
// the index is the backup's own, and a host skips this.
bool FillIndex(const std::string& catalogueFile) {
  std::ifstream in(catalogueFile);
  ebindex::Catalogue catalogue;
  std::string error;
  if (!in || !ebindex::LoadCatalogue(in, catalogueFile, kNameLength, catalogue, error)) {
    std::fprintf(stderr, "enumerate: cannot load %s %s\n", catalogueFile.c_str(), error.c_str());
    return false;
  }
  ebindex::IndexService::instance().setCatalogue(std::move(catalogue));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: enumerate CATALOGUE PATH\n");
    return 2;
  }
  if (!FillIndex(argv[1])) return 2;

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
