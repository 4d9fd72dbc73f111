// Constructs a browser for an item and asks whether extent 0 is known, which
// needs no browse. Exits 0 when the library loaded and answered.
#include <cstdio>

#include <extentbrowse/ExtentBrowse.h>

int main() {
  SCParams params;
  params.sourceClientId = 1;
  params.appType = 0;
  ExtentBrowse browse(params, "/data/file.bin", nullptr, EB_MODE_DEFAULT, 1000, 13, false, 0, "");
  std::string text;
  const int code = browse.GetLatestErrorInfo(text);
  const bool empty = browse.IsExtentEmpty(0);
  std::printf("consumer: error code %d, extent 0 empty: %s\n", code, empty ? "yes" : "no");
  return code == 0 && !empty ? 0 : 1;
}
