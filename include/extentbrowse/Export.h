/// @file
/// The mark of the names the shared library exports.
#ifndef EXTENTBROWSE_EXPORT_H
#define EXTENTBROWSE_EXPORT_H

/// Marks a name the shared library exports. Everything else is built with
/// hidden visibility and stays internal to the library.
#define EB_EXPORT __attribute__((visibility("default")))

#endif  // EXTENTBROWSE_EXPORT_H
