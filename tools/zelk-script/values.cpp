#include "tools/zelk-script/values.h"

#include <charconv>
#include <cstdint>

#include "platform/core/date.h"
#include "platform/core/numtext.h"

namespace zelk::script {

std::optional<double> parseNumber(std::string_view s) {
  double d = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), d);
  if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
  return d;
}

std::optional<int> parseInt(std::string_view s) {
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s.remove_prefix(2);
    base = 16;
  }
  int v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v, base);
  if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
  return v;
}

std::optional<double> parseDate(std::string_view s) {
  if (s.size() == 10 && s[4] == '-' && s[7] == '-') {
    std::optional<int> y = parseInt(s.substr(0, 4)), m = parseInt(s.substr(5, 2)), d = parseInt(s.substr(8, 2));
    if (!y || !m || !d || *m < 1 || *m > 12 || *d < 1 || *d > date::daysInMonth(*y, *m)) return std::nullopt;
    return static_cast<double>(date::dayNumber(*y, *m, *d));
  }
  return parseNumber(s);
}

std::string dateText(double day) {
  if (!date::valid(static_cast<std::int32_t>(day))) return numberText(day);
  date::Ymd d = date::fromDay(static_cast<std::int32_t>(day));
  auto pad = [](int v, int w) {
    std::string s = numberText(v);
    return std::string(s.size() < static_cast<std::size_t>(w) ? w - s.size() : 0, '0') + s;
  };
  return pad(d.year, 4) + "-" + pad(d.month, 2) + "-" + pad(d.day, 2);
}

}  // namespace zelk::script
