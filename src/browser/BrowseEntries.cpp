// The browser's operations that are the page browse's entries: the request
// forms, the response callbacks and the two setters. Each hands the unit its
// own site, so that the unit's lines are these operations'.
#include "browser/BrowserState.h"
#include "browser/PageStart.h"

int ExtentBrowseImpl::Browse(const std::string& startExtentName, unsigned int copyPrecedence,
                             unsigned int pageSize, unsigned long long pagingOffset,
                             unsigned long long rangeStart, const std::string& maName) {
  if (rangeStart != kNoRangeStart) {
    return BrowseFSExtent(startExtentName, copyPrecedence, pageSize, pagingOffset, rangeStart,
                          maName);
  }
  return state->pages.SendNamePaged(EB_HERE, startExtentName, copyPrecedence, pageSize,
                                    pagingOffset, maName);
}

int ExtentBrowseImpl::BrowseFSExtent(const std::string& startExtentName,
                                     unsigned int copyPrecedence, unsigned int pageSize,
                                     unsigned long long pagingOffset, unsigned long long rangeStart,
                                     const std::string& maName) {
  return state->pages.SendExtentRange(EB_HERE, startExtentName, copyPrecedence, pageSize,
                                      pagingOffset, rangeStart, maName);
}

bool ExtentBrowseImpl::IdxBrowseClientProcessRespCallback(CNMessageBase* message) {
  databrowse::BrowseResponse copy;
  databrowse::BrowseResponse* response = nullptr;
  if (!state->pages.AsResponse(EB_HERE, message, copy, response)) return false;
  return IdxBrowseClientProcessRespCallback(response);
}

bool ExtentBrowseImpl::IdxBrowseClientProcessRespCallback(databrowse::BrowseResponse* response) {
  return state->pages.Process(EB_HERE, response);
}

void ExtentBrowseImpl::setStartExtentNotFound(bool value) {
  state->pages.SetStartExtentNotFound(value);
}

void ExtentBrowseImpl::resetReturnedStartExtent() { state->pages.ResetReturnedStartExtent(); }
