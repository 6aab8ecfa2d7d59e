#include "settings/registry_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace brisane {
namespace {

using namespace std::string_literals;

std::optional<std::string> Text(const Value& v) { return FormatRegistryText(v); }

TEST(RegistryTextFormat, WritesTagColonBlankValue) {
  EXPECT_EQ(Text(Value(std::int32_t{21})), "2: 21");
  EXPECT_EQ(Text(Value(std::int32_t{0})), "2: 0");
  EXPECT_EQ(Text(Value(std::int32_t{-5000})), "2: -5000");
  EXPECT_EQ(Text(Value(std::numeric_limits<std::int32_t>::min())), "2: -2147483648");
  EXPECT_EQ(Text(Value(0.5f)), "1: 0.500000");
  EXPECT_EQ(Text(Value(-1.25f)), "1: -1.250000");
  EXPECT_EQ(Text(Value("C:\\flags\\my.jpg")), "3: C:\\flags\\my.jpg");
}

TEST(RegistryTextFormat, SkipsCellsThatAreNotWritten) {
  EXPECT_EQ(Text(Value()), std::nullopt);
  EXPECT_EQ(Text(Value("")), std::nullopt);
  EXPECT_EQ(Text(Value(std::make_unique<Node>())), std::nullopt);
}

TEST(RegistryTextFormat, HugeFloatsAndLongStringsAreWrittenWhole) {
  const std::string big = *Text(Value(std::numeric_limits<float>::max()));
  EXPECT_EQ(big.substr(0, 6), "1: 340");
  EXPECT_EQ(big.substr(big.size() - 7), ".000000");
  EXPECT_EQ(big.size(), 3u + 39u + 7u);
  const std::string path(300, 'p');
  EXPECT_EQ(Text(Value(path)), "3: " + path);
}

TEST(RegistryTextParse, IntegersTakeDecimalHexAndOctal) {
  EXPECT_EQ(ParseRegistryText("2: 21")->AsInt(), 21);
  EXPECT_EQ(ParseRegistryText("2: 0x10")->AsInt(), 16);
  EXPECT_EQ(ParseRegistryText("2: 0X1f")->AsInt(), 31);
  EXPECT_EQ(ParseRegistryText("2: 010")->AsInt(), 8);
  EXPECT_EQ(ParseRegistryText("2: -5000")->AsInt(), -5000);
  EXPECT_EQ(ParseRegistryText("2: +7")->AsInt(), 7);
  EXPECT_EQ(ParseRegistryText("2: 12abc")->AsInt(), 12) << "a number is read up to the first stray character";
  EXPECT_EQ(ParseRegistryText("2: 0xFFFFFFFF")->AsInt(), -1) << "32-bit patterns are taken as they are";
  EXPECT_EQ(ParseRegistryText("2: 0x1FFFFFFFF"), std::nullopt) << "wider than 32 bits";
  EXPECT_EQ(ParseRegistryText("2: -2147483649"), std::nullopt);
  EXPECT_EQ(ParseRegistryText("2: 99999999999999999999999"), std::nullopt);
  EXPECT_EQ(ParseRegistryText("2: abc"), std::nullopt);
  EXPECT_EQ(ParseRegistryText("2: 5")->Type(), TypeInt);
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
