/// @file
/// The names an index files extents under: the browsers' base32 names and
/// the two schemes of older items. For hosts that build catalogues, and for
/// the index service's own paging.
#ifndef EBINDEX_EXTENTNAMES_H
#define EBINDEX_EXTENTNAMES_H

#include <string>

namespace ebindex {

/// The ways an index names extents.
enum class NameScheme {
  kBase32,   ///< Base32 at the browser's name length.
  kDecimal,  ///< `Extent<decimal>`: virtual-machine disks from before base32 names.
  kHex,      ///< `Ext_<hex>`, at least 8 digits: databases from before base32 names.
};

/// The scheme a name is written in, told by its start ("Extent", "Ext_");
/// any other name is taken as base32.
/// @param name an extent name.
/// @return its scheme.
NameScheme SchemeOfName(const std::string& name);

/// The name of an extent, as the browsers' converters write it. Browsers
/// read `Extent<decimal>` names as signed 64-bit numbers, so above 2^63-1
/// such a name does not read back as `extent`.
/// @param scheme the scheme to write it in.
/// @param extent the extent number.
/// @param nameLength digits of a base32 name; ignored by the other schemes.
/// @return the name.
std::string ExtentName(NameScheme scheme, unsigned long long extent, unsigned int nameLength);

}  // namespace ebindex

#endif  // EBINDEX_EXTENTNAMES_H
