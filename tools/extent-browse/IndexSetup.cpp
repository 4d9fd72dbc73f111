#include "IndexSetup.h"

#include <fstream>
#include <unistd.h>

#include "ebindex/CatalogueFile.h"
#include "extentbrowse/ExtentBrowse.h"

namespace {

std::string DirectoryOfExecutable(const char* argv0) {
  char buffer[4096];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string path = length > 0 ? std::string(buffer, static_cast<std::size_t>(length))
                                : std::string(argv0 != nullptr ? argv0 : "");
  const std::string::size_type slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

bool Readable(const std::string& file) { return std::ifstream(file).good(); }

}  // namespace

std::string FindSampleIndex(const char* argv0) {
  const std::string directory = DirectoryOfExecutable(argv0);
  for (const std::string& candidate :
       {directory + "/sample-index.tsv", directory + "/../share/extentbrowse/sample-index.tsv"}) {
    if (Readable(candidate)) return candidate;
  }
  return directory + "/sample-index.tsv";
}

bool LoadCatalogueFile(const std::string& file, unsigned int nameLength,
                       ebindex::Catalogue& catalogue, std::string& error) {
  std::ifstream in(file);
  if (!in) {
    error = "cannot read " + file;
    return false;
  }
  return ebindex::LoadCatalogue(in, file, nameLength, catalogue, error);
}

bool ChooseItem(const ebindex::Catalogue& catalogue, const std::string& requested,
                std::string& path, std::string& error) {
  if (!requested.empty()) {
    if (catalogue.find(requested) == nullptr) {
      error = "no item " + requested + " in the index";
      return false;
    }
    path = requested;
    return true;
  }
  const std::vector<std::string> paths = catalogue.paths();
  if (paths.size() == 1) {
    path = paths.front();
    return true;
  }
  if (paths.empty()) {
    error = "the index holds no items";
    return false;
  }
  error = "the index holds several items, choose one with --path:";
  for (const std::string& item : paths) error += " " + item;
  return false;
}

void ConfigureIndex(const ebindex::Catalogue& catalogue, const Options& options) {
  ebindex::IndexService& index = ebindex::IndexService::instance();
  index.reset();
  index.setCatalogue(catalogue);
  index.setProtocol(options.v1 ? ebindex::Protocol::V1 : ebindex::Protocol::V2);
  if (!options.browseHost.empty()) index.setDefaultHost(options.browseHost);
  if (!options.localClient.empty()) SetLocalClientName(options.localClient);
  index.setItemsPerResponse(options.responseItems);
  index.setDeliverOnServiceThread(options.serviceThread);
  if (options.failInit) index.failInitialize(ebindex::kAllCalls);
  if (options.failBrowse) index.failBrowse(1, false, ebindex::kAllCalls);
  if (options.hasErrorCode) {
    index.scriptResponses({ebindex::ScriptedResponse::Error(options.errorCode),
                           ebindex::ScriptedResponse::Of(ebindex::ScriptedResponse::kEnd)},
                          ebindex::kAllCalls);
  }
}
