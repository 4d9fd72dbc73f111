#include "CacheContent.h"

#include <xxhash.h>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <new>

#include "FileLines.h"

namespace {

constexpr char kStartMarker[] = "START_EXTENT_INFO";
constexpr char kEndMarker[] = "END_EXTENT_INFO";
constexpr char kEmptyPrefix[] = "# empty extents";
constexpr char kDigestPrefix[] = "# records digest ";
constexpr std::size_t kDigestLength = 16;
// The library reads lines of at most 1023 characters; a longer one cuts
// its block short.
constexpr std::size_t kLongestBlockLine = 1023;
// The tool's own lines name a catalogue path, which a catalogue line of at
// most 64 KiB holds, and a backup set GUID written as JSON; a longer line
// is none of ours.
constexpr std::size_t kLongestOwnLine = 1 << 20;
// The empty extents are written over as many lines as they need, each of
// about this length, so that no line of ours grows with the cache.
constexpr std::size_t kEmptyLineLength = 4000;

struct CacheRecord {
  unsigned long long extent = 0;
  unsigned long long afileId = 0;
  unsigned long long afileValue = 0;
};

// What one reading of a file found, so that a second reading can tell
// whether the file changed in between.
struct Counts {
  std::size_t records = 0;      // record lines of the block
  std::size_t emptyRanges = 0;  // extents and runs of the empty-extents lines
};

// Reads one unsigned 64-bit decimal at `at` of [at, end); false for none,
// or one past 64 bits.
bool ReadNumber(const char*& at, const char* end, unsigned long long& value) {
  if (at == end || *at < '0' || *at > '9') return false;
  const std::from_chars_result read = std::from_chars(at, end, value);
  if (read.ec != std::errc()) return false;
  at = read.ptr;
  return true;
}

// A record line as the library reads one: three unsigned 64-bit decimals
// separated by single blanks, nothing else.
bool ParseRecordLine(const char* at, const char* end, CacheRecord& record) {
  unsigned long long* const fields[] = {&record.extent, &record.afileId, &record.afileValue};
  for (int field = 0; field < 3; ++field) {
    if (!ReadNumber(at, end, *fields[field])) return false;
    if (field < 2 && (at == end || *at++ != ' ')) return false;
  }
  return at == end;
}

// "# empty extents 7 12-15": its extents and runs counted, and kept in
// `ranges` when given; false for any other line.
bool ParseEmptyLine(const std::string& line, ExtentRanges* ranges, std::size_t& count) {
  if (line.rfind(kEmptyPrefix, 0) != 0) return false;
  const char* at = line.data() + sizeof kEmptyPrefix - 1;
  const char* const end = line.data() + line.size();
  while (at != end) {
    unsigned long long first = 0;
    unsigned long long last = 0;
    if (*at++ != ' ' || !ReadNumber(at, end, first)) return false;
    last = first;
    if (at != end && *at == '-' && (!ReadNumber(++at, end, last) || last < first)) return false;
    if (ranges != nullptr) ranges->emplace_back(first, last);
    ++count;
  }
  return true;
}

std::string HexOf(XXH64_hash_t hash) {
  char text[kDigestLength + 1];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

// XXH3-64 of what the records say, the empty-extents lines and the block,
// taken a line at a time as they are read. The block has no checksum of its
// own; this catches a record or a flag changed in place after the tool
// wrote it, which would otherwise be an answer from nowhere.
class RecordsDigest {
 public:
  RecordsDigest() : state_(XXH3_createState()) {
    if (state_ == nullptr) throw std::bad_alloc();
    XXH3_64bits_reset(state_);
  }
  ~RecordsDigest() { XXH3_freeState(state_); }
  RecordsDigest(const RecordsDigest&) = delete;
  RecordsDigest& operator=(const RecordsDigest&) = delete;

  void Add(const std::string& line, bool lineFeed) {
    XXH3_64bits_update(state_, line.data(), line.size());
    if (lineFeed) XXH3_64bits_update(state_, "\n", 1);
  }
  std::string Text() const { return HexOf(XXH3_64bits_digest(state_)); }

 private:
  XXH3_state_t* state_;
};

// "# records digest 0123456789abcdef" into its digits; false for any other line.
bool ParseDigestLine(const std::string& line, std::string& digest) {
  if (line.rfind(kDigestPrefix, 0) != 0) return false;
  digest = line.substr(sizeof kDigestPrefix - 1);
  return digest.size() == kDigestLength &&
         digest.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::string LineIsNot(std::size_t number, const char* what) {
  return "line " + std::to_string(number) + " is not " + what;
}

// One reading of the file. With `collect` it keeps the block and the empty
// extents, and `most` (the first reading's counts) bounds what it keeps: a
// file that grew in between is judged changed rather than held whole.
class CacheScan {
 public:
  CacheScan(int fd, CacheContent& content, const Counts* most)
      : in_(fd), content_(content), most_(most) {}

  // False, with `readError`, when a read fails; otherwise `content` holds
  // the verdict.
  bool Run(Counts& counts, int& readError) {
    content_ = CacheContent();
    Judge();
    counts = counts_;
    readError = in_.error();
    return readError == 0;
  }

 private:
  void Damaged(const std::string& damage) {
    content_.kind = CacheKind::kDamaged;
    content_.damage = damage;
  }
  bool Failed() const { return in_.error() != 0; }
  bool Beyond(std::size_t counted, std::size_t most) {
    if (most_ == nullptr || counted <= most) return false;
    Damaged("it changed while it was read");
    return true;
  }

  void Judge() {
    if (in_.Peek() == '#' && !ReadOwnLines()) return;
    if (!in_.SkipBlanks()) {
      if (Failed()) return;
      // Nothing to lose: an empty file (say, one just made by touch) is an
      // empty cache. Our lines without a block are a torn save.
      if (content_.hasItemLine) Damaged("it holds no extent-info block");
      return;
    }
    ReadBlock();
  }

  // The item line and the tool's lines after it: false, with the verdict,
  // for a first line that is not ours or a later line we did not write.
  bool ReadOwnLines() {
    std::string line;
    if (in_.Next(line, kLongestOwnLine) != FileLines::Read::kLine ||
        !ParseItemLine(line, content_.owner)) {
      if (!Failed()) content_.kind = CacheKind::kNotACache;
      return false;
    }
    content_.hasItemLine = true;
    for (bool first = true; in_.Peek() == '#'; first = false) {
      const std::size_t number = in_.lineNumber();
      const FileLines::Read read = in_.Next(line, kLongestOwnLine);
      if (read == FileLines::Read::kError) return false;
      const bool binding = first && IsBindingLine(line);
      const bool digest = line.rfind(kDigestPrefix, 0) == 0 && writtenDigest_.empty();
      ExtentRanges* const ranges = most_ != nullptr ? &content_.emptyExtents : nullptr;
      if (read == FileLines::Read::kTooLong ||
          (binding  ? !ParseBindingLine(line, content_.owner)
           : digest ? !ParseDigestLine(line, writtenDigest_)
                    : !ParseEmptyLine(line, ranges, counts_.emptyRanges))) {
        Damaged(LineIsNot(number, binding ? "a binding line" : "one the tool writes"));
        return false;
      }
      if (!binding && !digest) digest_.Add(line, read == FileLines::Read::kLine);
      if (!binding && most_ != nullptr && Beyond(counts_.emptyRanges, most_->emptyRanges)) {
        return false;
      }
      content_.bound |= binding;
    }
    return !Failed();
  }

  // From the first word on, by the library's reading rules
  // (docs/cache-format.md), so that a block we call whole is one it uses.
  void ReadBlock() {
    std::string line;
    std::size_t number = in_.lineNumber();
    FileLines::Read read = in_.Next(line, kLongestBlockLine);
    constexpr std::size_t kMarker = sizeof kStartMarker - 1;
    if (read == FileLines::Read::kError) return;
    if (line.compare(0, kMarker, kStartMarker) != 0 ||
        (line.size() > kMarker && !IsBlank(line[kMarker]))) {
      content_.kind = CacheKind::kNotACache;
      return;
    }
    if (line.size() != kMarker) return Damaged(LineIsNot(number, "a record line"));
    digest_.Add(line, read == FileLines::Read::kLine);
    const bool collect = most_ != nullptr;
    if (collect) content_.block = std::string(kStartMarker) + "\n";
    CacheRecord record;
    while (read == FileLines::Read::kLine) {
      number = in_.lineNumber();
      read = in_.Next(line, kLongestBlockLine);
      if (read == FileLines::Read::kError) return;
      if (read == FileLines::Read::kTooLong) {
        return Damaged("line " + std::to_string(number) +
                       " is longer than the 1023 characters the library reads");
      }
      if (read == FileLines::Read::kEnd) break;
      digest_.Add(line, read == FileLines::Read::kLine);
      if (line == kEndMarker) return EndBlock();
      if (line.empty()) continue;
      if (!ParseRecordLine(line.data(), line.data() + line.size(), record)) {
        return Damaged(LineIsNot(number, "a record line"));
      }
      ++counts_.records;
      if (most_ != nullptr && Beyond(counts_.records, most_->records)) return;
      if (collect) content_.block.append(line).push_back('\n');
    }
    Damaged("it has no " + std::string(kEndMarker) + " line");
  }

  // Whatever follows the end marker's line the library never reads: an
  // in-place save of a shorter block leaves the old one's tail there.
  void EndBlock() {
    // Each extent or run the tool lists is of at least one record.
    if (counts_.emptyRanges > counts_.records) {
      return Damaged("its empty-extents lines list more extents than its block holds");
    }
    if (!writtenDigest_.empty() && digest_.Text() != writtenDigest_) {
      return Damaged("its records changed after the tool wrote them: their digest is " +
                     digest_.Text() + ", not " + writtenDigest_);
    }
    content_.kind = CacheKind::kCache;
    if (most_ == nullptr) return;
    content_.block.append(kEndMarker).push_back('\n');
    std::sort(content_.emptyExtents.begin(), content_.emptyExtents.end());
  }

  FileLines in_;
  CacheContent& content_;
  const Counts* most_;
  Counts counts_;
  std::string writtenDigest_;  // what the file's digest line says, if it has one
  RecordsDigest digest_;
};

void AppendNumber(std::string& text, unsigned long long value) {
  char digits[24];
  text.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

}  // namespace

bool InRanges(const ExtentRanges& ranges, unsigned long long extent) {
  const auto after = std::upper_bound(ranges.begin(), ranges.end(), std::make_pair(extent, ~0ull));
  return after != ranges.begin() && std::prev(after)->second >= extent;
}

bool ReadCacheContent(int fd, CacheContent& content, int& readError) {
  // Judged first without keeping anything, so that only a whole block is
  // ever held; then read again for what it gives.
  Counts first;
  if (!CacheScan(fd, content, nullptr).Run(first, readError)) return false;
  if (content.kind != CacheKind::kCache) return true;
  Counts second;
  if (!CacheScan(fd, content, &first).Run(second, readError)) return false;
  if (content.kind == CacheKind::kCache &&
      (second.records != first.records || second.emptyRanges != first.emptyRanges)) {
    content.kind = CacheKind::kDamaged;
    content.damage = "it changed while it was read";
  }
  return true;
}

std::vector<unsigned long long> ExtentsOf(const std::string& block) {
  std::vector<unsigned long long> extents;
  std::size_t at = block.find('\n');
  CacheRecord record;
  while (at != std::string::npos && ++at < block.size()) {
    std::size_t end = block.find('\n', at);
    if (end == std::string::npos) end = block.size();
    if (block.compare(at, end - at, kEndMarker) == 0) break;
    if (ParseRecordLine(&block[at], &block[0] + end, record)) extents.push_back(record.extent);
    at = end;
  }
  return extents;
}

std::string RecordLinesOf(const std::string& block) {
  const std::size_t first = block.find('\n');
  if (first == std::string::npos) return std::string();
  // The first end marker's line ends the block, whatever follows it.
  const std::size_t end = block.find(std::string("\n") + kEndMarker, first);
  if (end == std::string::npos) return std::string();
  return block.substr(first + 1, end - first);
}

std::string ComposeCache(const CacheBinding& binding, const std::string& block,
                         const ExtentRanges& emptyExtents) {
  std::string text;
  std::size_t lineStart = std::string::npos;
  for (const auto& range : emptyExtents) {
    if (lineStart == std::string::npos || text.size() - lineStart > kEmptyLineLength) {
      if (lineStart != std::string::npos) text += '\n';
      lineStart = text.size();
      text += kEmptyPrefix;
    }
    text += ' ';
    AppendNumber(text, range.first);
    if (range.second == range.first) continue;
    text += '-';
    AppendNumber(text, range.second);
  }
  if (lineStart != std::string::npos) text += '\n';
  const std::string records = text + block;
  return ItemLine(binding) + BindingLine(binding) + text + kDigestPrefix +
         HexOf(XXH3_64bits(records.data(), records.size())) + "\n" + block;
}
