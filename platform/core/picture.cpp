#include "platform/core/picture.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "platform/core/date.h"
#include "platform/core/numread.h"
#include "platform/core/numtext.h"
#include "platform/core/text.h"

namespace zelk {
namespace {

constexpr int kMaxWidth = 255;
constexpr int kDateWidth = 10;  // dd?mm?yyyy
constexpr char kGroupSep = ',';
constexpr char kDecimalPoint = '.';

bool isDigit(char c) { return c >= '0' && c <= '9'; }

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Reads an unsigned count of at most three digits from the front of s.
bool takeCount(std::string_view& s, int& out) {
  std::size_t k = 0;
  out = 0;
  while (k < s.size() && k < 3 && isDigit(s[k])) out = out * 10 + (s[k++] - '0');
  if (k == 0 || (k < s.size() && isDigit(s[k]))) return false;
  s.remove_prefix(k);
  return true;
}

// A number as decimal text: sign, integer digits (no leading zeros but one "0"),
// and exactly the wanted decimals.
struct DecimalText {
  bool negative = false;
  std::string whole;
  std::string fraction;

  bool zero() const {
    return whole.find_first_not_of('0') == std::string::npos &&
           fraction.find_first_not_of('0') == std::string::npos;
  }
};

// Rounds the decimal digits whole.fraction to `decimals` places, half away from zero.
DecimalText roundDigits(bool negative, std::string whole, std::string fraction, int decimals) {
  const std::size_t keep = static_cast<std::size_t>(decimals);
  bool up = fraction.size() > keep && fraction[keep] >= '5';
  fraction.resize(keep, '0');
  if (up) {
    std::string all = whole + fraction;
    std::size_t k = all.size();
    while (k > 0 && all[k - 1] == '9') all[--k] = '0';
    if (k == 0) all.insert(all.begin(), '1');
    else ++all[k - 1];
    whole = all.substr(0, all.size() - keep);
    fraction = all.substr(all.size() - keep);
  }
  std::size_t lead = whole.find_first_not_of('0');
  whole = lead == std::string::npos ? "0" : whole.substr(lead);
  DecimalText r{negative, whole, fraction};
  if (r.zero()) r.negative = false;
  return r;
}

// The value's shortest round-trip decimal text, rounded to `decimals` places: what the
// user typed is what gets rounded, so 2.675 shows as 2.68 although the double holding it
// is a little below 2.675.
std::optional<DecimalText> decimalText(double value, int decimals) {
  if (!std::isfinite(value)) return std::nullopt;
  char buf[400];  // the longest fixed form of a double has 327 characters
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  if (ec != std::errc{}) return std::nullopt;
  std::string_view s(buf, static_cast<std::size_t>(end - buf));
  bool negative = !s.empty() && s.front() == '-';
  if (negative) s.remove_prefix(1);
  std::size_t point = s.find('.');
  std::string whole(s.substr(0, point));
  std::string fraction(point == std::string_view::npos ? std::string_view{} : s.substr(point + 1));
  return roundDigits(negative, whole, fraction, decimals);
}

std::string group(const std::string& digits) {
  std::string r;
  const std::size_t n = digits.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) r += kGroupSep;
    r += digits[i];
  }
  return r;
}

void putTwo(std::string& s, int v) {
  s += static_cast<char>('0' + v / 10 % 10);
  s += static_cast<char>('0' + v % 10);
}

}  // namespace

std::optional<Picture> Picture::parse(std::string_view pic) {
  if (!pic.empty() && pic.front() == '@') pic.remove_prefix(1);  // list formats write "@n_10.2@"
  if (!pic.empty() && pic.back() == '@') pic.remove_suffix(1);
  if (pic.empty()) return std::nullopt;

  Picture p;
  const char letter = lowerAscii(pic.front());
  std::string_view rest = pic.substr(1);

  auto takeBlank = [&] {
    if (!rest.empty() && lowerAscii(rest.front()) == 'b') {
      p.blankZero_ = true;
      rest.remove_prefix(1);
    }
  };

  switch (letter) {
    case 's':
      if (!takeCount(rest, p.width_) || !rest.empty() || p.width_ < 1) return std::nullopt;
      p.kind_ = Kind::Text;
      return p;

    case 'n': {
      p.kind_ = Kind::Number;
      p.grouping_ = true;
      if (!rest.empty() && rest.front() == '-') {
        p.leadingMinus_ = true;
        rest.remove_prefix(1);
      }
      if (!rest.empty() && rest.front() == '_') {
        p.grouping_ = false;
        rest.remove_prefix(1);
      } else if (rest.size() > 1 && rest.front() == '0' && isDigit(rest[1])) {
        p.zeroFill_ = true;
        p.grouping_ = false;
        rest.remove_prefix(1);
      }
      if (!takeCount(rest, p.width_) || p.width_ < 1 || p.width_ > kMaxWidth) return std::nullopt;
      if (!rest.empty() && rest.front() == '.') {
        rest.remove_prefix(1);
        if (!takeCount(rest, p.decimals_) || p.decimals_ >= p.width_) return std::nullopt;
      }
      takeBlank();
      if (!rest.empty()) return std::nullopt;
      return p;
    }

    case 'd': {
      p.kind_ = Kind::Date;
      p.width_ = kDateWidth;
      if (!takeCount(rest, p.dateForm_)) return std::nullopt;
      if (p.dateForm_ == 6) {
        p.dateSep_ = '/';
        if (!rest.empty() && std::string_view("./-,_").find(rest.front()) != std::string_view::npos) {
          p.dateSep_ = rest.front() == '_' ? ' ' : rest.front();
          rest.remove_prefix(1);
        }
      } else if (p.dateForm_ == 17) {
        p.dateSep_ = '.';  // the short date format: dd.mm.yyyy
      } else {
        return std::nullopt;
      }
      takeBlank();
      if (!rest.empty()) return std::nullopt;
      return p;
    }

    default:
      return std::nullopt;
  }
}

std::string Picture::format(double value) const {
  switch (kind_) {
    case Kind::Text: {
      return formatText(numberText(value));
    }

    case Kind::Date: {
      // No date, and anything that is not a valid day number, shows blank.
      if (!(value >= kFirstDay && value <= kLastDay)) return std::string(width_, ' ');
      const date::Ymd d = date::fromDay(static_cast<std::int32_t>(value));
      std::string s;
      putTwo(s, d.day);
      s += dateSep_;
      putTwo(s, d.month);
      s += dateSep_;
      putTwo(s, d.year / 100);
      putTwo(s, d.year % 100);
      return s;
    }

    case Kind::Number: {
      const std::string overflow(width_, '#');
      std::optional<DecimalText> t = decimalText(value, decimals_);
      if (!t) return overflow;
      if (blankZero_ && t->zero()) return std::string(width_, ' ');
      // A negative number gets a leading minus with or without "-" in the picture.
      std::string s = t->negative ? "-" : "";
      std::string whole = grouping_ ? group(t->whole) : t->whole;
      std::size_t used = s.size() + whole.size() + (decimals_ > 0 ? 1 + t->fraction.size() : 0);
      if (zeroFill_ && used < static_cast<std::size_t>(width_)) {
        whole.insert(0, static_cast<std::size_t>(width_) - used, '0');
        used = static_cast<std::size_t>(width_);
      }
      if (used > static_cast<std::size_t>(width_)) return overflow;
      s += whole;
      if (decimals_ > 0) {
        s += kDecimalPoint;
        s += t->fraction;
      }
      return std::string(static_cast<std::size_t>(width_) - used, ' ') + s;
    }
  }
  return {};
}

std::string Picture::formatText(std::string_view text) const {
  if (kind_ != Kind::Text) {
    if (std::optional<double> v = read(text)) return format(*v);
  }
  std::string s(static_cast<std::size_t>(width_), ' ');
  assignText(s.data(), s.size(), text);
  return s;
}

std::optional<double> Picture::read(std::string_view text) const {
  const std::string_view s = trim(text);

  switch (kind_) {
    case Kind::Text:
      return readDecimalNumber(text);

    case Kind::Number: {
      if (s.empty()) return 0.0;
      std::size_t i = 0;
      const std::size_t n = s.size();
      const bool negative = s[0] == '-';
      if (negative) ++i;
      std::string whole, fraction;
      // Digits, with grouping commas only between two digits.
      for (; i < n && (isDigit(s[i]) || s[i] == kGroupSep); ++i) {
        if (s[i] == kGroupSep) {
          if (whole.empty() || i + 1 >= n || !isDigit(s[i + 1])) return std::nullopt;
        } else {
          whole += s[i];
        }
      }
      if (i < n && s[i] == kDecimalPoint) {
        for (++i; i < n && isDigit(s[i]); ++i) fraction += s[i];
      }
      if (i != n || (whole.empty() && fraction.empty())) return std::nullopt;
      if (whole.empty()) whole.push_back('0');

      // The entry is kept as the picture shows it: rounded to its decimals.
      DecimalText t = roundDigits(negative, whole, fraction, decimals_);
      std::string num = t.whole;
      num += '.';
      num += t.fraction;
      num += '0';
      double v = 0;
      auto [end, ec] = std::from_chars(num.data(), num.data() + num.size(), v);
      if (ec != std::errc{}) return std::nullopt;
      v = (t.negative ? -v : v) + 0.0;
      if (format(v).front() == '#') return std::nullopt;  // does not fit the picture
      return v;
    }

    case Kind::Date: {
      if (s.empty()) return 0.0;
      constexpr int kWant[3] = {2, 2, 4};  // digits of day, month and year
      int value[3] = {0, 0, 0};
      int count[3] = {0, 0, 0};
      std::size_t i = 0;
      const std::size_t n = s.size();
      for (int g = 0; g < 3; ++g) {
        // One separator of any kind between groups; none needed after a full group.
        if (g > 0 && i < n && !isDigit(s[i])) ++i;
        while (i < n && isDigit(s[i]) && count[g] < kWant[g]) {
          value[g] = value[g] * 10 + (s[i++] - '0');
          ++count[g];
        }
        if (count[g] == 0) return std::nullopt;
      }
      if (i != n) return std::nullopt;
      const int day = value[0], month = value[1];
      int year = value[2];
      // Same two-digit year window as the statements' dates: 50-99 is 19yy, 00-49 is 20yy.
      if (count[2] <= 2) year += year >= 50 ? 1900 : 2000;
      if (year < 1801 || year > 9999 || month < 1 || month > 12 || day < 1 ||
          day > date::daysInMonth(year, month))
        return std::nullopt;
      return static_cast<double>(date::dayNumber(year, month, day));
    }
  }
  return std::nullopt;
}

}  // namespace zelk
