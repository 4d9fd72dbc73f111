#include "BrowseResponseInput.h"

#include <algorithm>

#include "ebindex/ExtentNames.h"

namespace browsefuzz {

namespace {

constexpr char kItemNameSeparator = '\x12';

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

// The body's fields, set on `message` whatever its class.
void Fill(CNMessageBase& message, const BodyPlan& body, int nameLength) {
  if (body.hasType) message.setint64(1, 1, static_cast<long long>(body.type));
  if (body.errorList != BodyPlan::kNoErrors) {
    std::vector<CNMessageBase> errors;
    for (const ErrorPlan& plan : body.errors) {
      databrowse::BrowseError error;
      if (plan.hasCode) error.setint64(1, 1, static_cast<long long>(plan.code));
      errors.push_back(error);
    }
    message.setlistobject(4, 7, &errors);
  }
  if (!body.hasResult) return;
  databrowse::BrowseResult result;
  if (body.hasDataList) {
    std::vector<CNMessageBase> items;
    items.reserve(body.items.size());
    for (const ItemPlan& plan : body.items) {
      items.emplace_back(databrowse::BrowseData::kFamily, databrowse::BrowseData::kNumber);
      CNMessageBase& item = items.back();
      if (plan.hasPath) item.setstring(5, 5, plan.Path(nameLength));
      if (plan.hasArchiveFile) {
        databrowse::ArchiveFileInfo archiveFile;
        if (plan.hasId) archiveFile.setint64(1, 12, static_cast<long long>(plan.id));
        if (plan.hasValue) archiveFile.setint64(2, 13, static_cast<long long>(plan.value));
        item.setObjectAccessor(&archiveFile, 9, 21);
      }
      if (plan.hasAttributes) {
        databrowse::ItemAttributes attributes;
        if (plan.hasEmpty) attributes.setint64(1, 18, static_cast<long long>(plan.empty));
        item.setObjectAccessor(&attributes, 1, 1);
      }
    }
    result.setlistobject(3, 6, &items);
  }
  message.setObjectAccessor(&result, 6, 9);
}

bool Wide(long long value) { return value < 0 || value > 0xFF; }

BodyPlan BodyOf(const CNMessageBase& message) {
  BodyPlan body;
  body.hasType = message.hasTag(1);
  body.type = static_cast<unsigned long long>(message.getint64(1));
  body.wideType = Wide(message.getint64(1));
  if (const std::vector<CNMessageBase>* errors = message.findList(7)) {
    body.errorList = errors->empty() ? BodyPlan::kEmptyErrors : BodyPlan::kErrors;
    for (std::size_t i = 0; i < errors->size() && i < kMaxErrors; ++i) {
      ErrorPlan error;
      error.hasCode = (*errors)[i].hasTag(1);
      error.code = static_cast<unsigned long long>((*errors)[i].getint64(1));
      error.wide = Wide((*errors)[i].getint64(1));
      body.errors.push_back(error);
    }
  }
  const CNMessageBase* result = message.findObject(9);
  body.hasResult = result != nullptr;
  const std::vector<CNMessageBase>* items = result != nullptr ? result->findList(6) : nullptr;
  body.hasDataList = items != nullptr;
  if (items == nullptr) return body;
  for (std::size_t i = 0; i < items->size() && i < kMaxItems; ++i) {
    const CNMessageBase& data = (*items)[i];
    ItemPlan item;
    item.hasPath = data.hasTag(5);
    const std::string path = data.getstring(5, 5);
    const std::string::size_type separator = path.find(kItemNameSeparator);
    item.hasPrefix = separator != std::string::npos;
    item.prefix = item.hasPrefix ? path.substr(0, separator) : std::string();
    item.name.raw = item.hasPrefix ? path.substr(separator + 1) : path;
    if (const CNMessageBase* archiveFile = data.findObject(21)) {
      item.hasArchiveFile = true;
      item.hasId = archiveFile->hasTag(12);
      item.id = static_cast<unsigned long long>(archiveFile->getint64(12));
      item.hasValue = archiveFile->hasTag(13);
      item.value = static_cast<unsigned long long>(archiveFile->getint64(13));
    }
    if (const CNMessageBase* attributes = data.findObject(1)) {
      item.hasAttributes = true;
      item.hasEmpty = attributes->hasTag(18);
      item.empty = static_cast<unsigned long long>(attributes->getint64(18));
    }
    body.items.push_back(item);
  }
  return body;
}

}  // namespace

std::string NamePlan::Text(int nameLength) const {
  const unsigned int length = static_cast<unsigned int>(nameLength);
  switch (kind) {
    case kRaw:
      return raw;
    case kBase32:
      return ebindex::ExtentName(ebindex::NameScheme::kBase32, number, length);
    case kDecimal:
      return ebindex::ExtentName(ebindex::NameScheme::kDecimal, number, length);
    case kHex:
      return ebindex::ExtentName(ebindex::NameScheme::kHex, number, length);
  }
  return std::string();
}

std::string ItemPlan::Path(int nameLength) const {
  const std::string text = name.Text(nameLength);
  return hasPrefix ? prefix + kItemNameSeparator + text : text;
}

std::unique_ptr<CNMessageBase> ResponsePlan::Build(int nameLength) const {
  std::unique_ptr<CNMessageBase> message;
  switch (kind) {
    case kNull:
      return message;
    case kOtherClass:
      message.reset(new CNMessageBase(kOtherClasses[otherClass].family,
                                      kOtherClasses[otherClass].number));
      break;
    case kBrowseResponse:
      if (bareMessage && !typedEntry) {
        message.reset(new CNMessageBase(databrowse::BrowseResponse::kFamily,
                                        databrowse::BrowseResponse::kNumber));
      } else {
        message.reset(new databrowse::BrowseResponse());
      }
      break;
  }
  Fill(*message, body, nameLength);
  return message;
}

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
  const std::size_t responses = std::min(std::max<std::size_t>(input.responses.size(), 1),
                                         kMaxResponses);
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

ResponsePlan PlanOf(const CNMessageBase* message) {
  ResponsePlan plan;
  if (message == nullptr) return plan;
  const CNMessageBase::TagID id = message->getTagID();
  if (id == databrowse::BrowseResponse::classTagID()) {
    plan.kind = ResponsePlan::kBrowseResponse;
  } else {
    plan.kind = ResponsePlan::kOtherClass;
    const auto* end = std::end(kOtherClasses);
    plan.otherClass =
        static_cast<int>(std::find(std::begin(kOtherClasses), end, id) - std::begin(kOtherClasses));
    if (plan.otherClass == static_cast<int>(end - std::begin(kOtherClasses))) plan.otherClass = 0;
  }
  plan.body = BodyOf(*message);
  return plan;
}

}  // namespace browsefuzz
