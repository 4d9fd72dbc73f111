// The calls a browser is asked: drawn at random, made, told and counted.
#include <algorithm>
#include <charconv>
#include <sstream>

#include "extentbrowse/ExtentBrowseImpl.h"
#include "harness/Harness.h"

namespace harness {

namespace {

// A saved block's records: three unsigned decimals a line between single
// blanks, ascending, and nothing after the end marker.
bool ReadBlock(const std::string& block, std::vector<ebindex::Entry>& records) {
  const std::string start = "START_EXTENT_INFO\n", end = "END_EXTENT_INFO\n";
  if (block.compare(0, start.size(), start) != 0 || block.size() < start.size() + end.size() ||
      block.compare(block.size() - end.size(), end.size(), end) != 0) {
    return false;
  }
  const char* const stop = block.data() + block.size() - end.size();
  for (const char* at = block.data() + start.size(); at < stop;) {
    ebindex::Entry record;
    for (unsigned long long* field : {&record.extent, &record.afileId, &record.afileValue}) {
      const std::from_chars_result read = std::from_chars(at, stop, *field);
      if (read.ec != std::errc() || *read.ptr != (field == &record.afileValue ? '\n' : ' ')) {
        return false;
      }
      at = read.ptr + 1;
    }
    if (!records.empty() && record.extent <= records.back().extent) return false;
    records.push_back(record);
  }
  return true;
}

const char* ResultName(int result) {
  static const char* const kNames[] = {"found", "not-found", "browse-failed"};
  return result >= EB_EXTENT_FOUND && result <= EB_BROWSE_FAILED ? kNames[result] : "unknown";
}

}  // namespace

const char* const kCallNames[] = {"GetAFInfo", "IsExtentEmpty", "enumeration", "SaveExtentInfo",
                                  "arm"};

Call DrawCall(const Item& item, unsigned long long pageSize, const CallMix& mix, Random& random) {
  Call call;
  call.extent = PickExtent(item, random);
  call.kind =
      static_cast<Call::Kind>(std::discrete_distribution<int>(mix.begin(), mix.end())(random));
  if (call.kind == Call::kArm) call.fault = DrawFault(random);
  if (call.kind != Call::kLookup || random() % 4 != 0) return call;
  // A lookup through an extent range: mostly one that holds the extent,
  // else from 0, past it, ending before it, or anywhere.
  const unsigned int where = random() % 10;
  const unsigned long long n = call.extent;
  call.rangeStart = where < 6   ? n - std::min(n, random() % pageSize)
                    : where < 7 ? 0
                    : where < 8 ? n + 1 + random() % 100
                    : where < 9 ? n - std::min(n, pageSize + random() % 100)
                                : PickExtent(item, random);
  return call;
}

Answer Perform(ExtentBrowse& browser, const Call& call) {
  Answer answer;
  const unsigned long long n = call.extent;
  if (call.kind == Call::kLookup) {
    answer.result = call.rangeStart == kNoRange
                        ? browser.GetAFInfo(n, answer.afileId, answer.afileValue)
                        : browser.GetAFInfo(n, answer.afileId, answer.afileValue, call.rangeStart);
  }
  if (call.kind == Call::kEmpty || answer.result == EB_EXTENT_FOUND) {
    answer.empty = browser.IsExtentEmpty(static_cast<unsigned long>(n));
  }
  if (call.kind == Call::kEnumerate) {
    void* handle = browser.OpenEnum();
    answer.opened = handle != nullptr;
    unsigned long long number = 0;
    bool empty = false;
    // A listing that never ends is as wrong as a short one: stop past any item.
    while (handle != nullptr && answer.listing.size() <= (1u << 20) &&
           browser.EnumExtent(handle, number, empty)) {
      answer.listing.emplace_back(number, empty);
    }
    if (handle != nullptr) browser.CloseEnum(handle);
  }
  if (call.kind == Call::kSave) {
    std::stringstream stream;
    answer.written = browser.GetImpl()->SaveExtentInfo(&stream);
    answer.block = stream.str();
    answer.readBack = ReadBlock(answer.block, answer.records.extents);
  }
  return answer;
}

std::string Describe(const Call& call, const Answer& answer) {
  const std::string n = std::to_string(call.extent);
  const std::string empty = "IsExtentEmpty(" + n + ") -> " + (answer.empty ? "true" : "false");
  if (call.kind == Call::kArm) return "arm: " + call.fault.describe();
  if (call.kind == Call::kEmpty) return empty;
  if (call.kind == Call::kSave) {
    return "SaveExtentInfo -> " + (answer.written
                                       ? std::to_string(answer.records.extents.size()) + " records"
                                       : std::string("false"));
  }
  if (call.kind == Call::kEnumerate) {
    if (!answer.opened) return "OpenEnum -> null";
    std::string text = "enumeration -> " + std::to_string(answer.listing.size()) + " extents:";
    for (std::size_t i = 0; i < answer.listing.size() && i < 12; ++i) {
      text += " " + std::to_string(answer.listing[i].first) + (answer.listing[i].second ? "e" : "");
    }
    return text + (answer.listing.size() > 12 ? " ..." : "");
  }
  std::string text = "GetAFInfo(" + n +
                     (call.rangeStart == kNoRange ? "" : ", " + std::to_string(call.rangeStart)) +
                     ") -> " + ResultName(answer.result);
  if (answer.result == EB_EXTENT_FOUND || answer.afileId != kUntouched ||
      answer.afileValue != kUntouched) {
    text += " " + std::to_string(answer.afileId) + " " + std::to_string(answer.afileValue);
  }
  return answer.result == EB_EXTENT_FOUND ? text + "; " + empty : text;
}

void Count(const Call& call, const Answer& answer, Tally& tally) {
  if (call.kind == Call::kLookup) ++tally[ResultName(answer.result)];
  if (call.kind == Call::kEmpty || answer.result == EB_EXTENT_FOUND) {
    ++tally[answer.empty ? "empty" : "not empty"];
  }
  if (call.kind == Call::kEnumerate) ++tally[answer.opened ? "enumerations" : "null enumerations"];
  if (call.kind == Call::kSave) ++tally["saves"];
  if (call.kind == Call::kArm) ++tally["faults armed"];
}

std::string TallyText(const Tally& tally) {
  std::string text;
  for (const auto& count : tally) {
    text += (text.empty() ? "" : ", ") + std::to_string(count.second) + " " + count.first;
  }
  return text;
}

}  // namespace harness
