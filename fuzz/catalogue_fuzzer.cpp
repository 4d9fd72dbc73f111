// Catalogue files are written by hand. Loading one either succeeds with every
// item findable, or fails with a located error.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "FuzzSupport.h"
#include "ebindex/CatalogueFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  ebindex::Catalogue catalogue;
  std::string error;
  if (!ebindex::LoadCatalogue(in, "fuzz.tsv", 13, catalogue, error)) {
    if (error.rfind("fuzz.tsv:", 0) != 0) Broken("a load failed without a located error");
    return 0;
  }
  for (const std::string& path : catalogue.paths()) {
    if (catalogue.find(path) == nullptr) Broken("a loaded item cannot be found");
  }
  return 0;
}
