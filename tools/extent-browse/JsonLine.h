// One answer of --json: an object on a line of its own.
#ifndef EXTENTBROWSE_TOOLS_JSONLINE_H
#define EXTENTBROWSE_TOOLS_JSONLINE_H

#include <ostream>

#include <nlohmann/json.hpp>

using Json = nlohmann::ordered_json;

// Names and file paths come from the user and need not be UTF-8; a JSON
// line must be, whatever they hold.
inline void EmitJson(std::ostream& out, const Json& answer) {
  out << answer.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
}

#endif  // EXTENTBROWSE_TOOLS_JSONLINE_H
