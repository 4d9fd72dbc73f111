// What a run needs around its browsers: settings from the environment,
// seeds, draws from weighted bands, browse hosts and browser construction.
#include <cstdlib>

#include "harness/Harness.h"

namespace harness {

namespace {

const char* const kLocalClient = "harness-local";
const char* const kHosts[] = {"harness-remote", "harness-remote", "harness-in-process"};

}  // namespace

const char* const kRouteNames[] = {"V2", "V1 remote", "V1 in process"};

unsigned long long EnvNumber(const char* name, unsigned long long fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

unsigned long long Mix(unsigned long long seed, unsigned long long value) {
  unsigned long long z = seed + 0x9E3779B97F4A7C15ull * (value + 1);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

unsigned long long Draw(const std::vector<Band>& bands, Random& random) {
  std::vector<int> weights;
  for (const Band& band : bands) weights.push_back(band.weight);
  const Band& band =
      bands[std::discrete_distribution<std::size_t>(weights.begin(), weights.end())(random)];
  return band.low + (band.span > 1 ? random() % band.span : 0);
}

const char* HostOf(Route route) { return kHosts[static_cast<int>(route)]; }

void SetUpHosts() {
  SetLocalClientName(kLocalClient);
  ebindex::IndexService& index = ebindex::IndexService::instance();
  index.setHostClientName(HostOf(Route::kV1InProcess), kLocalClient);
  index.setHostClientName(HostOf(Route::kV1Remote), "harness-remote-client");
}

std::unique_ptr<ExtentBrowse> MakeBrowser(const Item& item, const std::string& path,
                                          const std::string& maName, unsigned long long pageSize,
                                          std::iostream* cache) {
  SCParams params;
  params.sourceClientId = 7;
  params.appType = item.appType;
  return std::unique_ptr<ExtentBrowse>(new ExtentBrowse(
      params, path, cache, EB_MODE_DEFAULT, pageSize, item.nameLength, false, 0, maName));
}

}  // namespace harness
