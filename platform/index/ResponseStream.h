// Building an answer one response at a time. Internal to the index service.
#ifndef EBINDEX_RESPONSESTREAM_H
#define EBINDEX_RESPONSESTREAM_H

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BrowseMessages.h"
#include "PageSelection.h"
#include "ebindex/Catalogue.h"
#include "ebindex/IndexService.h"

namespace ebindex {

// The source of one answer's responses, built only when asked for, so that
// an answer of a million entries never exists as a million messages.
class ResponseSource {
 public:
  virtual ~ResponseSource() = default;
  // Puts the next response in `response` (null for a scripted null message)
  // and returns true, or returns false once the answer is over.
  virtual bool next(std::unique_ptr<CNMessageBase>& response) = 0;
};

// How many items the next data response holds.
typedef std::function<std::size_t()> ResponseSizer;

// The index's real answer: data responses of the selected entries, or the
// not-found error, then the end response. Keeps `catalogue` alive while it
// reads from it.
class AnswerStream : public ResponseSource {
 public:
  AnswerStream(std::shared_ptr<const Catalogue> catalogue, const databrowse::BrowseRequest& request,
               Protocol protocol, ResponseSizer sizer);
  bool next(std::unique_ptr<CNMessageBase>& response) override;

 private:
  std::shared_ptr<const Catalogue> catalogue_;
  ResponseSizer sizer_;
  std::string itemPath_;
  PageSelection selection_;
  std::size_t sent_ = 0;  // entries handed out so far
  // Said instead of data when nothing was selected: "no such path" for an
  // item the catalogue lacks, else "not in the backup".
  int error_ = kErrorExtentNotFound;
  bool errorSent_ = false;
  bool endSent_ = false;
};

// A scripted answer in place of the real one; kPage and kEmptyErrorList
// draw on fresh real answers to the same request.
class ScriptedStream : public ResponseSource {
 public:
  ScriptedStream(std::vector<ScriptedResponse> script,
                 std::function<std::unique_ptr<AnswerStream>()> realAnswer);
  bool next(std::unique_ptr<CNMessageBase>& response) override;

 private:
  std::vector<ScriptedResponse> script_;
  std::function<std::unique_ptr<AnswerStream>()> realAnswer_;
  std::size_t step_ = 0;
  std::unique_ptr<AnswerStream> page_;  // the kPage step in progress
};

}  // namespace ebindex

#endif  // EBINDEX_RESPONSESTREAM_H
