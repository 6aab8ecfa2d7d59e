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

const std::string kSupport = std::string("\n\nIf you see this message then please contact us at ") + kSupportAddress + "\n";

TEST(FatalReportTest, FormatsLikePrintf) {
  EXPECT_EQ(Format("FATAL ERROR in InitDirectDraw(): SetDisplayMode call failed, hr = %u", 0x80004005u),
            "FATAL ERROR in InitDirectDraw(): SetDisplayMode call failed, hr = 2147500037");
  EXPECT_EQ(Format("%s and %d", "text", -3), "text and -3");
  EXPECT_EQ(Format(nullptr), "");
}

TEST(FatalReportTest, MessagesAreCutAt496Characters) {
  const std::string exact(496, 'e');
  EXPECT_EQ(Format("%s", exact.c_str()), exact);
  const std::string longer = std::string(490, 'a') + std::string(200, 'b');
  const std::string cut = Format("%s", longer.c_str());
  EXPECT_EQ(cut.size(), 496u);
  EXPECT_EQ(cut, longer.substr(0, 496));
}

TEST(FatalReportTest, TheReportEndsWithTheSupportLine) {
  EXPECT_EQ(ComposeFatalReport("FATAL ERROR in InitWindow(): RegisterClass return NULL"),
            "FATAL ERROR in InitWindow(): RegisterClass return NULL" + kSupport);
  const std::string cut = Format("%s", std::string(1000, 'x').c_str());
  EXPECT_EQ(ComposeFatalReport(cut), std::string(496, 'x') + kSupport);
}

}  // namespace
}  // namespace brisane
