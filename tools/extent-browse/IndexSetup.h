// Putting the index service in the state the command line asks for.
#ifndef EXTENTBROWSE_TOOLS_INDEXSETUP_H
#define EXTENTBROWSE_TOOLS_INDEXSETUP_H

#include <string>

#include "ebindex/IndexService.h"
#include "Options.h"

// The bundled sample: beside the executable, or where it is installed.
std::string FindSampleIndex(const char* argv0);

// Reads a catalogue file; on failure `error` says what is wrong, with the
// file and line.
bool LoadCatalogueFile(const std::string& file, unsigned int nameLength,
                       ebindex::Catalogue& catalogue, std::string& error);

// The item to browse: `requested` when it names an item, else the only
// item of the catalogue.
bool ChooseItem(const ebindex::Catalogue& catalogue, const std::string& requested,
                std::string& path, std::string& error);

// Installs the catalogue, protocol, delivery and faults of `options`.
void ConfigureIndex(const ebindex::Catalogue& catalogue, const Options& options);

#endif  // EXTENTBROWSE_TOOLS_INDEXSETUP_H
