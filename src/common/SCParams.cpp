#include "extentbrowse/SCParams.h"

#include <tuple>

SCParams_Hash_Value scphash;

namespace {

auto fieldsOf(const SCParams& p) {
  return std::tie(p.sourceClientId, p.appType, p.bkpSetId, p.AppId, p.appInstance, p.totime,
                  p.fromtime);
}

}  // namespace

bool SCParams::operator==(const SCParams& other) const {
  return fieldsOf(*this) == fieldsOf(other);
}

bool SCParams::operator<(const SCParams& rhs) const {
  const unsigned long long mine = scphash(*this);
  const unsigned long long theirs = scphash(rhs);
  if (mine != theirs) return mine < theirs;
  return fieldsOf(*this) < fieldsOf(rhs);
}

bool SCParams_Compare::operator()(const SCParams& a, const SCParams& b) const { return b == a; }

unsigned long long SCParams_Hash_Value::operator()(const SCParams& p) const {
  // Sign extension of the 32-bit fields is part of the hash's definition.
  const auto widen = [](int value) {
    return static_cast<unsigned long long>(static_cast<long long>(value));
  };
  return p.sourceClientId ^ widen(p.appType) ^ p.bkpSetId ^ widen(p.AppId) ^ p.appInstance ^
         static_cast<unsigned long long>(p.totime) ^ static_cast<unsigned long long>(p.fromtime);
}
