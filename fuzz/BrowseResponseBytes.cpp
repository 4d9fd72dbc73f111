// The input format's bytes: decoding any input into a plan, and encoding a
// plan (for seeds) so that it decodes back to itself.
#include <algorithm>

#include "BrowseResponseInput.h"

namespace browsefuzz {

namespace {

class Reader {
 public:
  Reader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool AtEnd() const { return pos_ >= size_; }
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  unsigned long long Number(std::size_t bytes) {
    unsigned long long value = 0;
    for (std::size_t i = 0; i < bytes; ++i) {
      value |= static_cast<unsigned long long>(Byte()) << (8 * i);
    }
    return value;
  }
  std::string Text() {
    const std::size_t length = Byte();
    const std::size_t available = std::min(length, size_ - std::min(pos_, size_));
    std::string text(reinterpret_cast<const char*>(data_) + std::min(pos_, size_), available);
    pos_ += length;
    text.resize(length, '\0');
    return text;
  }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

class Writer {
 public:
  void Byte(unsigned value) { out_.push_back(static_cast<char>(value & 0xFF)); }
  void Number(unsigned long long value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i) Byte(static_cast<unsigned>(value >> (8 * i)));
  }
  // Texts longer than a length byte holds are cut.
  void Text(const std::string& text) {
    const std::size_t length = std::min<std::size_t>(text.size(), 255);
    Byte(static_cast<unsigned>(length));
    out_.append(text, 0, length);
  }
  const std::string& Bytes() const { return out_; }

 private:
  std::string out_;
};

NamePlan DecodeName(Reader& in) {
  NamePlan name;
  name.kind = static_cast<NamePlan::Kind>(in.Byte() & 3);
  if (name.kind == NamePlan::kRaw) {
    name.raw = in.Text();
  } else {
    name.number = in.Number(8);
  }
  return name;
}

void EncodeName(Writer& out, const NamePlan& name) {
  out.Byte(name.kind);
  if (name.kind == NamePlan::kRaw) {
    out.Text(name.raw);
  } else {
    out.Number(name.number, 8);
  }
}

ItemPlan DecodeItem(Reader& in) {
  ItemPlan item;
  const uint8_t flags = in.Byte();
  item.hasPath = flags & 1;
  item.hasPrefix = flags & 2;
  item.hasArchiveFile = flags & 4;
  item.hasId = flags & 8;
  item.hasValue = flags & 16;
  item.hasAttributes = flags & 32;
  item.hasEmpty = flags & 64;
  if (item.hasPath) {
    if (item.hasPrefix) item.prefix = in.Text();
    item.name = DecodeName(in);
  }
  if (item.hasArchiveFile && item.hasId) item.id = in.Number(8);
  if (item.hasArchiveFile && item.hasValue) item.value = in.Number(8);
  if (item.hasAttributes && item.hasEmpty) item.empty = in.Number(8);
  return item;
}

void EncodeItem(Writer& out, const ItemPlan& item) {
  out.Byte((item.hasPath ? 1 : 0) | (item.hasPrefix ? 2 : 0) | (item.hasArchiveFile ? 4 : 0) |
           (item.hasId ? 8 : 0) | (item.hasValue ? 16 : 0) | (item.hasAttributes ? 32 : 0) |
           (item.hasEmpty ? 64 : 0));
  if (item.hasPath) {
    if (item.hasPrefix) out.Text(item.prefix);
    EncodeName(out, item.name);
  }
  if (item.hasArchiveFile && item.hasId) out.Number(item.id, 8);
  if (item.hasArchiveFile && item.hasValue) out.Number(item.value, 8);
  if (item.hasAttributes && item.hasEmpty) out.Number(item.empty, 8);
}

BodyPlan DecodeBody(Reader& in) {
  BodyPlan body;
  const uint8_t flags = in.Byte();
  body.hasType = flags & 1;
  body.wideType = flags & 2;
  body.errorList = static_cast<BodyPlan::ErrorList>(std::min((flags >> 2) & 3, 2));
  body.hasResult = flags & 16;
  body.hasDataList = flags & 32;
  if (body.hasType) body.type = in.Number(body.wideType ? 8 : 1);
  if (body.errorList == BodyPlan::kErrors) {
    const std::size_t count = 1 + (in.Byte() & 3);
    for (std::size_t i = 0; i < count; ++i) {
      ErrorPlan error;
      const uint8_t errorFlags = in.Byte();
      error.hasCode = errorFlags & 1;
      error.wide = errorFlags & 2;
      if (error.hasCode) error.code = in.Number(error.wide ? 8 : 1);
      body.errors.push_back(error);
    }
  }
  if (body.hasResult && body.hasDataList) {
    const std::size_t count = in.Byte() & kMaxItems;
    for (std::size_t i = 0; i < count && !in.AtEnd(); ++i) body.items.push_back(DecodeItem(in));
  }
  return body;
}

void EncodeBody(Writer& out, const BodyPlan& body) {
  out.Byte((body.hasType ? 1 : 0) | (body.wideType ? 2 : 0) | (body.errorList << 2) |
           (body.hasResult ? 16 : 0) | (body.hasDataList ? 32 : 0));
  if (body.hasType) out.Number(body.type, body.wideType ? 8 : 1);
  if (body.errorList == BodyPlan::kErrors) {
    out.Byte(static_cast<unsigned>(body.errors.size() - 1));
    for (const ErrorPlan& error : body.errors) {
      out.Byte((error.hasCode ? 1 : 0) | (error.wide ? 2 : 0));
      if (error.hasCode) out.Number(error.code, error.wide ? 8 : 1);
    }
  }
  if (body.hasResult && body.hasDataList) {
    out.Byte(static_cast<unsigned>(body.items.size()));
    for (const ItemPlan& item : body.items) EncodeItem(out, item);
  }
}

}  // namespace

FuzzInput Decode(const uint8_t* data, std::size_t size) {
  Reader in(data, size);
  FuzzInput input;
  const uint8_t header = in.Byte();
  input.appTypeIndex = header & 3;
  const std::size_t responseCount = 1 + ((header >> 2) & 15);
  input.nameLength = static_cast<int8_t>(in.Byte());
  input.pageName = DecodeName(in);
  for (std::size_t i = 0; i < responseCount && !in.AtEnd(); ++i) {
    ResponsePlan response;
    const uint8_t kind = in.Byte();
    response.kind = static_cast<ResponsePlan::Kind>(std::min(kind & 3, 2));
    response.typedEntry = kind & 4;
    response.bareMessage = kind & 8;
    response.otherClass = (kind >> 3) & 3;
    if (response.kind == ResponsePlan::kOtherClass) response.typedEntry = false;
    if (response.kind != ResponsePlan::kNull) response.body = DecodeBody(in);
    input.responses.push_back(response);
  }
  return input;
}

std::string Encode(const FuzzInput& input) {
  Writer out;
  const std::size_t responses =
      std::min(std::max<std::size_t>(input.responses.size(), 1), kMaxResponses);
  out.Byte(static_cast<unsigned>(input.appTypeIndex | ((responses - 1) << 2)));
  out.Byte(static_cast<unsigned>(input.nameLength));
  EncodeName(out, input.pageName);
  for (std::size_t i = 0; i < input.responses.size() && i < kMaxResponses; ++i) {
    const ResponsePlan& response = input.responses[i];
    unsigned kind = response.kind;
    if (response.typedEntry) kind |= 4;
    if (response.kind == ResponsePlan::kOtherClass) kind |= response.otherClass << 3;
    if (response.kind == ResponsePlan::kBrowseResponse && response.bareMessage) kind |= 8;
    out.Byte(kind);
    if (response.kind != ResponsePlan::kNull) EncodeBody(out, response.body);
  }
  return out.Bytes();
}

}  // namespace browsefuzz
