// CNMessageBase: the base of every generated message class.
//
// A message has a class id (family, number) and a set of typed fields. A
// field is named by its index in its class and its wire tag; setters and the
// object and list accessors take both, the integer getter takes the tag
// alone, the presence test the index alone. Child messages and lists are
// held by value, so a copied message owns everything it holds and is
// independent of the original.
//
// Thread-safety: none; a message is used by one thread at a time.
#ifndef EBPLATFORM_CNMESSAGEBASE_H
#define EBPLATFORM_CNMESSAGEBASE_H

#include <memory>
#include <string>
#include <vector>

class CNMessageBase {
 public:
  // The identity of a generated class.
  struct TagID {
    int family;
    int number;
    bool operator==(const TagID& other) const {
      return family == other.family && number == other.number;
    }
    bool operator!=(const TagID& other) const { return !(*this == other); }
  };

  CNMessageBase(int family, int number);
  CNMessageBase(const CNMessageBase& other);
  CNMessageBase(CNMessageBase&& other) noexcept;
  CNMessageBase& operator=(const CNMessageBase& other);
  CNMessageBase& operator=(CNMessageBase&& other) noexcept;
  virtual ~CNMessageBase();

  TagID getTagID() const { return tagId_; }

  // Setters. Setting a field replaces whatever the index held before.
  void setint64(int index, int tag, long long value);
  void setstring(int index, int tag, const std::string& value);
  void setstring(int index, int tag, std::string&& value);
  void setlistint(int index, int tag, const std::vector<int>* values);
  void setlistobject(int index, int tag, const std::vector<CNMessageBase>* values);
  // Attaches a copy of `child` (a CNMessageBase); null removes the field.
  void setObjectAccessor(const void* child, int index, int tag);

  // The child message under the field. When it is absent and
  // `createIfAbsent` is true, an empty child of class (family, number) is
  // created and the field becomes set; when absent and false, null.
  // `ownedByParent` is accepted for the platform's sake: the stand-in always
  // holds children by value, so it changes nothing. The child stays where
  // it is until its own field is set again or the message is destroyed.
  CNMessageBase* getObjectAccessor(bool createIfAbsent, bool ownedByParent, int index, int tag,
                                   int family, int number);
  // The list under the field, editable in place; created empty when absent
  // and `createIfAbsent` is true, otherwise null when absent. Stable like a
  // child.
  std::vector<CNMessageBase>* getlistobject(int index, int tag, bool createIfAbsent);

  // Field values; an absent field reads as empty or zero. The string is the
  // field's own, valid until the field is set again.
  const std::string& getstring(int index, int tag) const;
  long long getint64(int tag) const;
  std::vector<int> getlistint(int index, int tag) const;

  bool isSet(int index) const;

  // Read-only looks by tag, for hosts and tests that inspect messages.
  bool hasTag(int tag) const;
  const CNMessageBase* findObject(int tag) const;
  const std::vector<CNMessageBase>* findList(int tag) const;
  std::vector<int> tags() const;  // in index order

  // A compact, deterministic one-line text form. With `withIndices` each
  // field shows its index beside its tag.
  void serialize(std::string& out, bool withIndices) const;
  std::string toString() const;

 private:
  struct Field;
  Field* findByTag(int tag);
  const Field* findByTag(int tag) const;
  Field* findByIndex(int index);
  const Field* findByIndex(int index) const;
  Field& fieldAt(int index, int tag);
  void erase(int index);

  TagID tagId_;
  // By index. Messages hold a handful of fields, and a browse builds
  // millions of messages: one small array costs one allocation where a
  // tree of fields cost two per field. Children and lists sit behind
  // pointers of their own, so a field moving in the array moves no child.
  std::vector<Field> fields_;
};

// The display name of a known class id, or "Message(family,number)".
std::string MessageClassName(CNMessageBase::TagID id);

#endif  // EBPLATFORM_CNMESSAGEBASE_H
