// Saving a browser's extent map to a file without ever leaving a torn one.
#ifndef EXTENTBROWSE_TOOLS_CACHEFILE_H
#define EXTENTBROWSE_TOOLS_CACHEFILE_H

#include <cstddef>
#include <sstream>
#include <string>

class ExtentBrowseImpl;

// Writes the block to a temporary file beside `file`, syncs it and renames
// it over `file`. `records` receives the number of record lines.
bool SaveCacheFile(ExtentBrowseImpl& browser, const std::string& file, std::size_t& records,
                   std::string& error);

// The content of `file` as a stream to construct a browser on; false when
// the file does not exist.
bool ReadCacheFile(const std::string& file, std::stringstream& content);

#endif  // EXTENTBROWSE_TOOLS_CACHEFILE_H
