// The browse of one page: what a browse uses (the browse clients, the
// in-process handler, the response object) and what one browse learns, from
// the request it sends to the outcome it gives and the range it records.
//
// Its entries are the browser's operations of the same names, which log as
// themselves: each hands its LogSite in, and the unit writes its lines
// there.
//
// Thread-safety: one browse at a time, under the browser's browse
// semaphore, on the calling thread; only the response processing runs on
// the browse service's thread, while a request is out. What it learns there
// is atomic or written under the extent map lock, and read once the request
// has returned.
#ifndef EXTENTBROWSE_SRC_BROWSER_PAGEBROWSE_H
#define EXTENTBROWSE_SRC_BROWSER_PAGEBROWSE_H

#include <atomic>
#include <memory>
#include <string>

#include <boost/shared_ptr.hpp>

#include "BrowseMessages.h"
#include "IdxBrowseClient.h"
#include "browser/BrowserSettings.h"
#include "browser/PageStart.h"
#include "browser/TdfsIdxBrowseClientResp.h"
#include "common/EBLog.h"
#include "common/VolumeCtxt.h"
#include "extentbrowse/EBExtentNameConverter.h"

class ExtentBrowseImpl;

// A range a completed browse records; none when it can claim nothing.
struct BrowsedRange {
  bool recorded = false;
  unsigned long long first = 0;
  unsigned long long last = 0;
};

class PageBrowse {
 public:
  // `owner` receives the responses, through the response object. The others
  // are the browser's and outlive the unit.
  PageBrowse(ExtentBrowseImpl* owner, const BrowserSettings& settings,
             EBExtentNameConverter& converter, VolumeCtxt& volume);
  PageBrowse(const PageBrowse&) = delete;
  PageBrowse& operator=(const PageBrowse&) = delete;

  // The start of the page that begins at `pageName`: its number is read
  // here, once, and the request's name and form are chosen from it.
  PageStart StartAt(const std::string& pageName, unsigned long long rangeStart);
  static PageStart WholeItem();

  // One browse from `start`: what it learns is reset, `send` (the browser's
  // Browse or BrowseFSExtent, so that their lines are theirs) sends it, and
  // it is judged. True when the index answered it; otherwise the reasons
  // are logged at `site`.
  template <typename Send>
  bool Run(const LogSite& site, const PageStart& start, Send send) {
    Begin(start);
    int result = -1;
    try {
      result = send();
    } catch (...) {
      // The reason is worth a line of its own, since the failure line cannot
      // carry it.
      EB_LOG_AT(site, -1, "Browse() threw: %s", ThrownText());
    }
    return Judge(site, result);
  }

  // The number of the page at `pageName`: this browse's own, or read from
  // the name for a page it did not start.
  unsigned long long NumberOf(const std::string& pageName) const;
  // What a completed browse of the page at `first` may claim browsed.
  BrowsedRange RangeToRecord(unsigned long long first) const;
  // What every failed browse leaves: the browser failed, its default client
  // and the handler dropped, so that the next browse starts over.
  void DropFailedBrowse() noexcept;

  // Browse and BrowseFSExtent: a request readied through the form's client,
  // then sent. 0 on success, -1 when the client failed to initialise,
  // otherwise the failure the browse returned.
  int SendNamePaged(const LogSite& site, const std::string& startExtentName,
                    unsigned int copyPrecedence, unsigned int pageSize,
                    unsigned long long pagingOffset, const std::string& maName);
  int SendExtentRange(const LogSite& site, const std::string& startExtentName,
                      unsigned int copyPrecedence, unsigned int pageSize,
                      unsigned long long pagingOffset, unsigned long long rangeStart,
                      const std::string& maName);

  // The response callbacks. A message is checked for null and for its class
  // and read as a response into `copy` when need be; false, with the
  // browse failed, when it is not one.
  bool AsResponse(const LogSite& site, CNMessageBase* message, databrowse::BrowseResponse& copy,
                  databrowse::BrowseResponse*& response) noexcept;
  bool Process(const LogSite& site, databrowse::BrowseResponse* response) noexcept;

  void SetStartExtentNotFound(bool value) { browse_.startExtentNotFound = value; }
  void ResetReturnedStartExtent() { browse_.returnedStartExtent.clear(); }
  // The browser's destructor frees the response object once no browse runs.
  void ReleaseResponseObject() { response_.reset(); }

 private:
  // A request readied by one of the two forms, for the one send path.
  struct OutgoingPage;

  // What one browse learns. Reset when it starts; written by the response
  // callbacks on the browse service's thread while the request is out; read
  // on the calling thread once the request has returned. Hence the atomics.
  struct BrowseState {
    PageStart start;
    // Calling thread: the index was asked for rows, not names (database
    // items over V2).
    bool byRow = false;
    // Set by the index's "not in the backup" answer, cleared by every other
    // response that is not an end response.
    std::atomic<bool> startExtentNotFound{false};
    // The END response or the "not in the backup" answer arrived. A browse
    // without either was never answered, whatever its call returned.
    std::atomic<bool> answered{false};
    std::atomic<bool> responseFailed{false};
    // A response of this browse carried items; the first was extent firstItem.
    std::atomic<bool> itemsReceived{false};
    std::atomic<unsigned long long> firstItem{0};
    // Emptied at the start; nothing reads it, but the browser's interface
    // names it.
    std::string returnedStartExtent;
  };

  void Begin(const PageStart& start);
  bool Judge(const LogSite& site, int result);
  OutgoingPage PrepareNamePaged(const LogSite& site, const std::string& startExtentName,
                                unsigned int copyPrecedence, unsigned int pageSize,
                                unsigned long long pagingOffset, const std::string& maName);
  OutgoingPage PrepareExtentRange(const LogSite& site, const std::string& startExtentName,
                                  unsigned int copyPrecedence, unsigned int pageSize,
                                  unsigned long long pagingOffset, unsigned long long rangeStart,
                                  const std::string& maName);
  int Send(OutgoingPage& page);
  void MarkResponseFailure() noexcept;
  std::string::size_type NameLengthOf(unsigned long long extent) const;

  const BrowserSettings& settings_;
  EBExtentNameConverter& converter_;
  VolumeCtxt& volume_;
  std::unique_ptr<TdfsIdxBrowseClientResp> response_;
  boost::shared_ptr<IdxBrowseClient> idxBrowseClient_;
  boost::shared_ptr<IdxBrowseClient> fsIdxBrowseClient_;
  boost::shared_ptr<BrowseRequestHandler> browseRequestHandler_;
  BrowseState browse_;  // the browse in progress, or the last one
  // Service thread: some response has carried an item, so the converter
  // has read one of the index's own names and knows the item's scheme.
  std::atomic<bool> itemNameRead_{false};
};

#endif  // EXTENTBROWSE_SRC_BROWSER_PAGEBROWSE_H
