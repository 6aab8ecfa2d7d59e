#include "settings/registry_text.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace brisane {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// "%u": optional blanks, optional sign, decimal digits; wraps like strtoul.
bool ScanUnsigned(std::string_view& s, std::uint32_t& out) {
  std::size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  const std::size_t digits = i;
  std::uint32_t v = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') v = v * 10u + static_cast<std::uint32_t>(s[i++] - '0');
  if (i == digits) return false;
  out = negative ? 0u - v : v;
  s.remove_prefix(i);
  return true;
}

}  // namespace

std::optional<std::string> FormatRegistryText(const Value& value) {
  char buf[64];
  switch (value.Type()) {
    case ValueType::Float: {
      // "%f" of a huge float has up to 39 integer digits; 64 bytes always fit.
      std::snprintf(buf, sizeof buf, "%u: %f", 1u, static_cast<double>(value.AsFloat()));
      return std::string(buf);
    }
    case ValueType::Int:
      std::snprintf(buf, sizeof buf, "%u: %i", 2u, static_cast<int>(value.AsInt()));
      return std::string(buf);
    case ValueType::String: {
      std::string s = value.AsString();
      if (s.empty()) return std::nullopt;  // an empty text never replaces a stored one
      return "3: " + s;
    }
    default:
      return std::nullopt;
  }
}

std::optional<Value> ParseRegistryText(std::string_view data) {
  // The stored bytes may or may not end in a terminator; read up to the first one.
  if (const std::size_t nul = data.find('\0'); nul != std::string_view::npos) data = data.substr(0, nul);

  std::uint32_t tag = 0;
  if (!ScanUnsigned(data, tag)) return std::nullopt;
  if (data.empty() || data.front() != ':') return std::nullopt;
  data.remove_prefix(1);
  while (!data.empty() && IsBlank(data.front())) data.remove_prefix(1);
  const std::string text(data.substr(0, data.find('\t')));
  if (text.empty()) return std::nullopt;

  char* end = nullptr;
  switch (tag) {
    case 1: {
      errno = 0;
      const float f = std::strtof(text.c_str(), &end);
      if (end == text.c_str()) return std::nullopt;
      return Value(f);
    }
    case 2: {
      // "%i": decimal, 0x hexadecimal or leading-zero octal. Anything that
      // fits in 32 bits is taken (0xFFFFFFFF is -1); beyond that is not a number.
      errno = 0;
      const long long v = std::strtoll(text.c_str(), &end, 0);
      if (end == text.c_str() || errno == ERANGE) return std::nullopt;
      if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
      return Value(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
    }
    case 3:
      return Value(text);
    default:
      return std::nullopt;
  }
}

}  // namespace brisane
