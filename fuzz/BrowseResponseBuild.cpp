// A plan made into the message the browser is handed.
#include "BrowseResponseInput.h"

#include "ebindex/ExtentNames.h"

namespace browsefuzz {

namespace {

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
      message.reset(
          new CNMessageBase(kOtherClasses[otherClass].family, kOtherClasses[otherClass].number));
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

}  // namespace browsefuzz
