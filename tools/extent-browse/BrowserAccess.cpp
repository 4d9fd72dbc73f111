#include "BrowserAccess.h"

#include <iostream>

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

bool RewriteExtentInfo(int appType, std::iostream& in, std::iostream& out) {
  SCParams params;
  params.appType = appType;
  // A bare block on a stream of its own seeds a browser fully or not at
  // all; one that read it to the end left the stream at its end.
  ExtentBrowse browser(params, std::string(), &in, EB_MODE_DEFAULT, 1, 13, false, 0, std::string());
  in.peek();
  return in.eof() && browser.GetImpl()->SaveExtentInfo(&out);
}
