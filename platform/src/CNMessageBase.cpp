#include "CNMessageBase.h"

#include <utility>

#include "MessageField.h"

namespace {

// Most messages of the protocol have at most four fields.
constexpr std::size_t kUsualFieldCount = 4;

}  // namespace

CNMessageBase::CNMessageBase(int family, int number) : tagId_{family, number} {}

CNMessageBase::CNMessageBase(const CNMessageBase& other)
    : tagId_(other.tagId_), fields_(other.fields_) {}

CNMessageBase::CNMessageBase(CNMessageBase&& other) noexcept
    : tagId_(other.tagId_), fields_(std::move(other.fields_)) {
  other.fields_.clear();
}

CNMessageBase& CNMessageBase::operator=(const CNMessageBase& other) {
  if (this != &other) {
    // Build the copy first: `other` may be one of our own children.
    CNMessageBase copy(other);
    *this = std::move(copy);
  }
  return *this;
}

CNMessageBase& CNMessageBase::operator=(CNMessageBase&& other) noexcept {
  if (this != &other) {
    // Keep our old fields alive until the end: `other` may live inside them.
    std::vector<Field> old;
    old.swap(fields_);
    tagId_ = other.tagId_;
    fields_ = std::move(other.fields_);
    other.fields_.clear();
  }
  return *this;
}

CNMessageBase::~CNMessageBase() = default;

CNMessageBase::Field* CNMessageBase::findByTag(int tag) {
  for (Field& field : fields_) {
    if (field.tag == tag) return &field;
  }
  return nullptr;
}

const CNMessageBase::Field* CNMessageBase::findByTag(int tag) const {
  for (const Field& field : fields_) {
    if (field.tag == tag) return &field;
  }
  return nullptr;
}

CNMessageBase::Field* CNMessageBase::findByIndex(int index) {
  for (Field& field : fields_) {
    if (field.index == index) return &field;
  }
  return nullptr;
}

const CNMessageBase::Field* CNMessageBase::findByIndex(int index) const {
  for (const Field& field : fields_) {
    if (field.index == index) return &field;
  }
  return nullptr;
}

// A fresh, empty field under `index`, replacing whatever was there. Its kind
// is set by the caller. Valid until the next field is added.
CNMessageBase::Field& CNMessageBase::fieldAt(int index, int tag) {
  if (fields_.capacity() == 0) fields_.reserve(kUsualFieldCount);
  auto position = fields_.begin();
  while (position != fields_.end() && position->index < index) ++position;
  if (position != fields_.end() && position->index == index) {
    *position = Field(index, tag, Field::kInt64);
    return *position;
  }
  return *fields_.insert(position, Field(index, tag, Field::kInt64));
}

void CNMessageBase::setint64(int index, int tag, long long value) {
  Field& field = fieldAt(index, tag);
  field.kind = Field::kInt64;
  field.int64Value = value;
}

void CNMessageBase::setstring(int index, int tag, const std::string& value) {
  setstring(index, tag, std::string(value));
}

void CNMessageBase::setstring(int index, int tag, std::string&& value) {
  // Taken before the slot is replaced, in case `value` is our own string.
  std::string taken(std::move(value));
  Field& field = fieldAt(index, tag);
  field.kind = Field::kString;
  field.stringValue = std::move(taken);
}

void CNMessageBase::setlistint(int index, int tag, const std::vector<int>* values) {
  if (values == nullptr) {
    erase(index);
    return;
  }
  auto copy = std::make_unique<std::vector<int>>(*values);
  Field& field = fieldAt(index, tag);
  field.kind = Field::kIntList;
  field.intList = std::move(copy);
}

void CNMessageBase::setlistobject(int index, int tag, const std::vector<CNMessageBase>* values) {
  if (values == nullptr) {
    erase(index);
    return;
  }
  // Copied before the slot is replaced, in case `values` is our own list.
  auto copy = std::make_unique<std::vector<CNMessageBase>>(*values);
  Field& field = fieldAt(index, tag);
  field.kind = Field::kObjectList;
  field.objectList = std::move(copy);
}

void CNMessageBase::setObjectAccessor(const void* child, int index, int tag) {
  if (child == nullptr) {
    erase(index);
    return;
  }
  auto copy = std::make_unique<CNMessageBase>(*static_cast<const CNMessageBase*>(child));
  Field& field = fieldAt(index, tag);
  field.kind = Field::kObject;
  field.object = std::move(copy);
}

CNMessageBase* CNMessageBase::getObjectAccessor(bool createIfAbsent, bool /*ownedByParent*/,
                                                int index, int tag, int family, int number) {
  Field* found = findByIndex(index);
  if (found != nullptr && found->kind == Field::kObject) return found->object.get();
  if (!createIfAbsent) return nullptr;
  auto child = std::make_unique<CNMessageBase>(family, number);
  Field& field = fieldAt(index, tag);
  field.kind = Field::kObject;
  field.object = std::move(child);
  return field.object.get();
}

std::vector<CNMessageBase>* CNMessageBase::getlistobject(int index, int tag, bool createIfAbsent) {
  Field* found = findByIndex(index);
  if (found != nullptr && found->kind == Field::kObjectList) return found->objectList.get();
  if (!createIfAbsent) return nullptr;
  auto list = std::make_unique<std::vector<CNMessageBase>>();
  Field& field = fieldAt(index, tag);
  field.kind = Field::kObjectList;
  field.objectList = std::move(list);
  return field.objectList.get();
}

// Values are looked up by wire tag; the index only says where a field is
// stored. A field of another kind reads as absent.
const std::string& CNMessageBase::getstring(int /*index*/, int tag) const {
  static const std::string kAbsent;
  const Field* field = findByTag(tag);
  return field != nullptr && field->kind == Field::kString ? field->stringValue : kAbsent;
}

long long CNMessageBase::getint64(int tag) const {
  const Field* field = findByTag(tag);
  return field != nullptr && field->kind == Field::kInt64 ? field->int64Value : 0;
}

std::vector<int> CNMessageBase::getlistint(int /*index*/, int tag) const {
  const Field* field = findByTag(tag);
  return field != nullptr && field->kind == Field::kIntList ? *field->intList : std::vector<int>();
}

bool CNMessageBase::isSet(int index) const { return findByIndex(index) != nullptr; }

bool CNMessageBase::hasTag(int tag) const { return findByTag(tag) != nullptr; }

const CNMessageBase* CNMessageBase::findObject(int tag) const {
  const Field* field = findByTag(tag);
  return field != nullptr && field->kind == Field::kObject ? field->object.get() : nullptr;
}

const std::vector<CNMessageBase>* CNMessageBase::findList(int tag) const {
  const Field* field = findByTag(tag);
  return field != nullptr && field->kind == Field::kObjectList ? field->objectList.get() : nullptr;
}

std::vector<int> CNMessageBase::tags() const {
  std::vector<int> result;
  result.reserve(fields_.size());
  for (const Field& field : fields_) result.push_back(field.tag);
  return result;
}

void CNMessageBase::erase(int index) {
  for (auto it = fields_.begin(); it != fields_.end(); ++it) {
    if (it->index == index) {
      // Moved out first: the value being erased may hold the caller's data.
      Field gone(std::move(*it));
      fields_.erase(it);
      return;
    }
  }
}
