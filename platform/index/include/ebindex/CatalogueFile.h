/// @file
/// Loading a catalogue from its text file, for hosts of the index service.
///
/// One entry per line, tab-separated, UTF-8 (a byte order mark at the start
/// is skipped); '#' comments and blank lines are skipped:
///
///     PATH <TAB> EXTENT <TAB> AFILEID <TAB> AFILEVALUE <TAB> EMPTY [<TAB> NAME]
///
/// EXTENT, AFILEID and AFILEVALUE are unsigned decimal 64-bit numbers, EMPTY
/// is 0 or 1, NAME is the entry's index name (by default the base32 name of
/// EXTENT at the given name length).
///
/// A file is refused, at the first line that shows it, when a line is longer
/// than 65536 bytes (known once they have passed, so a file of any size
/// costs no more than its entries) or holds a NUL byte, when a NAME is not
/// the name a browser writes for its EXTENT, when an item holds an extent
/// twice (under one name or two), or when an item mixes `Extent<decimal>`
/// and `Ext_<hex>` names (no browser reads both). A message quotes at most
/// about 100 bytes of a field.
#ifndef EBINDEX_CATALOGUEFILE_H
#define EBINDEX_CATALOGUEFILE_H

#include <istream>
#include <string>

#include "ebindex/Catalogue.h"
#include "ebindex/ExtentNames.h"

namespace ebindex {

/// Adds the entries of a catalogue file to a catalogue.
/// @param in the file's text, read to its end.
/// @param fileName the file's name, for error messages only.
/// @param nameLength digits of the base32 names of entries without a NAME;
///   the browsers' extentNameLength.
/// @param catalogue where the entries go; entries before a bad line stay.
/// @param[out] error on failure, "FILE:LINE: what is wrong".
/// @return false at the first bad line.
bool LoadCatalogue(std::istream& in, const std::string& fileName, unsigned int nameLength,
                   Catalogue& catalogue, std::string& error);

/// Loads a catalogue file and installs it in the index service
/// (IndexService::setCatalogue), as a host of the stand-in index does
/// before its first browser.
/// @param file the file's name.
/// @param nameLength as for LoadCatalogue.
/// @param[out] error on failure, "cannot read FILE: reason" or
///   "FILE:LINE: what is wrong".
/// @return false, leaving the service's catalogue as it was, when the file
///   cannot be read or holds a bad line.
bool InstallCatalogueFile(const std::string& file, unsigned int nameLength, std::string& error);

}  // namespace ebindex

#endif  // EBINDEX_CATALOGUEFILE_H
