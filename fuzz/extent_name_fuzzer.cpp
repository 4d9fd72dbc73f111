// Names come from the index, so any text may reach a converter. Reading one
// must be safe, and whatever scheme it leaves the converter in, the names the
// converter writes must read back to their numbers.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "FuzzSupport.h"
#include "extentbrowse/EBExtentNameConverter.h"
#include "extentbrowse/ExtentBrowseTypes.h"
#include "naming/ConverterForAppType.h"

namespace {

constexpr int kAppTypes[] = {0, EB_APP_TYPE_EXCHANGE_DATABASE, EB_APP_TYPE_SQL_DATABASE,
                             EB_APP_TYPE_VIRTUAL_SERVER};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SilenceLog();
  if (size < 1 + sizeof(unsigned long long)) return 0;
  const int appType = kAppTypes[data[0] & 3];
  const int nameLength = data[0] >> 2;  // 0 .. 63
  unsigned long long number;
  std::memcpy(&number, data + 1, sizeof number);
  const std::string name(reinterpret_cast<const char*>(data) + 1 + sizeof number,
                         size - 1 - sizeof number);

  std::unique_ptr<EBExtentNameConverter> converter(ConverterForAppType(appType, nameLength));
  converter->ExtentNameToNum(name);

  // Old-scheme virtual-server names are signed decimal and saturate.
  if (appType == EB_APP_TYPE_VIRTUAL_SERVER && !converter->isNewNamingScheme() &&
      number > LLONG_MAX) {
    return 0;
  }
  std::string written;
  converter->ExtentNumToName(number, written);
  if (converter->ExtentNameToNum(written) != number) Broken("a written name read back wrongly");

  converter->AddToBrowsedExtents(number, number);
  if (!converter->IsExtentAlreadyBrowsed(number)) Broken("a browsed extent is not browsed");
  return 0;
}
