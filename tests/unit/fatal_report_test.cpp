#include "shell/fatal_report.h"

#include <gtest/gtest.h>

#include <string>

namespace brisane {
namespace {

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string s = FormatFatalMessage(format, args);
  va_end(args);
  return s;
}

// The text is cut at the limit, never past it, and a missing format is empty.
TEST(FatalReportTest, MessagesAreCutAtTheLimitAndEndWithTheSupportLine) {
  const std::string exact(496, 'e'), longer = exact + "tail";
  EXPECT_EQ(Format("%s", exact.c_str()), exact);
  EXPECT_EQ(Format("%s", longer.c_str()), exact);
  EXPECT_EQ(Format(nullptr), "");
  EXPECT_EQ(ComposeFatalReport("FATAL ERROR in InitWindow(): RegisterClass return NULL"),
            std::string("FATAL ERROR in InitWindow(): RegisterClass return NULL\n\nIf you see this message then please "
                        "contact us at ") + kSupportAddress + "\n");
}

}  // namespace
}  // namespace brisane
