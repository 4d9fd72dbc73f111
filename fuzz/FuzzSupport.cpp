#include "FuzzSupport.h"

#include <boost/shared_ptr.hpp>
#include <cstdio>
#include <cstdlib>

#include "CLogWriterInterface.h"
#include "LogWriters.h"

void SilenceLog() {
  static const bool installed = [] {
    g_ptrLogWriter = boost::shared_ptr<CLogWriterInterface>(new CStderrLogWriter(-100));
    return true;
  }();
  (void)installed;
}

void Broken(const char* what) {
  std::fprintf(stderr, "property broken: %s\n", what);
  std::abort();
}
