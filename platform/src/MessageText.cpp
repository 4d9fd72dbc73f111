// The text form of a message: compact, deterministic, one line, for logs
// and test failure messages.
#include <cstdio>
#include <string>

#include "CNMessageBase.h"
#include "MessageField.h"

namespace {

// Quoted, with anything outside printable ASCII as \xNN: item paths carry a
// 0x12 separator that would otherwise vanish from a log line.
void AppendQuoted(std::string& out, const std::string& text) {
  out += '"';
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7f) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

}  // namespace

void CNMessageBase::serialize(std::string& out, bool withIndices) const {
  out += MessageClassName(tagId_);
  out += '{';
  bool first = true;
  for (const Field& field : fields_) {
    if (!first) out += ' ';
    first = false;
    out += std::to_string(field.tag);
    if (withIndices) {
      out += '/';
      out += std::to_string(field.index);
    }
    out += ':';
    switch (field.kind) {
      case Field::kInt64:
        out += std::to_string(field.int64Value);
        break;
      case Field::kString:
        AppendQuoted(out, field.stringValue);
        break;
      case Field::kIntList:
        out += '[';
        for (std::size_t i = 0; i < field.intList->size(); ++i) {
          if (i != 0) out += ' ';
          out += std::to_string((*field.intList)[i]);
        }
        out += ']';
        break;
      case Field::kObject:
        field.object->serialize(out, withIndices);
        break;
      case Field::kObjectList:
        out += '[';
        for (std::size_t i = 0; i < field.objectList->size(); ++i) {
          if (i != 0) out += ' ';
          (*field.objectList)[i].serialize(out, withIndices);
        }
        out += ']';
        break;
    }
  }
  out += '}';
}

std::string CNMessageBase::toString() const {
  std::string out;
  serialize(out, false);
  return out;
}
