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

TEST(FatalReportTest, MessagesAreCutAtTheLimitAndEndWithTheSupportLine) {
  const std::string exact(496, 'e');
  EXPECT_EQ(Format("%s", exact.c_str()), exact);
  EXPECT_EQ(Format("%stail", exact.c_str()), exact);
  EXPECT_EQ(Format(nullptr), "");
  EXPECT_EQ(ComposeFatalReport("FATAL ERROR in X(): failed"),
            std::string("FATAL ERROR in X(): failed\n\nIf you see this message then please contact us at ") +
                kSupportAddress + "\n");
}

}  // namespace
}  // namespace brisane
