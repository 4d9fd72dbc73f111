// The browser's response object: the callback the browse service calls once
// per response, on whatever thread it delivers on. It forwards every
// response to the browser that created it.
#ifndef EXTENTBROWSE_SRC_BROWSER_TDFSIDXBROWSECLIENTRESP_H
#define EXTENTBROWSE_SRC_BROWSER_TDFSIDXBROWSECLIENTRESP_H

#include "IdxBrowseClient.h"
#include "extentbrowse/Export.h"

class ExtentBrowseImpl;

// One per browser, owned by it; deleted through this class, never through a
// base.
class EB_EXPORT TdfsIdxBrowseClientResp final : public IdxBrowseClientResp,
                                                public DirectIdxBrowseClientResp {
 public:
  // `owner` is the browser that created the object; without one, every
  // response is refused.
  explicit TdfsIdxBrowseClientResp(ExtentBrowseImpl* owner);

  // Serves both bases: the remote client's generic entry and the in-process
  // handler's.
  bool processResp(CNMessageBase* message) override;
  bool processResp(databrowse::BrowseResponse* response) override;

  ExtentBrowseImpl* const owner;
};

#endif  // EXTENTBROWSE_SRC_BROWSER_TDFSIDXBROWSECLIENTRESP_H
