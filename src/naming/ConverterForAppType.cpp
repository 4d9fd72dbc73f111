#include "naming/ConverterForAppType.h"

#include "extentbrowse/ExtentBrowseTypes.h"
#include "naming/ExSQLExtentNameConverter.h"
#include "naming/FSExtentNameConverter.h"
#include "naming/VSAExtentNameConverter.h"

EBExtentNameConverter* ConverterForAppType(int appType, int extentNameLength) {
  if (appType == EB_APP_TYPE_VIRTUAL_SERVER) return new VSAExtentNameConverter(extentNameLength);
  if (EBIsDatabaseAppType(appType)) return new ExSQLExtentNameConverter(extentNameLength);
  return new FSExtentNameConverter(extentNameLength);
}
