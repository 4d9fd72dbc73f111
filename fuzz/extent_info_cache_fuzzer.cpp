// Any text may be handed to a browser as its cache stream, and must leave it
// usable. A saved block must read back to the same map and save again.
//
// A save goes where the block read at construction began, so saving a
// browser seeded from a block that did not start the text into a fresh
// stream fails by design; only blocks at the start are saved from the raw
// input.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "FuzzSupport.h"
#include "extentbrowse/ExtentBrowseImpl.h"

namespace {

// False when the save failed.
bool SaveAfterLoading(const std::string& text, std::string& saved) {
  std::stringstream cache(text);
  SCParams params;
  ExtentBrowseImpl browser(params, "/fuzz/item", &cache, EB_MODE_DEFAULT, 1000, 13, false, 0, "");
  if (!cache.good()) Broken("the cache stream is unusable after loading");
  std::stringstream out;
  if (!browser.SaveExtentInfo(&out)) return false;
  saved = out.str();
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SilenceLog();
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string saved;
  if (!SaveAfterLoading(text, saved)) return 0;
  std::string savedAgain;
  if (!SaveAfterLoading(saved, savedAgain)) Broken("a saved block could not be saved again");
  if (savedAgain != saved) Broken("a saved block did not read back to the same map");
  return 0;
}
