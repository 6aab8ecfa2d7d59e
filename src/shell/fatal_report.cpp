#include "shell/fatal_report.h"

#include <cstdio>

namespace brisane {

std::string FormatFatalMessage(const char* format, std::va_list args) {
  char buf[kFatalMessageLimit + 1] = {};
  if (format) std::vsnprintf(buf, sizeof buf, format, args);
  return buf;
}

std::string ComposeFatalReport(const std::string& message) {
  return message + "\n\nIf you see this message then please contact us at " + kSupportAddress + "\n";
}

}  // namespace brisane
