#include "BrowserAccess.h"

#include "extentbrowse/EBExtentNameConverter.h"
#include "extentbrowse/ExtentBrowse.h"
#include "extentbrowse/ExtentBrowseImpl.h"

std::string ExtentNameOf(ExtentBrowse& browser, unsigned long long extent) {
  std::string name;
  browser.GetImpl()->GetExtentNameConverter()->ExtentNumToName(extent, name);
  return name;
}

unsigned long long ExtentNumberOf(ExtentBrowse& browser, const std::string& name) {
  return browser.GetImpl()->GetExtentNameConverter()->ExtentNameToNum(name);
}

bool IsInBrowsedRange(ExtentBrowse& browser, unsigned long long extent) {
  return browser.GetImpl()->GetExtentNameConverter()->IsExtentAlreadyBrowsed(extent);
}

bool WriteExtentInfo(ExtentBrowse& browser, std::iostream& stream) {
  return browser.GetImpl()->SaveExtentInfo(&stream);
}
