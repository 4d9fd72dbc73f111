// A page request made ready by one of the two request forms, for the one
// send path. Internal to the library.
#ifndef EXTENTBROWSE_SRC_BROWSER_OUTGOINGPAGE_H
#define EXTENTBROWSE_SRC_BROWSER_OUTGOINGPAGE_H

#include <string>

#include "IdxBrowseClient.h"
#include "browser/PageBrowse.h"
#include "common/EBLog.h"

struct PageBrowse::OutgoingPage {
  OutgoingPage(const LogSite& site, const std::string& startName, unsigned long long pagingOffset,
               unsigned int pageSize)
      : site(site), startName(startName), pagingOffset(pagingOffset), pageSize(pageSize) {}

  // Where the send path's lines are written: in Browse or BrowseFSExtent,
  // the operations log readers know.
  LogSite site;
  // The client whose held request goes out; owned by the unit.
  IdxBrowseClient* client = nullptr;
  // Sent beside the held request on V2 and to a remote V1 browse host;
  // without it the client sends the request it holds, as it holds it.
  bool hasWrapper = false;
  IdxBrowseClientReq wrapper;
  // V2 items whose index pages them by number: the start extent's number
  // goes into the held queries as their paging offset, and the held request
  // goes alone.
  bool startNumberAsOffset = false;
  // Where the page starts. An in-process browse writes it, the offset and
  // the size into the V1 request's own queries, which it sends as they are.
  std::string startName;
  unsigned long long pagingOffset = 0;
  unsigned int pageSize = 0;
};

#endif  // EXTENTBROWSE_SRC_BROWSER_OUTGOINGPAGE_H
