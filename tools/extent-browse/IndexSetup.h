// Putting the index service in the state the command line asks for.
#ifndef EXTENTBROWSE_TOOLS_INDEXSETUP_H
#define EXTENTBROWSE_TOOLS_INDEXSETUP_H

#include <string>

#include "Options.h"
#include "ebindex/IndexService.h"

// The bundled sample: beside the executable, or where it is installed.
// False, with `error` saying where it looked, when it is in neither place.
bool FindSampleIndex(const char* argv0, std::string& file, std::string& error);

// Reads a catalogue file, or standard input for "-"; on failure `error`
// says what is wrong, with the file and line, or the system's reason.
bool LoadCatalogueFile(const std::string& file, unsigned int nameLength,
                       ebindex::Catalogue& catalogue, std::string& error);

// The item to browse: `requested` when it names an item, else the only
// item of the catalogue read from `file`.
bool ChooseItem(const ebindex::Catalogue& catalogue, const std::string& file,
                const std::string& requested, std::string& path, std::string& error);

// The application type whose browser reads the item's names: 106 for
// Extent<decimal> names, 53 for Ext_<hex> names, 0 when they are all base32.
int AppTypeOfNames(const ebindex::Catalogue& catalogue, const std::string& path);

// Whether a browser of `appType` reads names meant for `namesAppType`:
// base32 names every browser reads, old-scheme names only their own type.
bool ReadsNamesOf(int appType, int namesAppType);

// Installs the catalogue, protocol, delivery and faults of `options`.
void ConfigureIndex(ebindex::Catalogue catalogue, const Options& options);

#endif  // EXTENTBROWSE_TOOLS_INDEXSETUP_H
