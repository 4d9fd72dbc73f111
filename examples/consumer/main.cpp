// A host of the library, built against an installed package: it fills the
// stand-in index from a catalogue file, builds a browser on one item and
// asks where one extent lies.
//
//   consumer CATALOGUE PATH EXTENT
//
// prints `EXTENT found AFILEID AFILEVALUE`, `EXTENT not-found` or
// `EXTENT browse-failed`, as extent-browse does, and exits 0 only when the
// extent was found.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>

#include <ebindex/CatalogueFile.h>
#include <ebindex/IndexService.h>
#include <extentbrowse/ExtentBrowse.h>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: consumer CATALOGUE PATH EXTENT\n");
    return 2;
  }
  const std::string catalogueFile = argv[1];
  const std::string path = argv[2];
  const unsigned long long extent = std::strtoull(argv[3], nullptr, 10);
  // The browser and the catalogue must agree on how long extent names are.
  const int nameLength = 13;

  std::ifstream in(catalogueFile);
  if (!in) {
    std::fprintf(stderr, "consumer: cannot read %s\n", catalogueFile.c_str());
    return 2;
  }
  ebindex::Catalogue catalogue;
  std::string error;
  if (!ebindex::LoadCatalogue(in, catalogueFile, nameLength, catalogue, error)) {
    std::fprintf(stderr, "consumer: %s\n", error.c_str());
    return 2;
  }
  // Every browser of this process browses the catalogue installed here.
  ebindex::IndexService::instance().setCatalogue(std::move(catalogue));

  SCParams params;
  params.appType = 0;  // a file-system item
  ExtentBrowse browse(params, path, /*cacheStream=*/nullptr, EB_MODE_DEFAULT, /*pageSize=*/1000,
                      nameLength, /*browseOptionFlag=*/false, /*copyPrecedence=*/0, /*maName=*/"");
  unsigned long long afileId = 0, afileValue = 0;
  switch (browse.GetAFInfo(extent, afileId, afileValue)) {
    case EB_EXTENT_FOUND:
      std::printf("%llu found %llu %llu\n", extent, afileId, afileValue);
      return 0;
    case EB_EXTENT_NOT_FOUND:
      std::printf("%llu not-found\n", extent);
      return 1;
    default:
      std::printf("%llu browse-failed\n", extent);
      return 1;
  }
}
