#include "BrowserAccess.h"

#include <boost/shared_ptr.hpp>
#include <iostream>

#include "LogWriters.h"

#include "extentbrowse/EBExtentNameConverter.h"
#include "extentbrowse/ExtentBrowse.h"
#include "extentbrowse/ExtentBrowseImpl.h"

namespace {

// The library's log writer swapped, while it lives, for one set below
// every level the library writes at.
class SilentLog {
 public:
  SilentLog() : kept_(g_ptrLogWriter) { g_ptrLogWriter.reset(new CCaptureLogWriter(-2)); }
  ~SilentLog() { g_ptrLogWriter = kept_; }
  SilentLog(const SilentLog&) = delete;
  SilentLog& operator=(const SilentLog&) = delete;

 private:
  const boost::shared_ptr<CLogWriterInterface> kept_;
};

}  // namespace

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
  // This browser browses nothing: its lines in the log would read as a
  // second browser of the item. Nothing else runs while it lives.
  const SilentLog silent;
  // A bare block on a stream of its own seeds a browser fully or not at
  // all; one that read it to the end left the stream at its end.
  ExtentBrowse browser(params, std::string(), &in, EB_MODE_DEFAULT, 1, 13, false, 0, std::string());
  in.peek();
  return in.eof() && browser.GetImpl()->SaveExtentInfo(&out);
}
