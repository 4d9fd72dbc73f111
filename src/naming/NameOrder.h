// The text order of extent names: byte strings compared up to their first
// NUL, as strcmp compares them. Browsed ranges of names are held in it.
//
// The operators are exported because the library's external interface names
// them; inside the library only the name buckets use them, and they call
// them explicitly, so that the standard string comparisons can never be
// chosen in their place.
#ifndef EXTENTBROWSE_SRC_NAMING_NAMEORDER_H
#define EXTENTBROWSE_SRC_NAMING_NAMEORDER_H

#include <string>

#include "extentbrowse/Export.h"

EB_EXPORT bool operator<(const std::string& a, const std::string& b);
EB_EXPORT bool operator<=(const std::string& a, const std::string& b);
EB_EXPORT bool operator>(const std::string& a, const std::string& b);
EB_EXPORT bool operator>=(const std::string& a, const std::string& b);

#endif  // EXTENTBROWSE_SRC_NAMING_NAMEORDER_H
