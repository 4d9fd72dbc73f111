// Judging each answer against the catalogue. The only allowances are the
// index's own: a fault that reached the browser may fail it, and an answer
// that says extents are absent may be believed.
#include "harness/Harness.h"

namespace harness {

namespace {

bool Holds(const std::set<unsigned long long>& set, unsigned long long n) {
  return set.count(n) != 0;
}

std::string JudgeEmpty(const ebindex::Entry* expected, bool answer, bool flagKnown) {
  if (answer && (expected == nullptr || !expected->empty)) {
    return "IsExtentEmpty true for an extent that is not empty";
  }
  if (!answer && expected != nullptr && expected->empty && flagKnown) {
    return "IsExtentEmpty false for an empty extent a browse brought";
  }
  return "";
}

std::string JudgeLookup(const Item& item, const Call& call, const Answer& answer,
                        const Standing& standing) {
  const unsigned long long n = call.extent;
  const ebindex::Entry* expected = item.find(n);
  // Records are never dropped: one the map holds answers whatever failed.
  if (answer.result != EB_EXTENT_FOUND && (Holds(standing.seeded, n) || Holds(standing.brought, n)))
    return "GetAFInfo did not find an extent its map holds";
  if (answer.result == EB_EXTENT_FOUND) {
    if (expected == nullptr) return "GetAFInfo found an absent extent";
    if (answer.afileId != expected->afileId || answer.afileValue != expected->afileValue) {
      return "GetAFInfo found wrong archive-file values";
    }
    // A record from the seed block carries no flag until a browse brings it.
    return JudgeEmpty(expected, answer.empty,
                      !Holds(standing.seeded, n) || Holds(standing.brought, n));
  }
  if (answer.afileId != kUntouched || answer.afileValue != kUntouched)
    return "GetAFInfo set its outputs without finding";
  if (answer.result == EB_EXTENT_NOT_FOUND) {
    return expected == nullptr || standing.absenceClaimed
               ? ""
               : "GetAFInfo not-found for a present extent";
  }
  if (answer.result != EB_BROWSE_FAILED) return "GetAFInfo gave an unknown result";
  const bool rangeHolds = call.rangeStart == kNoRange ||
                          (n >= call.rangeStart && n - call.rangeStart < standing.pageSize);
  return standing.mayFail || !rangeHolds ? "" : "GetAFInfo browse-failed without a fault";
}

// Unless a listing is whole, a record from the seed block may still carry
// no flag, and read false.
bool WholeListing(const Item& item, const Answer& answer, const Standing& standing) {
  return answer.listing.size() == item.extents.size() && !standing.absenceClaimed;
}

std::string JudgeListing(const Item& item, const Answer& answer, const Standing& standing) {
  if (!answer.opened) return standing.mayFail ? "" : "OpenEnum null without a fault";
  const bool whole = WholeListing(item, answer, standing);
  const auto& listed = answer.listing;
  for (std::size_t i = 0; i < listed.size(); ++i) {
    const unsigned long long n = listed[i].first;
    const ebindex::Entry* expected = item.find(n);
    if (i > 0 && n <= listed[i - 1].first) return "EnumExtent out of order or repeated";
    if (expected == nullptr) return "EnumExtent listed an absent extent";
    const bool unflagged = !whole && Holds(standing.seeded, n) && !Holds(standing.brought, n);
    if (listed[i].second != expected->empty && (listed[i].second || !unflagged)) {
      return "EnumExtent gave a wrong empty flag";
    }
  }
  return listed.size() == item.extents.size() || standing.absenceClaimed
             ? ""
             : "OpenEnum listed part of the item";
}

std::string JudgeBlock(const Item& item, const Answer& answer) {
  if (!answer.written) return "SaveExtentInfo gave false";
  if (!answer.readBack) return "SaveExtentInfo wrote no well-formed block";
  for (const ebindex::Entry& record : answer.records.extents) {
    const ebindex::Entry* expected = item.find(record.extent);
    if (expected == nullptr || expected->afileId != record.afileId ||
        expected->afileValue != record.afileValue) {
      return "SaveExtentInfo saved a record the catalogue does not hold";
    }
  }
  return "";
}

// An item the index does not hold has no answers, only failures.
std::string JudgeMissingItem(const Call& call, const Answer& answer) {
  if (call.kind == Call::kLookup && answer.result != EB_BROWSE_FAILED) {
    return "GetAFInfo answered for an item the index does not hold";
  }
  if (call.kind == Call::kEnumerate && answer.opened) {
    return "OpenEnum opened on an item the index does not hold";
  }
  if (call.kind == Call::kEmpty && answer.empty) return "IsExtentEmpty true for no item";
  return call.kind == Call::kSave && answer.written && !answer.records.extents.empty()
             ? "SaveExtentInfo saved records of an item the index does not hold"
             : "";
}

}  // namespace

std::string Judge(const Item& item, const Call& call, const Answer& answer,
                  const Standing& standing) {
  if (standing.itemMissing) return JudgeMissingItem(call, answer);
  if (call.kind == Call::kLookup) return JudgeLookup(item, call, answer, standing);
  if (call.kind == Call::kEnumerate) return JudgeListing(item, answer, standing);
  if (call.kind == Call::kSave) return JudgeBlock(item, answer);
  if (call.kind != Call::kEmpty) return "";
  return JudgeEmpty(item.find(call.extent), answer.empty, Holds(standing.brought, call.extent));
}

void Learn(const Item& item, const Call& call, const Answer& answer, Standing& standing) {
  if (call.kind == Call::kLookup && answer.result == EB_EXTENT_FOUND &&
      !Holds(standing.seeded, call.extent)) {
    standing.brought.insert(call.extent);
  }
  const bool whole = call.kind == Call::kEnumerate && WholeListing(item, answer, standing);
  for (const auto& listed : answer.listing) {
    if (whole || !Holds(standing.seeded, listed.first)) standing.brought.insert(listed.first);
  }
}

}  // namespace harness
