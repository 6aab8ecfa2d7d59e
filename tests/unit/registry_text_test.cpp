#include "settings/registry_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace brisane {
namespace {

using namespace std::string_literals;

TEST(RegistryTextFormat, WritesTagColonBlankValueAndSkipsWhatIsNotWritten) {
  EXPECT_EQ(FormatRegistryText(Value(std::int32_t{21})), "2: 21");
  EXPECT_EQ(FormatRegistryText(Value(-1.25f)), "1: -1.250000");
  EXPECT_EQ(FormatRegistryText(Value()), std::nullopt);
  EXPECT_EQ(FormatRegistryText(Value("")), std::nullopt);  // an empty text never replaces a stored one
  EXPECT_EQ(FormatRegistryText(Value(std::make_unique<Node>())), std::nullopt);
  const std::string big = *FormatRegistryText(Value(std::numeric_limits<float>::max()));
  EXPECT_EQ(big.size(), 3u + 39u + 7u);  // written whole
  // What is written reads back.
  for (const Value& v : {Value(std::numeric_limits<std::int32_t>::min()), Value(-100.125f), Value(std::string(5000, 'z'))}) {
    const auto back = ParseRegistryText(*FormatRegistryText(v));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Type(), v.Type());
    EXPECT_TRUE(back->AsInt() == v.AsInt() && back->AsFloat() == v.AsFloat() && back->AsString() == v.AsString());
  }
}

TEST(RegistryTextParse, EachTagReadsItsTypeAndAnythingElseIsAbsent) {
  const struct {
    std::string text;
    std::optional<Value> value;
  } cases[] = {
      {"2: 0x10", Value(16)}, {"2: 010", Value(8)}, {"2: 12abc", Value(12)},  // up to the first stray character
      {"2: 0xFFFFFFFF", Value(-1)},  // 32-bit patterns are taken as they are
      {"2: 0x1FFFFFFFF", std::nullopt}, {"2: -2147483649", std::nullopt}, {"2: abc", std::nullopt},
      {"1: -2.5e3", Value(-2500.0f)}, {"1: x", std::nullopt},
      {"3: abc\tmore", Value("abc")},  // text ends at the first tab
      {"3: C:\\My Flags\\a.jpg", Value("C:\\My Flags\\a.jpg")},
      {"3:abc", Value("abc")}, {"  3:   \t  abc", Value("abc")},  // the blank matches any run of white space
      {"2: 21\0"s, Value(21)}, {"3: ab\0cd"s, Value("ab")}, {"\0"s "2: 21"s, std::nullopt},  // a terminator ends it
      {"0: 5", std::nullopt}, {"4: 5", std::nullopt}, {"", std::nullopt}, {"2:", std::nullopt}, {"2 5", std::nullopt},
      {"x: 5", std::nullopt}, {"3: \t", std::nullopt},
  };
  for (const auto& c : cases) {
    const std::optional<Value> v = ParseRegistryText(c.text);
    ASSERT_EQ(v.has_value(), c.value.has_value()) << '"' << c.text << '"';
    if (!v) continue;
    EXPECT_EQ(v->Type(), c.value->Type()) << c.text;
    EXPECT_EQ(v->AsInt(), c.value->AsInt()) << c.text;
    EXPECT_FLOAT_EQ(v->AsFloat(), c.value->AsFloat()) << c.text;
    EXPECT_EQ(v->AsString(), c.value->AsString()) << c.text;
  }
}

}  // namespace
}  // namespace brisane
