// The text of the program's one fatal report; the box itself is the platform's.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

namespace brisane {

inline constexpr std::size_t kFatalMessageLimit = 496;
inline constexpr char kSupportAddress[] = "support@duskwright.example";

// printf-style formatting, cut at kFatalMessageLimit characters.
std::string FormatFatalMessage(const char* format, std::va_list args);
// The message followed by the line that tells the user where to report it.
std::string ComposeFatalReport(const std::string& message);

}  // namespace brisane
