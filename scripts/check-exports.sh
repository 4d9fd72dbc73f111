#!/usr/bin/env bash
# Checks the dynamic symbol table of libextentbrowse: every name of the
# library's external interface is exported, and nothing internal is.
set -euo pipefail
lib=${1:?usage: check-exports.sh path/to/libextentbrowse.so}

# Defined, exported symbols, demangled; the library's own, not instantiations
# of standard or Boost templates. A function template's instantiation is
# demangled with its return type first ("void std::__detail::...").
exported=$(nm -D --defined-only -C "$lib" | sed -E 's/^[0-9a-f]+ [A-Za-z] //' |
           grep -vE '^([^(]* )?(std::|boost::|__gnu_cxx::|(typeinfo|typeinfo name|vtable|VTT|guard variable) for (std|boost|__gnu_cxx)::)' |
           grep -vE '^(_init|_fini|_edata|_end|__bss_start|__odr_asan\..*)$' || true)

status=0
require() {
  if ! grep -qF -- "$1" <<<"$exported"; then
    echo "missing export: $1" >&2
    status=1
  fi
}

required=(
  "ExtentBrowse::ExtentBrowse("
  "ExtentBrowse::~ExtentBrowse()"
  "ExtentBrowse::GetAFInfo("
  "ExtentBrowse::IsExtentEmpty("
  "ExtentBrowse::OpenEnum()"
  "ExtentBrowse::EnumExtent("
  "ExtentBrowse::CloseEnum("
  "ExtentBrowse::GetLatestErrorInfo("
  "ExtentBrowse::SetBackupSetGuid("
  "SetLocalClientName("
  "gEBLocalClientName"
  "ExtentBrowseImpl::SaveExtentInfo("
  "SCParams::operator<("
  "SCParams::operator==("
  "SCParams_Compare::operator()"
  "SCParams_Hash_Value::operator()"
  "scphash"
  "InitializeEBPerfCounters()"
  "LogEBPerfcounters()"
  "gEbCounters"
  "gEbPerfCounter"
  "gInitLock"
  "isInitialized"
  "numBrowseRequests"
  "PrintBucket("
  "operator<(std::"
  "operator<=(std::"
  "operator>(std::"
  "operator>=(std::"
  "FSExtentNameConverter::"
  "VSAExtentNameConverter::"
  "ExSQLExtentNameConverter::"
  "TdfsIdxBrowseClientResp::"
)
for name in "${required[@]}"; do require "$name"; done

# Every exported name must belong to the external interface or to the types
# its classes are made of.
allowed='^((typeinfo|typeinfo name|vtable|VTT|non-virtual thunk to) (for )?)?(ExtentBrowse|ExtentBrowseImpl|SCParams|SCParams_Compare|SCParams_Hash_Value|VolumeCtxt|AFileInfoInternal|ZelSemaphore|ZelEvent|ZelCriticalSection|CSecWrapper|EBExtentNameConverter|FSExtentNameConverter|VSAExtentNameConverter|ExSQLExtentNameConverter|TdfsIdxBrowseClientResp|ExtentBucket<[^>]*>)(::|$| )'
allowed_free='^(SetLocalClientName\(|PrintBucket\(|operator(<|<=|>|>=)\(std::|InitializeEBPerfCounters\(\)|LogEBPerfcounters\(\)|(gEBLocalClientName(\[abi:cxx11\])?|numBrowseRequests|gEbCounters|gEbPerfCounter|gInitLock|isInitialized|scphash)$)'
while IFS= read -r symbol; do
  [ -z "$symbol" ] && continue
  if ! grep -qE "$allowed" <<<"$symbol" && ! grep -qE "$allowed_free" <<<"$symbol"; then
    echo "unexpected export: $symbol" >&2
    status=1
  fi
done <<<"$exported"

[ $status -eq 0 ] && echo "exports ok: $(wc -l <<<"$exported") symbols"
exit $status
