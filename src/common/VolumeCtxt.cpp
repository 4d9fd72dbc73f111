#include "common/VolumeCtxt.h"

VolumeCtxt::VolumeCtxt(const std::string& browsePath)
    : browsePath(browsePath), completionEvent(false) {
  completionEvent.reset();
}
