#include "support/TestSupport.h"

namespace ebtest {

ScopedLogCapture::ScopedLogCapture(int level)
    : writer_(new CCaptureLogWriter(level)), previous_(g_ptrLogWriter) {
  g_ptrLogWriter = writer_;
}

ScopedLogCapture::~ScopedLogCapture() { g_ptrLogWriter = previous_; }

int ScopedLogCapture::indexOf(const std::string& message) const {
  const std::vector<std::string> all = messages();
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (all[i] == message) return static_cast<int>(i);
  }
  return -1;
}

SCParams MakeParams(int appType) {
  SCParams params;
  params.sourceClientId = 7;
  params.appType = appType;
  params.bkpSetId = 11;
  params.AppId = 13;
  params.appInstance = 17;
  params.totime = 1700000000;
  params.fromtime = 1600000000;
  return params;
}

}  // namespace ebtest
