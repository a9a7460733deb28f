#include "platform/core/numread.h"

#include <charconv>
#include <cstdint>
#include <string>
#include <system_error>

#include "platform/core/date.h"
#include "platform/core/text.h"

namespace zelk {
namespace {

constexpr std::size_t kFloatChars = 39;  // the statements' number rule reads no further
constexpr std::size_t kExactDigits = 15;  // below 2^53: every such whole number is a double
constexpr double kPowersOfTen[kExactDigits + 1] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

bool isDigit(char c) { return c >= '0' && c <= '9'; }
// Blank, TAB and the control characters 0Ah to 0Dh.
bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

struct ScanRules {
  bool plusAllowed;   // a leading "+" is a sign; otherwise the text reads as 0
  bool commaIsPoint;  // "," serves as the decimal point like "."
};

// Reads the longest number at the start of s (after white space) and converts it.
// Anything the converter cannot hold (overflow, underflow) gives 0.
double scanNumber(std::string_view s, ScanRules rules) {
  const std::size_t n = s.size();
  std::size_t i = 0;
  while (i < n && isSpace(s[i])) ++i;

  bool negative = false;
  if (i < n && s[i] == '-') {
    negative = true;
    ++i;
  } else if (i < n && s[i] == '+') {
    if (!rules.plusAllowed) return 0;
    ++i;
  }

  const std::size_t intStart = i;
  while (i < n && isDigit(s[i])) ++i;
  const std::size_t intEnd = i;
  std::size_t fracStart = i, fracEnd = i;  // the fraction's digits, when there are any
  bool anyDigit = i > intStart;

  if (i < n && (s[i] == '.' || (rules.commaIsPoint && s[i] == ','))) {
    std::size_t j = i + 1;
    while (j < n && isDigit(s[j])) ++j;
    if (j > i + 1) {
      fracStart = i + 1;
      fracEnd = j;
      anyDigit = true;
    }
    if (anyDigit) i = j;
  }
  if (!anyDigit) return 0;

  std::size_t expStart = i, expEnd = i;  // the exponent's sign and digits, when it has digits
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < n && (s[j] == '+' || s[j] == '-')) ++j;
    const std::size_t expDigits = j;
    while (j < n && isDigit(s[j])) ++j;
    if (j > expDigits) {  // an "e" without digits is not part of the number
      expStart = i + 1;
      expEnd = j;
    }
  }

  // Up to 15 digits without an exponent make an exact whole number, and dividing it by
  // an exact power of ten rounds once: the value from_chars reads.
  const std::size_t fracDigits = fracEnd - fracStart;
  if (expStart == expEnd && intEnd - intStart + fracDigits <= kExactDigits) {
    std::uint64_t m = 0;
    for (std::size_t k = intStart; k < intEnd; ++k) m = m * 10 + static_cast<unsigned>(s[k] - '0');
    for (std::size_t k = fracStart; k < fracEnd; ++k) m = m * 10 + static_cast<unsigned>(s[k] - '0');
    const double v = static_cast<double>(m) / kPowersOfTen[fracDigits];
    return (negative ? -v : v) + 0.0;  // + 0.0 turns -0 into 0
  }

  std::string buf(s.substr(intStart, intEnd - intStart));  // digits[.digits][e[-]digits]
  if (fracDigits) {
    if (intEnd == intStart) buf += '0';
    buf += '.';
    buf.append(s.substr(fracStart, fracDigits));
  }
  if (expStart != expEnd) {
    buf += 'e';
    buf.append(s.substr(expStart, expEnd - expStart));
  }

  double v = 0;
  auto [ptr, ec] = std::from_chars(buf.data(), buf.data() + buf.size(), v);
  if (ec != std::errc{}) return 0;
  return (negative ? -v : v) + 0.0;  // + 0.0 turns -0 into 0
}

}  // namespace

double readDecimalNumber(std::string_view text) {
  return scanNumber(trimRight(text), {.plusAllowed = false, .commaIsPoint = true});
}

// Blanks after the number end it as the end of the text does, so the trailing blanks
// need no trimming: the first 39 characters read the same with them or without.
double readFloatNumber(std::string_view text) {
  return scanNumber(text.substr(0, kFloatChars), {.plusAllowed = true, .commaIsPoint = false});
}

std::int32_t readStatementDate(std::string_view text) {
  const char* p = text.data();
  const char* const end = p + text.size();
  // The next group of digits, up to want of them: its value, and its digit count returned.
  auto group = [&](int want, int& value) {
    while (p < end && !isDigit(*p)) ++p;
    int count = 0;
    value = 0;
    for (; count < want && p < end && isDigit(*p); ++count, ++p) value = value * 10 + (*p - '0');
    return count;
  };
  int day = 0, month = 0, year = 0;
  const int dayDigits = group(2, day);
  group(2, month);
  const int yearDigits = group(4, year);
  if (dayDigits == 0) return 0;  // no digit at all

  // A year of one or two digits is taken within 1950-2049: 50-99 as 19yy, 00-49 as 20yy.
  if (yearDigits == 1 || yearDigits == 2) year += year >= 50 ? 1900 : 2000;

  if (month == 0 || year < 1801 || year > 9999) return -1;
  const std::int64_t d = date::dayNumber(year, month, day);
  if (d < kFirstDay || d > kLastDay) return -1;
  return static_cast<std::int32_t>(d);
}

}  // namespace zelk
