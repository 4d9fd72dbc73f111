#include "ResponseStream.h"

#include <algorithm>

#include "IndexFields.h"

namespace ebindex {

namespace {

using namespace fields;

constexpr char kNameSeparator = '\x12';

std::unique_ptr<CNMessageBase> ResponseOfType(int type) {
  auto response = std::make_unique<databrowse::BrowseResponse>();
  response->setint64(kResponseType.index, kResponseType.tag, type);
  return response;
}

std::unique_ptr<CNMessageBase> ErrorResponse(int code) {
  databrowse::BrowseError error;
  error.setint64(kErrorCode.index, kErrorCode.tag, code);
  const std::vector<CNMessageBase> errors(1, error);
  std::unique_ptr<CNMessageBase> response = ResponseOfType(databrowse::BROWSE_RESPONSE_ERROR);
  response->setlistobject(kResponseErrors.index, kResponseErrors.tag, &errors);
  return response;
}

CNMessageBase& ResultOf(CNMessageBase& response) {
  return *response.getObjectAccessor(true, false, kResponseResult.index, kResponseResult.tag,
                                     databrowse::BrowseResult::kFamily,
                                     databrowse::BrowseResult::kNumber);
}

// The item list of a data response, created empty when absent.
std::vector<CNMessageBase>& ItemsOf(CNMessageBase& response) {
  return *ResultOf(response).getlistobject(kResultItems.index, kResultItems.tag, true);
}

// A data response with an empty item list, or with none when `withList` is
// false.
std::unique_ptr<CNMessageBase> DataResponse(bool withList) {
  std::unique_ptr<CNMessageBase> response = ResponseOfType(databrowse::BROWSE_RESPONSE_DATA);
  if (withList) {
    ItemsOf(*response);
  } else {
    ResultOf(*response);
  }
  return response;
}

// Children are built in place: the setters copy, and a page copied item by
// item into its list and again into its result costs more than the browse.
void FillDataItem(CNMessageBase& data, const std::string& itemPath, const Entry& entry) {
  std::string path;
  path.reserve(itemPath.size() + 1 + entry.name.size());
  path.append(itemPath).append(1, kNameSeparator).append(entry.name);
  data.setstring(kItemPath.index, kItemPath.tag, std::move(path));
  CNMessageBase* archiveFile = data.getObjectAccessor(
      true, false, kItemArchiveFile.index, kItemArchiveFile.tag,
      databrowse::ArchiveFileInfo::kFamily, databrowse::ArchiveFileInfo::kNumber);
  archiveFile->setint64(kArchiveFileId.index, kArchiveFileId.tag,
                        static_cast<long long>(entry.afileId));
  archiveFile->setint64(kArchiveFileValue.index, kArchiveFileValue.tag,
                        static_cast<long long>(entry.afileValue));
  CNMessageBase* attributes = data.getObjectAccessor(
      true, false, kItemAttributes.index, kItemAttributes.tag, databrowse::ItemAttributes::kFamily,
      databrowse::ItemAttributes::kNumber);
  attributes->setint64(kAttributesEmpty.index, kAttributesEmpty.tag, entry.empty ? 1 : 0);
}

}  // namespace

AnswerStream::AnswerStream(std::shared_ptr<const Catalogue> catalogue,
                           const databrowse::BrowseRequest& request, Protocol protocol,
                           ResponseSizer sizer)
    : catalogue_(std::move(catalogue)), sizer_(std::move(sizer)) {
  const PageRequest page = ReadRequest(request, protocol);
  const std::vector<Entry>* entries = catalogue_->find(page.path);
  if (entries != nullptr) {
    selection_ = Select(*entries, page);
    itemPath_ = catalogue_->storedPath(page.path);
  } else {
    error_ = kErrorNoSuchPath;
  }
}

bool AnswerStream::next(std::unique_ptr<CNMessageBase>& response) {
  if (endSent_) return false;
  if (selection_.empty() && !errorSent_) {
    errorSent_ = true;
    response = ErrorResponse(error_);
    return true;
  }
  if (sent_ == selection_.size()) {
    endSent_ = true;
    response = ResponseOfType(databrowse::BROWSE_RESPONSE_END);
    return true;
  }
  // At least one item per response, whatever a host configured.
  const std::size_t count = std::min(std::max<std::size_t>(sizer_(), 1), selection_.size() - sent_);
  response = DataResponse(true);
  std::vector<CNMessageBase>& items = ItemsOf(*response);
  items.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    items.emplace_back(databrowse::BrowseData::kFamily, databrowse::BrowseData::kNumber);
    FillDataItem(items.back(), itemPath_, selection_[sent_ + i]);
  }
  sent_ += count;
  return true;
}

ScriptedStream::ScriptedStream(std::vector<ScriptedResponse> script,
                               std::function<std::unique_ptr<AnswerStream>()> realAnswer)
    : script_(std::move(script)), realAnswer_(std::move(realAnswer)) {}

bool ScriptedStream::next(std::unique_ptr<CNMessageBase>& response) {
  while (step_ < script_.size()) {
    const ScriptedResponse& step = script_[step_];
    switch (step.kind) {
      case ScriptedResponse::kPage: {
        if (!page_) page_ = realAnswer_();
        while (page_->next(response)) {
          if (response->getint64(kResponseType.tag) != databrowse::BROWSE_RESPONSE_END) return true;
        }
        page_.reset();
        ++step_;
        continue;
      }
      case ScriptedResponse::kNull:
        response.reset();
        break;
      case ScriptedResponse::kOtherClass: {
        auto error = std::make_unique<databrowse::BrowseError>();
        error->setint64(kErrorCode.index, kErrorCode.tag, step.errorCode);
        response = std::move(error);
        break;
      }
      case ScriptedResponse::kErrorCode:
        response = ErrorResponse(step.errorCode);
        break;
      case ScriptedResponse::kNoBrowseResult:
        response = ResponseOfType(databrowse::BROWSE_RESPONSE_DATA);
        break;
      case ScriptedResponse::kNoDataList:
        response = DataResponse(false);
        break;
      case ScriptedResponse::kEmptyDataList:
        response = DataResponse(true);
        break;
      case ScriptedResponse::kEmptyErrorList: {
        // The first real page, so the items still reach the client; without
        // one, an empty page.
        std::unique_ptr<AnswerStream> real = realAnswer_();
        response.reset();
        while (real->next(response) && !response->hasTag(kResponseResult.tag)) response.reset();
        if (!response || !response->hasTag(kResponseResult.tag)) response = DataResponse(true);
        const std::vector<CNMessageBase> noErrors;
        response->setlistobject(kResponseErrors.index, kResponseErrors.tag, &noErrors);
        break;
      }
      case ScriptedResponse::kEnd:
        response = ResponseOfType(databrowse::BROWSE_RESPONSE_END);
        break;
    }
    ++step_;
    return true;
  }
  return false;
}

std::vector<databrowse::BrowseResponse> AnswerRequest(const Catalogue& catalogue,
                                                      const databrowse::BrowseRequest& request,
                                                      int itemsPerResponse, Protocol protocol) {
  // The caller's catalogue outlives this call: share it without owning it.
  AnswerStream stream(std::shared_ptr<const Catalogue>(&catalogue, [](const Catalogue*) {}),
                      request, protocol,
                      [itemsPerResponse] { return static_cast<std::size_t>(itemsPerResponse); });
  std::vector<databrowse::BrowseResponse> responses;
  std::unique_ptr<CNMessageBase> response;
  while (stream.next(response)) {
    responses.emplace_back();
    static_cast<CNMessageBase&>(responses.back()) = std::move(*response);
  }
  return responses;
}

}  // namespace ebindex
