#include "naming/NewExtentNameConverter.h"

#include "naming/ExSQLExtentNameConverter.h"
#include "naming/FSExtentNameConverter.h"
#include "naming/VSAExtentNameConverter.h"

EBExtentNameConverter* NewExtentNameConverter(int appType, int extentNameLength) {
  switch (appType) {
    case 106:
      return new VSAExtentNameConverter(extentNameLength);
    case 53:
    case 81:
      return new ExSQLExtentNameConverter(extentNameLength);
    default:
      return new FSExtentNameConverter(extentNameLength);
  }
}
