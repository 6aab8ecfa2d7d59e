#include "shell/command_line.h"

namespace brisane {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

CommandLine ParseCommandLine(std::string_view text) {
  CommandLine result;
  if (text.substr(0, 2) == "/p") {
    // "/p %u": any run of blanks (or none), then a decimal number.
    std::size_t i = 2;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i < text.size() && text[i] == '+') ++i;
    std::uintptr_t handle = 0;
    bool digits = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      handle = handle * 10u + static_cast<std::uintptr_t>(text[i] - '0');
      digits = true;
    }
    if (digits && handle != 0) {
      result.mode = RunMode::Preview;
      result.parentWindow = handle;
    }
    return result;
  }
  if (text.empty() || text.substr(0, 2) == "/c") result.mode = RunMode::Configuration;
  return result;
}

}  // namespace brisane
