// The extent-info block on the caller's cache stream: read once at
// construction, written by SaveExtentInfo.
//
// The block is one marker line, one "extent afileId afileValue" line per
// record in ascending extent number, and an end marker line. Only a block
// with its end marker seeds the map.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <locale>
#include <string>

#include "common/EBLog.h"
#include "extentbrowse/EBExtentNameConverter.h"
#include "extentbrowse/ExtentBrowseImpl.h"

namespace {

constexpr const char* kStartMarker = "START_EXTENT_INFO";
constexpr const char* kEndMarker = "END_EXTENT_INFO";
constexpr std::size_t kLineBufferSize = 1024;

// The caller's stream is used with its exceptions off, and written in plain
// decimal in the classic locale whatever the caller set; everything is put
// back as it was when the scope ends. A stream that throws would carry an
// exception out of the library, and a caller's hex flag or digit grouping
// would write a block no reader can read.
class PlainStreamScope {
 public:
  explicit PlainStreamScope(std::iostream& stream)
      : stream_(stream),
        exceptions_(stream.exceptions()),
        flags_(stream.flags()),
        locale_(stream.getloc()) {
    stream_.exceptions(std::ios::goodbit);
    stream_.flags(std::ios::dec);
    stream_.imbue(std::locale::classic());
  }
  ~PlainStreamScope() {
    stream_.imbue(locale_);
    stream_.flags(flags_);
    stream_.clear();  // so that putting the exception mask back cannot throw
    stream_.exceptions(exceptions_);
  }
  PlainStreamScope(const PlainStreamScope&) = delete;
  PlainStreamScope& operator=(const PlainStreamScope&) = delete;

 private:
  std::iostream& stream_;
  std::ios::iostate exceptions_;
  std::ios::fmtflags flags_;
  std::locale locale_;
};

}  // namespace

void ExtentBrowseImpl::LoadExtentInfo() {
  std::iostream& stream = *cacheStream;
  PlainStreamScope plain(stream);
  // The block begins at its marker, past any blanks before it, so that a
  // later save writes over the block and not over the caller's line break.
  stream >> std::ws;
  if (stream.eof()) stream.clear();  // nothing here yet: a block goes at the end
  cacheStartPos = stream.tellg();
  std::string word;
  stream >> word;

  CSecWrapper guard(volumeCtxt.extentMapLock);
  if (word != kStartMarker) return;

  unsigned long long extentNumber = 0;
  unsigned long long lastScanned = 0;
  AFileInfoInternal record;
  bool complete = false;
  char line[kLineBufferSize];
  while (stream.good()) {
    stream.getline(line, sizeof line);
    // A line too long for the buffer fails the stream: the block is cut.
    if (stream.fail()) break;
    if (line[0] == '\0') continue;
    if (std::strcmp(line, kEndMarker) == 0) {
      complete = true;
      break;
    }
    // A line without its three numbers ends the block as cut short, rather
    // than storing a record made of the previous line's values.
    if (std::sscanf(line, "%llu %llu %llu", &extentNumber, &record.afileId, &record.afileValue) !=
        3) {
      break;
    }
    volumeCtxt.extentMap[extentNumber] = record;
    lastScanned = extentNumber;
  }

  if (complete) {
    cacheComplete = true;
  } else {
    stream.clear();
    stream.seekg(cacheStartPos);
  }
  converter->ExtentNumToName(lastScanned, volumeCtxt.lastItemName);
}

bool ExtentBrowseImpl::SaveExtentInfo(std::iostream* stream) {
  if (stream == nullptr) stream = cacheStream;
  if (stream == nullptr) return false;

  CSecWrapper guard(volumeCtxt.extentMapLock);
  if (!stream->good()) {
    EB_LOG(-1, "iostream is not good.");
    return false;
  }

  bool written = false;
  {
    PlainStreamScope plain(*stream);
    stream->seekg(cacheStartPos);
    *stream << kStartMarker << std::endl;
    for (const ExtentMap::value_type& entry : volumeCtxt.extentMap) {
      *stream << entry.first << ' ' << entry.second.afileId << ' ' << entry.second.afileValue
              << '\n';
    }
    *stream << kEndMarker << std::endl;
    written = !stream->fail();
  }
  if (!written) EB_LOG(-1, "Writing the extent info block to the iostream failed.");
  return written;
}
