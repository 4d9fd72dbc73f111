#include <ostream>
#include <string>

#include "JsonLine.h"
#include "Manual.h"

void PrintManual(std::ostream& out, bool json) {
  if (json) {
    EmitJson(out, {{"manual", std::string(kManual)}});
  } else {
    out << kManual;
  }
}
