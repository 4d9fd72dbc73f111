#include "CacheContent.h"

#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <charconv>

namespace {

constexpr char kStartMarker[] = "START_EXTENT_INFO";
constexpr char kEndMarker[] = "END_EXTENT_INFO";
constexpr char kEmptyPrefix[] = "# empty extents";
// The library reads lines of at most 1023 characters; a longer one cuts
// its block short.
constexpr std::size_t kLongestBlockLine = 1023;
constexpr std::size_t kReadChunk = 64 * 1024;
// Longer than any item line we write for a sane path; a longer first line
// is not ours.
constexpr std::size_t kLongestItemLine = 8192;

struct CacheRecord {
  unsigned long long extent = 0;
  unsigned long long afileId = 0;
  unsigned long long afileValue = 0;
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Reads a file a chunk at a time, only as far as a decision needs: a large
// file that is not a cache is judged by its first chunk.
class ChunkReader {
 public:
  explicit ChunkReader(int fd) : fd_(fd) {}

  // Reads until the text holds more than `size` bytes or the file ends.
  bool Want(std::size_t size) {
    while (!end_ && text_.size() <= size) {
      const std::size_t had = text_.size();
      text_.resize(had + kReadChunk);
      const ssize_t got = read(fd_, &text_[had], kReadChunk);
      text_.resize(had + (got > 0 ? static_cast<std::size_t>(got) : 0));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        error_ = errno;
        return false;
      }
      end_ = got == 0;
    }
    return true;
  }
  bool ReadAll() { return Want(static_cast<std::size_t>(-2)); }
  const std::string& text() const { return text_; }
  int error() const { return error_; }

 private:
  int fd_;
  std::string text_;
  bool end_ = false;
  int error_ = 0;
};

std::size_t LineAt(const std::string& text, std::size_t offset) {
  return 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + offset, '\n'));
}

std::string LineIsNot(const std::string& text, std::size_t offset, const char* what) {
  return "line " + std::to_string(LineAt(text, offset)) + " is not " + what;
}

// Reads one unsigned 64-bit decimal at `at` of [at, end); false for none,
// or one past 64 bits.
bool ReadNumber(const char*& at, const char* end, unsigned long long& value) {
  const std::from_chars_result read = std::from_chars(at, end, value);
  if (read.ec != std::errc() || *at < '0' || *at > '9') return false;
  at = read.ptr;
  return true;
}

// A record line as the library reads one: three unsigned 64-bit decimals
// separated by single blanks, nothing else.
bool ParseRecordLine(const char* at, const char* end, CacheRecord& record) {
  unsigned long long* const fields[] = {&record.extent, &record.afileId, &record.afileValue};
  for (int field = 0; field < 3; ++field) {
    if (at == end || !ReadNumber(at, end, *fields[field])) return false;
    if (field < 2 && (at == end || *at++ != ' ')) return false;
  }
  return at == end;
}

// Whether the block at `start` of `text` would seed a browser: empty when
// it would, else what is wrong with it. The rules are the library's reader's
// (docs/cache-format.md), so that a block we call whole is one it uses.
std::string DamageOf(const std::string& text, std::size_t start) {
  std::size_t at = text.find('\n', start);
  if (at == std::string::npos) return "it has no " + std::string(kEndMarker) + " line";
  if (at != start + sizeof kStartMarker - 1) return LineIsNot(text, start, "a record line");
  CacheRecord record;
  for (++at; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    if (end - at > kLongestBlockLine) {
      return "line " + std::to_string(LineAt(text, at)) + " is longer than the 1023 characters " +
             "the library reads";
    }
    if (text.compare(at, end - at, kEndMarker) == 0) return std::string();
    if (end > at && !ParseRecordLine(&text[at], &text[0] + end, record)) {
      return LineIsNot(text, at, "a record line");
    }
    at = end + 1;
  }
  return "it has no " + std::string(kEndMarker) + " line";
}

// "# empty extents 7 12-15" into ranges; false for anything else.
bool ParseEmptyLine(const std::string& line, ExtentRanges& ranges) {
  if (line.rfind(kEmptyPrefix, 0) != 0) return false;
  const char* at = line.data() + sizeof kEmptyPrefix - 1;
  const char* const end = line.data() + line.size();
  while (at != end) {
    unsigned long long first = 0;
    unsigned long long last = 0;
    if (*at++ != ' ' || !ReadNumber(at, end, first)) return false;
    last = first;
    if (at != end && *at == '-' && (!ReadNumber(++at, end, last) || last < first)) return false;
    ranges.emplace_back(first, last);
  }
  std::sort(ranges.begin(), ranges.end());
  return true;
}

// The tool's lines between the item line and the block, from `at` on:
// false, with `damage`, for a line it did not write.
bool ReadOwnLines(const std::string& text, std::size_t& at, CacheContent& content) {
  for (bool first = true; at < text.size() && text[at] == '#'; first = false) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    const bool binding = first && IsBindingLine(line);
    if (binding ? !ParseBindingLine(line, content.owner)
                : !ParseEmptyLine(line, content.emptyExtents)) {
      content.damage = LineIsNot(text, at, binding ? "a binding line" : "one the tool writes");
      return false;
    }
    content.bound |= binding;
    at = end + 1;
  }
  return true;
}

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
  content = CacheContent();
  ChunkReader reader(fd);
  const std::string& text = reader.text();
  const auto failed = [&]() {
    readError = reader.error();
    return false;
  };
  if (!reader.Want(0)) return failed();
  std::size_t at = 0;
  if (!text.empty() && text[0] == '#') {
    if (!reader.Want(kLongestItemLine)) return failed();
    const std::size_t newline = text.find('\n');
    if (newline >= kLongestItemLine || !ParseItemLine(text.substr(0, newline), content.owner)) {
      content.kind = CacheKind::kNotACache;
      return true;
    }
    // Ours: read whole, however large.
    content.hasItemLine = true;
    if (!reader.ReadAll()) return failed();
    at = newline + 1;
    if (!ReadOwnLines(text, at, content)) {
      content.kind = CacheKind::kDamaged;
      return true;
    }
  }
  for (;; ++at) {
    if (at >= text.size() && !reader.Want(at)) return failed();
    if (at >= text.size() || !IsBlank(text[at])) break;
  }
  if (at >= text.size()) {
    // Nothing to lose: an empty file (say, one just made by touch) is an
    // empty cache. Our lines without a block are a torn save.
    content.kind = content.hasItemLine ? CacheKind::kDamaged : CacheKind::kEmpty;
    if (content.hasItemLine) content.damage = "it holds no extent-info block";
    return true;
  }
  if (!reader.Want(at + sizeof kStartMarker)) return failed();
  const std::size_t wordEnd = at + sizeof kStartMarker - 1;
  if (text.compare(at, sizeof kStartMarker - 1, kStartMarker) != 0 ||
      (wordEnd < text.size() && !IsBlank(text[wordEnd]))) {
    content.kind = CacheKind::kNotACache;
    return true;
  }
  if (!reader.ReadAll()) return failed();
  content.damage = DamageOf(text, at);
  content.kind = content.damage.empty() ? CacheKind::kCache : CacheKind::kDamaged;
  if (content.kind == CacheKind::kCache) content.block.assign(text, at, std::string::npos);
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
  const std::size_t end = block.rfind(kEndMarker);
  if (first == std::string::npos || end == std::string::npos || end <= first) return std::string();
  return block.substr(first + 1, end - first - 1);
}

std::string ComposeCache(const CacheBinding& binding, const std::string& block,
                         const ExtentRanges& emptyExtents) {
  std::string text = ItemLine(binding) + BindingLine(binding);
  if (!emptyExtents.empty()) {
    text += kEmptyPrefix;
    for (const auto& range : emptyExtents) {
      text += ' ';
      AppendNumber(text, range.first);
      if (range.second == range.first) continue;
      text += '-';
      AppendNumber(text, range.second);
    }
    text += '\n';
  }
  return text + block;
}
