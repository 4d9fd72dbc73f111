// Choosing the converter for an item by its application type.
#ifndef EXTENTBROWSE_SRC_NAMING_CONVERTERFORAPPTYPE_H
#define EXTENTBROWSE_SRC_NAMING_CONVERTERFORAPPTYPE_H

#include "extentbrowse/EBExtentNameConverter.h"

// Virtual server, database or (any other type) file system. The caller owns
// the result and deletes it through the base.
EBExtentNameConverter* ConverterForAppType(int appType, int extentNameLength);

#endif  // EXTENTBROWSE_SRC_NAMING_CONVERTERFORAPPTYPE_H
