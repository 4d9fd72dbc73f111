#include "common/LocalClientName.h"

std::string gEBLocalClientName;
