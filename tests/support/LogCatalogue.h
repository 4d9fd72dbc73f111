// The log line catalogue of docs/embedding.md, as the tests hold the
// library to it: every line the library writes has a row giving its level,
// its exact format and the signature of the function that writes it.
#ifndef EXTENTBROWSE_TESTS_SUPPORT_LOGCATALOGUE_H
#define EXTENTBROWSE_TESTS_SUPPORT_LOGCATALOGUE_H

#include <string>
#include <vector>

#include "LogWriters.h"

namespace ebtest {

struct CataloguedLine {
  int level;
  std::string format;
  std::string function;  // as g++ writes __PRETTY_FUNCTION__
};

// The catalogue's rows, read once from the guide.
const std::vector<CataloguedLine>& LogCatalogue();

// A signature as g++ writes it, whichever compiler wrote it.
std::string GccSignature(const std::string& function);

// The lines among `lines` that the library wrote but the catalogue does not
// hold at their level under their function, one per text line; "" when
// there are none. The platform's own lines (the counter table) are not the
// library's.
std::string UncataloguedLines(const std::vector<CCaptureLogWriter::Line>& lines);

}  // namespace ebtest

#endif  // EXTENTBROWSE_TESTS_SUPPORT_LOGCATALOGUE_H
