#include "extentbrowse/ExtentBrowse.h"

#include "common/EBLog.h"
#include "common/LocalClientName.h"
#include "extentbrowse/ExtentBrowseImpl.h"

void SetLocalClientName(const std::string& name) {
  try {
    gEBLocalClientName = name;
  } catch (...) {
    EB_LOG_NOTHROW(-1, "Setting the local client name failed; it stays [%s].",
                   gEBLocalClientName.c_str());
  }
}

ExtentBrowse::ExtentBrowse(SCParams& scParams, const std::string& browsePath,
                           std::iostream* cacheStream, ExtentBrowseMode mode,
                           unsigned long long pageSize, int extentNameLength, bool browseOptionFlag,
                           unsigned int copyPrecedence, const std::string& maName)
    : impl(nullptr) {
  EB_LOG(1,
         "ExtentBrowse::ExtentBrowse browsePath: %s, pageSize: %llu, ExtentNameLength: %d ma: %s",
         browsePath.c_str(), pageSize, extentNameLength, maName.c_str());
  EB_LOG(1,
         "ExtentBrowse::ExtentBrowse sourceClientId: %lu appType: %d bkpSetId: %lu AppId: %d "
         "appInstance: %lu totime: %u fromtime: %u ",
         static_cast<unsigned long>(scParams.sourceClientId), scParams.appType,
         static_cast<unsigned long>(scParams.bkpSetId), scParams.AppId,
         static_cast<unsigned long>(scParams.appInstance),
         static_cast<unsigned int>(scParams.totime), static_cast<unsigned int>(scParams.fromtime));
  // A browser that throws while being built is freed by the new-expression.
  impl = new ExtentBrowseImpl(scParams, browsePath, cacheStream, mode, pageSize, extentNameLength,
                              browseOptionFlag, copyPrecedence, maName);
}

ExtentBrowse::~ExtentBrowse() { delete impl; }

ExtentBrowseResult ExtentBrowse::GetAFInfo(unsigned long long extentNumber,
                                           unsigned long long& afileId,
                                           unsigned long long& afileValue) {
  return impl->GetAFInfo(extentNumber, afileId, afileValue);
}

ExtentBrowseResult ExtentBrowse::GetAFInfo(unsigned long long extentNumber,
                                           unsigned long long& afileId,
                                           unsigned long long& afileValue,
                                           unsigned long long rangeStart) {
  return impl->GetAFInfo(extentNumber, afileId, afileValue, rangeStart);
}

bool ExtentBrowse::IsExtentEmpty(unsigned long extentNumber) {
  return impl->IsExtentEmpty(extentNumber);
}

void* ExtentBrowse::OpenEnum() { return impl->OpenEnum(); }

bool ExtentBrowse::EnumExtent(void* handle, unsigned long long& extentNumber, bool& isEmpty) {
  return impl->EnumExtent(handle, extentNumber, isEmpty);
}

void ExtentBrowse::CloseEnum(void* handle) { impl->CloseEnum(handle); }

int ExtentBrowse::GetLatestErrorInfo(std::string& text) { return impl->GetLatestErrorInfo(text); }

void ExtentBrowse::SetBackupSetGuid(const std::string& guid) { impl->SetBackupSetGuid(guid); }
