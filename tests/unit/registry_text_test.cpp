#include "settings/registry_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace brisane {
namespace {

using namespace std::string_literals;

std::optional<std::string> Text(const Value& v) { return FormatRegistryText(v); }

TEST(RegistryTextFormat, WritesTagColonBlankValueAndSkipsWhatIsNotWritten) {
  EXPECT_EQ(Text(Value(std::int32_t{21})), "2: 21");
  EXPECT_EQ(Text(Value(std::numeric_limits<std::int32_t>::min())), "2: -2147483648");
  EXPECT_EQ(Text(Value(-1.25f)), "1: -1.250000");
  EXPECT_EQ(Text(Value("C:\\flags\\my.jpg")), "3: C:\\flags\\my.jpg");
  EXPECT_EQ(Text(Value()), std::nullopt);
  EXPECT_EQ(Text(Value("")), std::nullopt) << "an empty text never replaces a stored one";
  EXPECT_EQ(Text(Value(std::make_unique<Node>())), std::nullopt);
  const std::string big = *Text(Value(std::numeric_limits<float>::max()));
  EXPECT_EQ(big.substr(0, 6), "1: 340");
  EXPECT_EQ(big.size(), 3u + 39u + 7u) << "written whole";
}

TEST(RegistryTextParse, IntegersTakeDecimalHexAndOctalWithin32Bits) {
  const struct {
    const char* text;
    std::optional<std::int32_t> value;
  } cases[] = {{"2: 21", 21}, {"2: 0x10", 16}, {"2: 0X1f", 31}, {"2: 010", 8}, {"2: -5000", -5000},
               {"2: +7", 7}, {"2: 12abc", 12},  // read up to the first stray character
               {"2: 0xFFFFFFFF", -1},           // 32-bit patterns are taken as they are
               {"2: 0x1FFFFFFFF", std::nullopt}, {"2: -2147483649", std::nullopt},
               {"2: 99999999999999999999999", std::nullopt}, {"2: abc", std::nullopt}};
  for (const auto& c : cases) {
    const auto v = ParseRegistryText(c.text);
    ASSERT_EQ(v.has_value(), c.value.has_value()) << c.text;
    if (v) {
      EXPECT_EQ(v->Type(), TypeInt) << c.text;
      EXPECT_EQ(v->AsInt(), *c.value) << c.text;
    }
  }
}

TEST(RegistryTextParse, FloatsAndStrings) {
  const auto f = ParseRegistryText("1: 0.500000");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->Type(), TypeFloat);
  EXPECT_FLOAT_EQ(f->AsFloat(), 0.5f);
  EXPECT_FLOAT_EQ(ParseRegistryText("1: -2.5e3")->AsFloat(), -2500.0f);
  EXPECT_FLOAT_EQ(ParseRegistryText("1: 3")->AsFloat(), 3.0f);
  EXPECT_EQ(ParseRegistryText("1: x"), std::nullopt);

  EXPECT_EQ(ParseRegistryText("3: abc\tmore")->AsString(), "abc") << "text ends at the first tab";
  EXPECT_EQ(ParseRegistryText("3: C:\\My Flags\\flag one.jpg")->AsString(), "C:\\My Flags\\flag one.jpg");
  EXPECT_EQ(ParseRegistryText("3:abc")->AsString(), "abc") << "the blank matches none too";
  EXPECT_EQ(ParseRegistryText("3:   \t  abc")->AsString(), "abc") << "the blank matches any run of white space";
  EXPECT_EQ(ParseRegistryText("  3: x")->AsString(), "x");
  EXPECT_EQ(ParseRegistryText("2:\t5")->AsInt(), 5);
}

TEST(RegistryTextParse, ATerminatorInTheDataEndsTheText) {
  EXPECT_EQ(ParseRegistryText("2: 21\0"s)->AsInt(), 21);
  EXPECT_EQ(ParseRegistryText("3: ab\0cd"s)->AsString(), "ab");
  EXPECT_EQ(ParseRegistryText("\0"s "2: 21"s), std::nullopt);
}

TEST(RegistryTextParse, UnknownTagsAndMalformedDataAreAbsent) {
  for (const char* bad : {"7: 5", "0: 5", "4: 5", "-1: 5", "", "2", "2:", "2: ", "2 5", ": 5",
                          "x: 5", "3: \t", "3: \t\t"}) {
    EXPECT_EQ(ParseRegistryText(bad), std::nullopt) << '"' << bad << '"';
  }
}

TEST(RegistryTextParse, ReadsBackWhatIsWritten) {
  for (const Value& v : {Value(std::int32_t{0}), Value(std::int32_t{-1}), Value(std::int32_t{2147483647}),
                         Value(0.25f), Value(-100.125f), Value("x"), Value(std::string(5000, 'z'))}) {
    const auto back = ParseRegistryText(*FormatRegistryText(v));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Type(), v.Type());
    EXPECT_EQ(back->AsInt(), v.AsInt());
    EXPECT_EQ(back->AsFloat(), v.AsFloat());
    EXPECT_EQ(back->AsString(), v.AsString());
  }
}

}  // namespace
}  // namespace brisane
