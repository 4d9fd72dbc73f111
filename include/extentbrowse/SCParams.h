// SCParams: the subclient parameters record that names the backup whose
// index is browsed, with the functors that let a caller use it as a key.
#ifndef EXTENTBROWSE_SCPARAMS_H
#define EXTENTBROWSE_SCPARAMS_H

#include "extentbrowse/Export.h"

struct EB_EXPORT SCParams {
  unsigned long long sourceClientId = 0;  // client whose data was backed up
  int appType = 0;                        // 106 virtual server; 53, 81 database
  unsigned long long bkpSetId = 0;        // backup set id
  int AppId = 0;                          // application id
  unsigned long long appInstance = 0;     // application instance id
  long long totime = 0;                   // upper time bound of the browse
  long long fromtime = 0;                 // lower time bound of the browse

  // True exactly when all seven fields are equal.
  bool operator==(const SCParams& other) const;

  // Orders by the hash of SCParams_Hash_Value first, so records with
  // different hashes keep the order callers have always seen. Records whose
  // hashes collide are ordered field by field, so that records that differ
  // are never treated as one key.
  bool operator<(const SCParams& rhs) const;
};

// Equality functor for hashed containers.
struct EB_EXPORT SCParams_Compare {
  bool operator()(const SCParams& a, const SCParams& b) const;
};

// Hash functor: the exclusive-or of the seven fields as unsigned 64-bit
// values, the two 32-bit fields sign-extended first.
struct EB_EXPORT SCParams_Hash_Value {
  unsigned long long operator()(const SCParams& params) const;
};

extern EB_EXPORT SCParams_Hash_Value scphash;

#endif  // EXTENTBROWSE_SCPARAMS_H
