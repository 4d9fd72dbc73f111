// A message as the index delivered it, read back into a plan, for seeds.
#include <algorithm>
#include <iterator>

#include "BrowseResponseInput.h"

namespace browsefuzz {

namespace {

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
