/// @file
/// SCParams: the subclient parameters record that names the backup whose
/// index is browsed, with the functors that let a caller use it as a key.
#ifndef EXTENTBROWSE_SCPARAMS_H
#define EXTENTBROWSE_SCPARAMS_H

#include "extentbrowse/Export.h"

/// The subclient parameters record: names the backup a browser browses. A
/// plain value; a browser keeps its own copy.
struct EB_EXPORT SCParams {
  unsigned long long sourceClientId = 0;  ///< Client whose data was backed up.
  int appType = 0;                        ///< Application type; see EBAppType.
  unsigned long long bkpSetId = 0;        ///< Backup set id.
  int AppId = 0;                          ///< Application id.
  unsigned long long appInstance = 0;     ///< Application instance id.
  long long totime = 0;                   ///< Upper time bound of the browse.
  long long fromtime = 0;                 ///< Lower time bound of the browse.

  /// Equality of all seven fields.
  /// @param other the record to compare with.
  /// @return true exactly when all seven fields are equal.
  bool operator==(const SCParams& other) const;

  /// Orders by the hash of SCParams_Hash_Value first, so records with
  /// different hashes keep the order callers have always seen. Records whose
  /// hashes collide are ordered field by field, so that records that differ
  /// are never treated as one key.
  /// @param rhs the record to compare with.
  /// @return true when this record sorts before `rhs`.
  bool operator<(const SCParams& rhs) const;
};

/// Equality functor for hashed containers.
struct EB_EXPORT SCParams_Compare {
  /// @param a,b the records to compare.
  /// @return a == b.
  bool operator()(const SCParams& a, const SCParams& b) const;
};

/// Hash functor: the exclusive-or of the seven fields as unsigned 64-bit
/// values, the two 32-bit fields sign-extended first.
struct EB_EXPORT SCParams_Hash_Value {
  /// @param params the record to hash.
  /// @return its hash.
  unsigned long long operator()(const SCParams& params) const;
};

/// A ready instance of the hash functor.
extern EB_EXPORT SCParams_Hash_Value scphash;

#endif  // EXTENTBROWSE_SCPARAMS_H
