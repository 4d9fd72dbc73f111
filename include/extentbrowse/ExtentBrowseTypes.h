/// @file
/// Enumerations of the library's public interface.
#ifndef EXTENTBROWSE_EXTENTBROWSETYPES_H
#define EXTENTBROWSE_EXTENTBROWSETYPES_H

/// Result of a lookup, and status of a finished browse.
///
/// Only EB_EXTENT_NOT_FOUND says that the backup has no such extent; a
/// restore must never read EB_BROWSE_FAILED as a hole.
enum ExtentBrowseResult {
  /// The extent has a record; the lookup's outputs are set.
  EB_EXTENT_FOUND = 0,
  /// The index said the extent is not in the backup: it lies in a browsed
  /// range but has no record. The outputs are left as they were.
  EB_EXTENT_NOT_FOUND = 1,
  /// The library could not tell: the browse needed to answer did not run,
  /// failed, or was never answered by the index. The outputs are left as
  /// they were.
  EB_BROWSE_FAILED = 2,
  /// A browse's request succeeded; handed to
  /// ExtentBrowseImpl::OnBrowseCompletionCallBack, never returned by a lookup.
  EB_BROWSE_COMPLETED = 3,
};

/// How the caller means to use the browser. The browser stores the value and
/// does not act on it, so any value of the type may be passed.
enum ExtentBrowseMode {
  EB_MODE_DEFAULT = 0,  ///< The only mode there is.
};

/// The application types (SCParams::appType) a browser treats apart: they
/// choose how extents are named and shape the browse request. Every other
/// value is browsed as a file-system item.
enum EBAppType {
  EB_APP_TYPE_EXCHANGE_DATABASE = 53,  ///< Ext_<hex> names before base32.
  EB_APP_TYPE_SQL_DATABASE = 81,       ///< Ext_<hex> names before base32.
  /// Virtual-machine disks; Extent<decimal> names before base32.
  EB_APP_TYPE_VIRTUAL_SERVER = 106,
};

/// Whether an application type is one of the two database types, which
/// share their names.
/// @param appType an SCParams::appType value.
/// @return true for EB_APP_TYPE_EXCHANGE_DATABASE and EB_APP_TYPE_SQL_DATABASE.
inline bool EBIsDatabaseAppType(int appType) {
  return appType == EB_APP_TYPE_EXCHANGE_DATABASE || appType == EB_APP_TYPE_SQL_DATABASE;
}

#endif  // EXTENTBROWSE_EXTENTBROWSETYPES_H
