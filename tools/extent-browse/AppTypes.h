// The application types whose browsers read names other than base32, as
// the tool tells them apart.
#ifndef EXTENTBROWSE_TOOLS_APPTYPES_H
#define EXTENTBROWSE_TOOLS_APPTYPES_H

// Virtual-machine disks: Extent<decimal> names from before base32.
constexpr int kVirtualServerAppType = 106;
// Databases: Ext_<hex> names from before base32.
constexpr int kDatabaseAppType = 53;
constexpr int kOtherDatabaseAppType = 81;

inline bool IsDatabase(int appType) {
  return appType == kDatabaseAppType || appType == kOtherDatabaseAppType;
}

#endif  // EXTENTBROWSE_TOOLS_APPTYPES_H
