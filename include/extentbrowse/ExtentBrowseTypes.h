// Enumerations of the library's public interface.
#ifndef EXTENTBROWSE_EXTENTBROWSETYPES_H
#define EXTENTBROWSE_EXTENTBROWSETYPES_H

// Result of a lookup, and status of a finished browse.
enum ExtentBrowseResult {
  EB_EXTENT_FOUND = 0,      // the extent has a record; the outputs are set
  EB_EXTENT_NOT_FOUND = 1,  // the extent lies in a browsed range but has no record
  EB_BROWSE_FAILED = 2,     // the browse needed to answer did not run or failed
  EB_BROWSE_COMPLETED = 3,  // a browse's request succeeded; never returned by a lookup
};

// How the caller means to use the browser. The browser stores the value and
// does not act on it, so any value of the type may be passed.
enum ExtentBrowseMode {
  EB_MODE_DEFAULT = 0,
};

#endif  // EXTENTBROWSE_EXTENTBROWSETYPES_H
