// Saving what a browser learnt, and seeding a later browser with it.
//
//   cache CATALOGUE PATH CACHEFILE
//
// A first browser looks extents 0 to 9 up and saves its extent map to
// CACHEFILE, under a first line that names the backup the records belong
// to. A second browser of the same backup is seeded from the file and
// answers without browsing. A browser of another backup set refuses the
// file. Each step prints one line.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <ebindex/CatalogueFile.h>
#include <extentbrowse/ExtentBrowse.h>
#include <extentbrowse/ExtentBrowseImpl.h>  // SaveExtentInfo, numBrowseRequests

namespace {

// The length the index's extent names were written with.
const int kNameLength = 13;

// The first line of the cache file: what the records depend on. The block
// the library writes names nothing, and a browser seeded with another
// backup's block would answer from it: binding the block to its backup is
// the host's job.
std::string BindingLine(const SCParams& params, const std::string& path) {
  return "extent cache of " + path + " client " + std::to_string(params.sourceClientId) +
         " app type " + std::to_string(params.appType) + " backup set " +
         std::to_string(params.bkpSetId) + " name length " + std::to_string(kNameLength) +
         " copy precedence 0";
}

// Writes the binding line, then the browser's extent-info block.
bool SaveCache(ExtentBrowse& browse, const std::string& binding, const std::string& file) {
  // The block goes to a string first: a browser that was not seeded writes
  // from the stream's start, where the binding line would be.
  std::stringstream block;
  if (!browse.GetImpl()->SaveExtentInfo(&block)) return false;
  const std::string text = block.str();
  std::ofstream out(file, std::ios::trunc);
  if (!(out << binding << '\n' << text << std::flush)) return false;
  // One line per record, between the two marker lines.
  std::printf("saved %ld records under the binding line\n",
              static_cast<long>(std::count(text.begin(), text.end(), '\n')) - 2);
  return true;
}

// Positions `in` at the block of `file` when the file is bound to `binding`;
// false when there is no such file or it belongs to another backup.
bool OpenCache(std::fstream& in, const std::string& file, const std::string& binding) {
  in.open(file, std::ios::in);
  std::string firstLine;
  return std::getline(in, firstLine) && firstLine == binding;
}

// Looks extents 0 to 9 up and says what the browser had to do for them.
void LookUp(const char* who, ExtentBrowse& browse) {
  const unsigned long long browsesBefore = numBrowseRequests;
  unsigned long long afileId = 0, afileValue = 0;
  for (unsigned long long extent = 0; extent < 10; ++extent) {
    if (browse.GetAFInfo(extent, afileId, afileValue) != EB_EXTENT_FOUND) {
      std::printf("%s: extent %llu not found\n", who, extent);
    }
  }
  browse.GetAFInfo(5, afileId, afileValue);
  // A record seeded from a block is never empty: the block has no flags.
  std::printf("%s: browse requests %llu, extent 5 in archive file %llu, extent 8 %s\n", who,
              numBrowseRequests - browsesBefore, afileId,
              browse.IsExtentEmpty(8) ? "empty" : "not empty");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: cache CATALOGUE PATH CACHEFILE\n");
    return 2;
  }
  std::string error;
  if (!ebindex::InstallCatalogueFile(argv[1], kNameLength, error)) {
    std::fprintf(stderr, "cache: %s\n", error.c_str());
    return 2;
  }
  const std::string path = argv[2], cacheFile = argv[3];

  SCParams params;
  params.sourceClientId = 7;
  params.appType = 0;  // a file-system item
  params.bkpSetId = 1;
  const std::string binding = BindingLine(params, path);
  {
    ExtentBrowse first(params, path, /*cacheStream=*/nullptr, EB_MODE_DEFAULT, /*pageSize=*/10,
                       kNameLength, false, 0, "");
    LookUp("first browser", first);
    if (!SaveCache(first, binding, cacheFile)) return 1;
  }
  {
    // The stream is read once, while the browser is built; it stays ours.
    std::fstream cache;
    const bool bound = OpenCache(cache, cacheFile, binding);
    ExtentBrowse seeded(params, path, bound ? &cache : nullptr, EB_MODE_DEFAULT, 10, kNameLength,
                        false, 0, "");
    LookUp(bound ? "seeded browser" : "unseeded browser", seeded);
  }
  {
    SCParams otherBackup = params;
    otherBackup.bkpSetId = 2;
    std::fstream cache;
    const bool bound = OpenCache(cache, cacheFile, BindingLine(otherBackup, path));
    ExtentBrowse other(otherBackup, path, bound ? &cache : nullptr, EB_MODE_DEFAULT, 10,
                       kNameLength, false, 0, "");
    LookUp(bound ? "backup set 2, seeded" : "backup set 2, cache refused", other);
  }
  return 0;
}
