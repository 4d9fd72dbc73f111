// The extent-info block on the caller's cache stream: read once at
// construction, written by SaveExtentInfo.
//
// The block is one marker line, one "extent afileId afileValue" line per
// record in ascending extent number, and an end marker line. Only a block
// with its end marker seeds the map.
#include <charconv>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>

#include "browser/BrowserState.h"
#include "common/EBLog.h"

namespace {

constexpr const char kStartMarker[] = "START_EXTENT_INFO";
constexpr const char kEndMarker[] = "END_EXTENT_INFO";
// A line holds at most 1023 characters; a longer one cuts the block short.
constexpr std::size_t kLineBufferSize = 1024;
// Three 20-digit numbers, two blanks and a line feed.
constexpr std::size_t kLongestRecordLine = 3 * 20 + 3;
constexpr std::size_t kReadChunk = 64 * 1024;
constexpr std::size_t kWriteChunk = 64 * 1024;

// The caller's stream is used with its exceptions off and plain formatting,
// and put back as it was when the scope ends: a stream that throws would
// carry an exception out of the library, and a pending field width or a
// cleared skipws would misread the marker.
class PlainStreamScope {
 public:
  explicit PlainStreamScope(std::iostream& stream)
      : stream_(stream),
        exceptions_(stream.exceptions()),
        flags_(stream.flags()),
        width_(stream.width()) {
    stream_.exceptions(std::ios::goodbit);
    stream_.flags(std::ios::skipws | std::ios::dec);
    stream_.width(0);
  }
  ~PlainStreamScope() {
    stream_.width(width_);
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
  std::streamsize width_;
};

// One unsigned 64-bit decimal at `p`, which must be followed by `next`
// (a blank, or the end of the line when `next` is 0). Signs, blanks and
// values past 64 bits are refused: the writer never produces them, so such
// a line is damage, not data.
//
// Read by hand rather than by std::from_chars, whose check of every digit
// for overflow costs a seed more than the map it fills: nineteen digits
// cannot pass 2^64, so only a twentieth is checked.
bool IsDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

const char* ReadNumber(const char* p, const char* end, char next, unsigned long long& value) {
  const char* const start = p;
  while (p != end && *p == '0') ++p;  // leading zeros add nothing
  const char* const unchecked = end - p > 19 ? p + 19 : end;
  unsigned long long number = 0;
  while (p != unchecked && IsDigit(*p)) number = number * 10 + static_cast<unsigned>(*p++ - '0');
  if (p == unchecked && p != end && IsDigit(*p)) {
    const unsigned digit = static_cast<unsigned>(*p++ - '0');
    if (number > (~0ull - digit) / 10) return nullptr;
    number = number * 10 + digit;
    if (p != end && IsDigit(*p)) return nullptr;
  }
  if (p == start) return nullptr;
  value = number;
  if (next == '\0') return p == end ? p : nullptr;
  return p != end && *p == next ? p + 1 : nullptr;
}

// A record: exactly three numbers separated by single blanks, the last
// followed by `last` (as for ReadNumber). Past the record, or null.
const char* ReadRecord(const char* line, const char* end, char last,
                       unsigned long long& extentNumber, AFileInfoInternal& record) {
  const char* p = ReadNumber(line, end, ' ', extentNumber);
  if (p != nullptr) p = ReadNumber(p, end, ' ', record.afileId);
  if (p != nullptr) p = ReadNumber(p, end, last, record.afileValue);
  return p;
}

char* WriteRecordLine(char* out, unsigned long long extentNumber, const AFileInfoInternal& record) {
  out = std::to_chars(out, out + 20, extentNumber).ptr;
  *out++ = ' ';
  out = std::to_chars(out, out + 20, record.afileId).ptr;
  *out++ = ' ';
  out = std::to_chars(out, out + 20, record.afileValue).ptr;
  *out++ = '\n';
  return out;
}

// Why a block seeded nothing, for the one line that says so.
constexpr const char kLongLine[] = "the line is longer than 1023 characters";
constexpr const char kDamagedLine[] =
    "the line is not three unsigned decimal numbers separated by single blanks";
constexpr const char kNoEndMarker[] = "the stream ended before END_EXTENT_INFO";

// The lines of one block, in the order they are read.
class BlockLines {
 public:
  explicit BlockLines(ExtentMap& map) : map_(map) {}

  enum Verdict { kMore, kComplete, kCut };

  // A line without its line feed.
  Verdict Take(const char* line, std::size_t length) {
    ++lineNumber_;
    if (length >= kLineBufferSize) return Cut(kLongLine);
    if (length == 0) return kMore;
    if (length == sizeof kEndMarker - 1 && std::memcmp(line, kEndMarker, length) == 0) {
      return kComplete;
    }
    // A damaged line ends the block as cut short, rather than storing a
    // record made of whatever could be read from it.
    if (ReadRecord(line, line + length, '\0', extentNumber_, record_) == nullptr) {
      return Cut(kDamagedLine);
    }
    Store();
    return kMore;
  }

  // A record line at `line`, whole and with its line feed before `end`:
  // taken, with `begin` moved past it. False, with nothing taken, for any
  // other line or one cut by the end of what has been read.
  bool TakeRecord(const char* line, const char* end, std::size_t& begin) {
    const char* const p = ReadRecord(line, end, '\n', extentNumber_, record_);
    // Leading zeros can make a record too long for a line: that is the
    // other reader's to refuse.
    if (p == nullptr || p - line > static_cast<std::ptrdiff_t>(kLineBufferSize)) return false;
    ++lineNumber_;
    Store();
    begin += static_cast<std::size_t>(p - line);
    return true;
  }

  // The block ended at the line after the last one taken.
  bool Ended(const char* why) {
    ++lineNumber_;
    Cut(why);
    return false;
  }

  unsigned long long lastScanned() const { return lastScanned_; }
  // The line that cut the block, counting its start marker's as line 1:
  // the first line taken is the rest of the marker's own.
  unsigned long long lineNumber() const { return lineNumber_; }
  const char* why() const { return why_; }

 private:
  Verdict Cut(const char* why) {
    why_ = why;
    return kCut;
  }

  void Store() {
    map_.Assign(extentNumber_, record_);
    lastScanned_ = extentNumber_;
  }

  ExtentMap& map_;
  unsigned long long lineNumber_ = 0;
  const char* why_ = kNoEndMarker;
  unsigned long long extentNumber_ = 0;
  unsigned long long lastScanned_ = 0;
  AFileInfoInternal record_;
};

// Reads the block a chunk at a time and parses it in place: a line at a
// time through the stream costs more than the parsing. Leaves the stream
// just past the end marker's line, as a reader of lines would, by seeking
// back over what it read beyond.
bool ReadChunked(std::iostream& stream, BlockLines& lines) {
  std::unique_ptr<char[]> buffer(new char[kReadChunk]);
  std::size_t begin = 0;  // the unparsed bytes are [begin, end)
  std::size_t end = 0;
  bool streamEnded = false;
  for (;;) {
    const char* const start = buffer.get() + begin;
    // Nearly every line is a record: read it where it lies, and look for
    // the line's end only when that fails.
    if (lines.TakeRecord(start, buffer.get() + end, begin)) continue;
    const char* newline = static_cast<const char*>(std::memchr(start, '\n', end - begin));
    if (newline == nullptr) {
      // A line too long for a reader of 1023-character lines cuts the block.
      if (end - begin >= kLineBufferSize) return lines.Ended(kLongLine);
      if (!streamEnded) {
        std::memmove(buffer.get(), start, end - begin);
        end -= begin;
        begin = 0;
        stream.read(buffer.get() + end, static_cast<std::streamsize>(kReadChunk - end));
        const std::size_t got = static_cast<std::size_t>(stream.gcount());
        end += got;
        streamEnded = got == 0 || !stream.good();
        continue;
      }
      if (begin == end) return lines.Ended(kNoEndMarker);
      newline = buffer.get() + end;  // a last line without its line feed
    }
    const std::size_t length = static_cast<std::size_t>(newline - start);
    begin += length + (newline < buffer.get() + end ? 1 : 0);
    const BlockLines::Verdict verdict = lines.Take(start, length);
    if (verdict == BlockLines::kCut) return false;
    if (verdict == BlockLines::kComplete) {
      stream.clear();
      if (begin < end) stream.seekg(-static_cast<std::streamoff>(end - begin), std::ios::cur);
      return true;
    }
  }
}

// A stream that cannot seek back (a pipe) is read a line at a time, so that
// nothing past the end marker's line is taken from it: a caller may keep
// the next item's block behind this one.
bool ReadLineByLine(std::iostream& stream, BlockLines& lines) {
  char line[kLineBufferSize];
  while (stream.good()) {
    stream.getline(line, sizeof line);
    // The stream ended, or a line longer than 1023 characters cut the block.
    if (stream.fail()) {
      return lines.Ended(stream.eof() || stream.gcount() == 0 ? kNoEndMarker : kLongLine);
    }
    const BlockLines::Verdict verdict = lines.Take(line, std::strlen(line));
    if (verdict != BlockLines::kMore) return verdict == BlockLines::kComplete;
  }
  return lines.Ended(kNoEndMarker);
}

}  // namespace

void ExtentBrowseImpl::State::LoadExtentInfo(const LogSite& site) {
  std::iostream& stream = *cacheStream;
  PlainStreamScope plain(stream);
  // The block begins at its marker, past any blanks before it, so that a
  // later save writes over the block and not over the caller's line break.
  stream >> std::ws;
  if (stream.eof()) stream.clear();  // nothing here yet: a block goes at the end
  cacheStartPos = stream.tellg();
  const bool canSeekBack = cacheStartPos != std::streampos(-1);
  // A later save to another stream puts its block at the start, as for a
  // browser that read none.
  if (!canSeekBack) cacheStartPos = 0;
  std::string word;
  stream >> word;

  CSecWrapper guard(volumeCtxt.extentMapLock);
  if (word != kStartMarker) {
    stream.clear();
    return;
  }

  BlockLines lines(volumeCtxt.extentMap);
  const bool complete = canSeekBack ? ReadChunked(stream, lines) : ReadLineByLine(stream, lines);
  stream.clear();
  if (complete) {
    cacheComplete = true;
  } else {
    // Strict as the reader is, a block it drops must not go unnoticed: the
    // browser then browses everything the block held.
    EB_LOG_AT(site, -1, "The extent info block was ignored at its line %llu: %s.",
              lines.lineNumber(), lines.why());
    if (canSeekBack) stream.seekg(cacheStartPos);
  }
  stream.clear();
  converter->ExtentNumToName(lines.lastScanned(), volumeCtxt.lastItemName);
}

bool ExtentBrowseImpl::SaveExtentInfo(std::iostream* stream) try {
  const std::streampos cacheStartPos = state->cacheStartPos;
  VolumeCtxt& volumeCtxt = state->volumeCtxt;
  if (stream == nullptr) stream = state->cacheStream;
  if (stream == nullptr) return false;

  CSecWrapper guard(volumeCtxt.extentMapLock);
  if (!stream->good()) {
    EB_LOG(-1, "iostream is not good.");
    return false;
  }

  bool written = false;
  {
    PlainStreamScope plain(*stream);
    // A stream that cannot seek (a pipe) has no place to go back to: the
    // block goes where the stream stands. Any other goes where the block
    // read at construction began, or to its start.
    if (stream->tellg() != std::streampos(-1)) stream->seekg(cacheStartPos);
    *stream << kStartMarker << std::endl;
    // Formatted here rather than by the stream, so that the caller's
    // locale and number flags cannot change what a reader will see.
    std::string chunk;
    chunk.reserve(kWriteChunk + kLongestRecordLine);
    char lineBuffer[kLongestRecordLine];
    volumeCtxt.extentMap.ForEach(
        [&](unsigned long long extentNumber, const AFileInfoInternal& record) {
          chunk.append(lineBuffer, WriteRecordLine(lineBuffer, extentNumber, record));
          if (chunk.size() >= kWriteChunk) {
            stream->write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            chunk.clear();
          }
        });
    stream->write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    *stream << kEndMarker << std::endl;
    written = !stream->fail();
  }
  if (!written) EB_LOG(-1, "Writing the extent info block to the iostream failed.");
  return written;
} catch (...) {
  EB_LOG_NOTHROW(-1, "Writing the extent info block failed: %s", ThrownText());
  return false;
}
