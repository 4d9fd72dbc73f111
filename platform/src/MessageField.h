// One field of a message, as CNMessageBase stores it. Internal to the
// platform library: shared by the field store and the text form.
#ifndef EBPLATFORM_MESSAGEFIELD_H
#define EBPLATFORM_MESSAGEFIELD_H

#include <memory>
#include <string>
#include <vector>

#include "CNMessageBase.h"

// One field of a message. Only the member that matches `kind` carries the
// value; the others stay empty. Children are owned, so copying a field
// copies the whole subtree.
struct CNMessageBase::Field {
  enum Kind { kInt64, kString, kIntList, kObject, kObjectList };

  Field(int index, int tag, Kind kind) : index(index), tag(tag), kind(kind) {}
  Field(const Field& other)
      : index(other.index),
        tag(other.tag),
        kind(other.kind),
        int64Value(other.int64Value),
        stringValue(other.stringValue),
        intList(other.intList ? new std::vector<int>(*other.intList) : nullptr),
        object(other.object ? new CNMessageBase(*other.object) : nullptr),
        objectList(other.objectList ? new std::vector<CNMessageBase>(*other.objectList) : nullptr) {
  }
  Field(Field&&) noexcept = default;
  Field& operator=(Field&&) noexcept = default;
  Field& operator=(const Field&) = delete;

  int index;
  int tag;
  Kind kind;
  long long int64Value = 0;
  std::string stringValue;
  std::unique_ptr<std::vector<int>> intList;
  std::unique_ptr<CNMessageBase> object;
  std::unique_ptr<std::vector<CNMessageBase>> objectList;
};

#endif  // EBPLATFORM_MESSAGEFIELD_H
