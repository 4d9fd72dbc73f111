// Looking one extent up: a host of the library, built against an installed
// package. It fills the stand-in index from a catalogue file, builds a
// browser on one item and asks where one extent lies.
//
//   lookup CATALOGUE PATH EXTENT
//
// prints `EXTENT found AFILEID AFILEVALUE`, `EXTENT not-found` or
// `EXTENT browse-failed`, as extent-browse does, and exits 0 only when the
// extent was found.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <ebindex/CatalogueFile.h>
#include <extentbrowse/ExtentBrowse.h>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: lookup CATALOGUE PATH EXTENT\n");
    return 2;
  }
  const std::string catalogueFile = argv[1];
  const std::string path = argv[2];
  const unsigned long long extent = std::strtoull(argv[3], nullptr, 10);
  // The browser and the index must agree on how long extent names are.
  const int nameLength = 13;

  // The stand-in platform's index starts empty. On the production platform
  // the index is the backup's own, and a host skips this. Every browser of
  // this process browses the catalogue installed here.
  std::string error;
  if (!ebindex::InstallCatalogueFile(catalogueFile, nameLength, error)) {
    std::fprintf(stderr, "lookup: %s\n", error.c_str());
    return 2;
  }

  // The backup to browse. A restore job knows these; the stand-in index
  // holds one backup and does not look at them.
  SCParams params;
  params.sourceClientId = 7;
  params.appType = 0;  // a file-system item
  params.bkpSetId = 1;
  ExtentBrowse browse(params, path, /*cacheStream=*/nullptr, EB_MODE_DEFAULT, /*pageSize=*/1000,
                      nameLength, /*browseOptionFlag=*/false, /*copyPrecedence=*/0, /*maName=*/"");

  unsigned long long afileId = 0, afileValue = 0;
  switch (browse.GetAFInfo(extent, afileId, afileValue)) {
    case EB_EXTENT_FOUND:
      std::printf("%llu found %llu %llu\n", extent, afileId, afileValue);
      return 0;
    case EB_EXTENT_NOT_FOUND:  // the index says the backup has no such extent
      std::printf("%llu not-found\n", extent);
      return 1;
    default:  // the library could not tell: never read this as a hole
      std::printf("%llu browse-failed\n", extent);
      return 1;
  }
}
