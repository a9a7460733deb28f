#pragma once
// Numbers as decimal text, the same in any C locale.
#include <algorithm>
#include <charconv>
#include <concepts>
#include <string>

namespace zelk {

// A whole number as its digits; a double as its shortest text that reads back as the
// same value ("2.5", "1e+20").
template <typename T>
  requires(std::integral<T> && !std::same_as<T, bool>) || std::same_as<T, double>
std::string numberText(T v) {
  char buf[32];  // a 64-bit number or a double's shortest form (24 characters at most)
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

// A double with exactly `decimals` places ("3.14").
inline std::string fixedText(double v, int decimals) {
  std::string s(312 + static_cast<std::size_t>(std::max(decimals, 0)), '\0');  // 309 whole digits at most
  auto r = std::to_chars(s.data(), s.data() + s.size(), v, std::chars_format::fixed, decimals);
  s.resize(static_cast<std::size_t>(r.ptr - s.data()));
  return s;
}

}  // namespace zelk
