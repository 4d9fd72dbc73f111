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

// The application types (SCParams::appType) a browser treats apart: they
// choose how extents are named and shape the browse request. Every other
// value is browsed as a file-system item.
enum EBAppType {
  EB_APP_TYPE_EXCHANGE_DATABASE = 53,  // Ext_<hex> names before base32
  EB_APP_TYPE_SQL_DATABASE = 81,       // Ext_<hex> names before base32
  EB_APP_TYPE_VIRTUAL_SERVER = 106,    // virtual-machine disks; Extent<decimal> names before base32
};

// Whether `appType` is one of the two database types, which share their names.
inline bool EBIsDatabaseAppType(int appType) {
  return appType == EB_APP_TYPE_EXCHANGE_DATABASE || appType == EB_APP_TYPE_SQL_DATABASE;
}

#endif  // EXTENTBROWSE_EXTENTBROWSETYPES_H
