#include "CacheBinding.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include <xxhash.h>
#include <nlohmann/json.hpp>

#include "Messages.h"
#include "ebindex/Catalogue.h"

namespace {

constexpr char kItemPrefix[] = "# extent-browse cache for application type ";
constexpr char kItemMiddle[] = ", item ";
constexpr char kBindingPrefix[] = "# bound to name length ";
constexpr char kPrecedence[] = ", copy precedence ";
constexpr char kDigest[] = ", entries digest ";
constexpr char kGuid[] = ", backup set GUID ";
constexpr std::size_t kDigestLength = 16;

std::string DigestOf(const std::vector<ebindex::Entry>* entries) {
  XXH3_state_t* state = XXH3_createState();
  if (state == nullptr) throw std::bad_alloc();
  XXH3_64bits_reset(state);
  if (entries != nullptr) {
    char line[128];
    for (const ebindex::Entry& entry : *entries) {
      // Every field an answer is made of, the name included: it decides
      // which page an extent is on.
      const int length = std::snprintf(line, sizeof line, "%llu\t%llu\t%llu\t%d\t", entry.extent,
                                       entry.afileId, entry.afileValue, entry.empty ? 1 : 0);
      XXH3_64bits_update(state, line, static_cast<std::size_t>(length));
      XXH3_64bits_update(state, entry.name.data(), entry.name.size());
      XXH3_64bits_update(state, "\n", 1);
    }
  }
  const XXH64_hash_t digest = XXH3_64bits_digest(state);
  XXH3_freeState(state);
  char text[kDigestLength + 1];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(digest));
  return text;
}

std::string QuotedGuid(const std::string& guid) {
  return nlohmann::json(guid).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Reads a decimal number of at most `most` from `text` at `at`, up to the
// literal `next`, and moves past both.
bool ReadNumber(const std::string& text, std::size_t& at, const char* next, long long least,
                long long most, long long& value) {
  const std::size_t end = text.find(next, at);
  if (end == std::string::npos || end == at || end - at > 11) return false;
  const std::string digits = text.substr(at, end - at);
  if (digits.find_first_not_of("-0123456789") != std::string::npos) return false;
  errno = 0;
  char* stop = nullptr;
  value = std::strtoll(digits.c_str(), &stop, 10);
  if (errno != 0 || *stop != '\0' || value < least || value > most) return false;
  at = end + std::string(next).size();
  return true;
}

}  // namespace

CacheBinding BindingOf(const ebindex::Catalogue& catalogue, const std::string& path, int appType,
                       int nameLength, unsigned int copyPrecedence,
                       const std::string& backupSetGuid) {
  CacheBinding binding;
  binding.path = catalogue.storedPath(path);
  binding.appType = appType;
  binding.nameLength = nameLength;
  binding.copyPrecedence = copyPrecedence;
  binding.entriesDigest = DigestOf(catalogue.find(path));
  binding.backupSetGuid = QuotedGuid(backupSetGuid);
  return binding;
}

std::string CacheFileMark() { return kItemPrefix; }

std::string ItemLine(const CacheBinding& binding) {
  return kItemPrefix + std::to_string(binding.appType) + kItemMiddle + binding.path + "\n";
}

std::string BindingLine(const CacheBinding& binding) {
  return kBindingPrefix + std::to_string(binding.nameLength) + kPrecedence +
         std::to_string(binding.copyPrecedence) + kDigest + binding.entriesDigest + kGuid +
         binding.backupSetGuid + "\n";
}

bool ParseItemLine(const std::string& line, CacheBinding& binding) {
  if (line.rfind(kItemPrefix, 0) != 0) return false;
  std::size_t at = sizeof kItemPrefix - 1;
  long long appType = 0;
  if (!ReadNumber(line, at, kItemMiddle, INT32_MIN, INT32_MAX, appType)) return false;
  binding.appType = static_cast<int>(appType);
  binding.path = line.substr(at);
  return !binding.path.empty();
}

bool IsBindingLine(const std::string& line) { return line.rfind(kBindingPrefix, 0) == 0; }

bool ParseBindingLine(const std::string& line, CacheBinding& binding) {
  if (!IsBindingLine(line)) return false;
  std::size_t at = sizeof kBindingPrefix - 1;
  long long nameLength = 0;
  long long precedence = 0;
  if (!ReadNumber(line, at, kPrecedence, 0, INT32_MAX, nameLength) ||
      !ReadNumber(line, at, kDigest, 0, UINT32_MAX, precedence)) {
    return false;
  }
  const std::string digest = line.substr(at, kDigestLength);
  if (digest.size() != kDigestLength ||
      digest.find_first_not_of("0123456789abcdef") != std::string::npos ||
      line.compare(at + kDigestLength, sizeof kGuid - 1, kGuid) != 0) {
    return false;
  }
  const std::string guid = line.substr(at + kDigestLength + sizeof kGuid - 1);
  const nlohmann::json parsed = nlohmann::json::parse(guid, nullptr, false);
  if (!parsed.is_string() || QuotedGuid(parsed.get<std::string>()) != guid) return false;
  binding.nameLength = static_cast<int>(nameLength);
  binding.copyPrecedence = static_cast<unsigned int>(precedence);
  binding.entriesDigest = digest;
  binding.backupSetGuid = guid;
  return true;
}

bool SameItem(const CacheBinding& a, const CacheBinding& b) {
  return a.appType == b.appType &&
         ebindex::Catalogue::normalisePath(a.path) == ebindex::Catalogue::normalisePath(b.path);
}

std::string DescribeItem(const CacheBinding& binding) {
  return Echo(binding.path) + " (application type " + std::to_string(binding.appType) + ")";
}

std::string BindingDifferences(const CacheBinding& found, const CacheBinding& wanted) {
  const struct {
    const char* what;
    std::string found, wanted;
  } fields[] = {
      // A wrong name length changes every default name, and so the digest:
      // the cause comes first.
      {"name length", std::to_string(found.nameLength), std::to_string(wanted.nameLength)},
      {"copy precedence", std::to_string(found.copyPrecedence),
       std::to_string(wanted.copyPrecedence)},
      {"backup set GUID", Echo(found.backupSetGuid), Echo(wanted.backupSetGuid)},
      {"entries digest", found.entriesDigest, wanted.entriesDigest},
  };
  std::string differences;
  for (const auto& field : fields) {
    if (field.found == field.wanted) continue;
    differences += (differences.empty() ? "its " : "; its ") + std::string(field.what) + " is " +
                   field.found + ", not " + field.wanted;
  }
  return differences;
}
