// What a cache's answers depend on, and the lines that bind a cache file
// to it.
//
// A cache file starts by naming the item and the backup its records came
// from:
//   # extent-browse cache for application type 0, item /data/reports/annual.bin
//   # bound to name length 13, copy precedence 0, entries digest 5f0c...e2, backup set GUID ""
// The digest is XXH3-64 of the item's entries in the index, so a cache of
// last night's backup of the same path does not answer for tonight's.
#ifndef EXTENTBROWSE_TOOLS_CACHEBINDING_H
#define EXTENTBROWSE_TOOLS_CACHEBINDING_H

#include <string>

namespace ebindex {
class Catalogue;
}

struct CacheBinding {
  // The item line.
  std::string path;
  int appType = 0;
  // The binding line.
  int nameLength = 0;
  unsigned int copyPrecedence = 0;
  std::string entriesDigest;  // 16 lower-case hex digits
  std::string backupSetGuid;  // as a JSON string, quotes and escapes included
};

// The binding of the item at `path` of `catalogue`, browsed as the other
// arguments say.
CacheBinding BindingOf(const ebindex::Catalogue& catalogue, const std::string& path, int appType,
                       int nameLength, unsigned int copyPrecedence,
                       const std::string& backupSetGuid);

// The bytes every cache file the tool writes starts with.
std::string CacheFileMark();

// The two lines, each with its line feed.
std::string ItemLine(const CacheBinding& binding);
std::string BindingLine(const CacheBinding& binding);

// Read the lines back into `binding`; false for a line that is not one.
bool ParseItemLine(const std::string& line, CacheBinding& binding);
bool IsBindingLine(const std::string& line);
bool ParseBindingLine(const std::string& line, CacheBinding& binding);

bool SameItem(const CacheBinding& a, const CacheBinding& b);
// "/data/reports/annual.bin (application type 0)".
std::string DescribeItem(const CacheBinding& binding);
// How the binding line of `found` differs from that of `wanted`, as
// "its entries digest is X, not Y; ..."; empty when they are the same.
std::string BindingDifferences(const CacheBinding& found, const CacheBinding& wanted);

#endif  // EXTENTBROWSE_TOOLS_CACHEBINDING_H
