#include "IndexSetup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <istream>
#include <utility>

#include "FdInput.h"
#include "Messages.h"
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

bool FindSampleIndex(const char* argv0, std::string& file, std::string& error) {
  const std::string directory = DirectoryOfExecutable(argv0);
  const std::string candidates[] = {directory + "/sample-index.tsv",
                                    directory + "/../share/extentbrowse/sample-index.tsv"};
  for (const std::string& candidate : candidates) {
    if (Readable(candidate)) {
      file = candidate;
      return true;
    }
  }
  error = "cannot find the bundled sample index: looked for " + candidates[0] + " and " +
          candidates[1] + "; --index FILE names another catalogue";
  return false;
}

bool LoadCatalogueFile(const std::string& file, unsigned int nameLength,
                       ebindex::Catalogue& catalogue, std::string& error) {
  const bool standardInput = file == "-";
  const std::string name = standardInput ? "standard input" : Echo(file);
  // Not blocking, so that a FIFO without a writer does not hold the open.
  const int fd = standardInput ? STDIN_FILENO
                               : open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0) {
    error = "cannot read " + name + ": " + std::strerror(errno);
    return false;
  }
  // Read as it is parsed: the catalogue costs its entries, whatever else
  // the file holds.
  FdInput input(fd, !standardInput && S_ISFIFO(st.st_mode));
  std::istream in(&input);
  bool loaded = ebindex::LoadCatalogue(in, name, nameLength, catalogue, error);
  if (input.error() != 0) {
    error =
        "cannot read " + name + ": " +
        (input.error() == ETIMEDOUT ? "it is a FIFO that no process opened for writing within " +
                                          std::to_string(FdInput::kWriterWaitMs / 1000) + " s"
                                    : std::string(std::strerror(input.error())));
    loaded = false;
  }
  // A stop signal: the caller ends the tool, with nothing to say.
  if (input.stopped()) loaded = false;
  if (!standardInput) close(fd);
  return loaded;
}

bool ChooseItem(const ebindex::Catalogue& catalogue, const std::string& file,
                const std::string& requested, std::string& path, std::string& error) {
  const std::string name = file == "-" ? "standard input" : Echo(file);
  const std::vector<std::string> paths = catalogue.paths();
  if (!requested.empty()) {
    if (catalogue.find(requested) == nullptr) {
      error = "no item " + Echo(requested) + " in the index " + name +
              Suggestion(requested, paths) + "; the items command lists them";
      return false;
    }
    path = requested;
    return true;
  }
  if (paths.size() == 1) {
    path = paths.front();
    return true;
  }
  if (paths.empty()) {
    error = "the index " + name + " holds no items";
    return false;
  }
  // A few name the choice; the items command lists a catalogue of many.
  constexpr std::size_t kNamed = 4;
  error = "the index holds " + std::to_string(paths.size()) + " items, choose one with --path:";
  for (std::size_t i = 0; i < paths.size() && i < kNamed; ++i) error += " " + Echo(paths[i]);
  if (paths.size() > kNamed) error += " ...; the items command lists them";
  return false;
}

int AppTypeOfNames(const ebindex::Catalogue& catalogue, const std::string& path) {
  const std::vector<ebindex::Entry>* entries = catalogue.find(path);
  if (entries == nullptr) return 0;
  // The loader refuses an item with both old schemes, so the first
  // old-scheme name speaks for the item.
  for (const ebindex::Entry& entry : *entries) {
    switch (ebindex::SchemeOfName(entry.name)) {
      case ebindex::NameScheme::kDecimal:
        return EB_APP_TYPE_VIRTUAL_SERVER;
      case ebindex::NameScheme::kHex:
        return EB_APP_TYPE_EXCHANGE_DATABASE;
      case ebindex::NameScheme::kBase32:
        break;
    }
  }
  return 0;
}

bool ReadsNamesOf(int appType, int namesAppType) {
  if (namesAppType == EB_APP_TYPE_VIRTUAL_SERVER) return appType == EB_APP_TYPE_VIRTUAL_SERVER;
  if (EBIsDatabaseAppType(namesAppType)) return EBIsDatabaseAppType(appType);
  return true;
}

void ConfigureIndex(ebindex::Catalogue catalogue, const Options& options) {
  ebindex::IndexService& index = ebindex::IndexService::instance();
  // A fresh service records nothing: a host that recorded every call of a
  // long session would hold all of them in memory.
  index.reset();
  index.setCatalogue(std::move(catalogue));
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
