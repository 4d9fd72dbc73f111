// The text order of extent names: byte strings compared up to their first
// NUL, as strcmp compares them.
//
// These operators are found by ordinary lookup only where this header is
// included; name buckets call them explicitly so that the standard
// string comparisons can never be chosen in their place.
#ifndef EXTENTBROWSE_SRC_NAMING_NAMEORDER_H
#define EXTENTBROWSE_SRC_NAMING_NAMEORDER_H

#include <string>

#include "extentbrowse/Export.h"
#include "naming/ExtentBucket.h"

// operator< and operator<= are declared with the buckets. The two below,
// and PrintBucket, are exported only because the library's external
// interface names them: nothing in the library calls them.
EB_EXPORT bool operator>(const std::string& a, const std::string& b);
EB_EXPORT bool operator>=(const std::string& a, const std::string& b);

// Logs a name bucket at level 4, for diagnostics.
EB_EXPORT void PrintBucket(const ExtentBucket<std::string>& bucket);

#endif  // EXTENTBROWSE_SRC_NAMING_NAMEORDER_H
