#include "platform/storage/dbase/dbf_codec.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <memory>

#include "platform/core/codepage.h"
#include "platform/core/date.h"
#include "platform/core/endian.h"
#include "platform/core/fields.h"
#include "platform/core/numtext.h"
#include "platform/core/text.h"
#include "platform/storage/record.h"

namespace zelk::storage::dbase {
namespace {

constexpr std::size_t kRecentDates = 64;  // dates kept by their reading and writing (6 bits)

ErrorState fail(int code) { return errorOf(code); }

// Versions whose header and descriptors have the dBase III/IV layout: dBase III/IV
// with or without memo, dBase V, FoxBase and FoxPro tables.
bool knownVersion(std::uint8_t v) {
  switch (v & 0x07) {
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x05: return true;
    default: return v == 0x30 || v == 0x31 || v == 0x32;
  }
}

char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

enum class Kind { Char, Number, Date, Logical, Other };

Kind kindOf(char type) {
  switch (type) {
    case 'C': return Kind::Char;
    case 'N':
    case 'F': return Kind::Number;
    case 'D': return Kind::Date;
    case 'L': return Kind::Logical;
    default: return Kind::Other;  // binary and memo types: left as they are
  }
}

bool isText(const FieldDesc& f) { return isTextField(f); }

std::int64_t clampRound(double v, std::int64_t lo, std::int64_t hi) {
  if (!(v == v)) return 0;  // NaN
  if (v <= static_cast<double>(lo)) return lo;
  if (v >= static_cast<double>(hi)) return hi;
  return std::llround(v);
}

double numberOf(const FieldDesc& f, const char* rec) {
  const char* p = rec + f.offset;
  switch (f.type) {
    case FieldType::Int16: return f.size >= 2 ? loadField<std::int16_t>(p) : 0;
    case FieldType::Int32: return f.size >= 4 ? loadField<std::int32_t>(p) : 0;
    case FieldType::UInt8: return f.size >= 1 ? loadField<std::uint8_t>(p) : 0;
    case FieldType::Real: return f.size >= 8 ? loadField<double>(p) : 0;
    case FieldType::Date: return f.size >= 4 ? loadField<std::int32_t>(p) : 0;
    case FieldType::Packed6: return f.size >= 6 ? static_cast<double>(static_cast<std::int64_t>(loadField<Packed6>(p))) : 0;
    case FieldType::Text:
    case FieldType::Memo: return parseNumber({p, f.size});
  }
  return 0;
}

void setNumber(const FieldDesc& f, char* rec, double v) {
  char* p = rec + f.offset;
  switch (f.type) {
    case FieldType::Int16:
      if (f.size >= 2) storeField(p, static_cast<std::int16_t>(clampRound(v, INT16_MIN, INT16_MAX)));
      break;
    case FieldType::Int32:
      if (f.size >= 4) storeField(p, static_cast<std::int32_t>(clampRound(v, INT32_MIN, INT32_MAX)));
      break;
    case FieldType::UInt8:
      if (f.size >= 1) storeField(p, static_cast<std::uint8_t>(clampRound(v, 0, UINT8_MAX)));
      break;
    case FieldType::Real:
      if (f.size >= 8) storeField(p, std::isfinite(v) ? v : 0.0);
      break;
    case FieldType::Date:
      if (f.size >= 4) {
        auto day = static_cast<std::int32_t>(clampRound(v, INT32_MIN, INT32_MAX));
        storeField(p, date::valid(day) ? day : std::int32_t{0});
      }
      break;
    case FieldType::Packed6:
      if (f.size >= 6) storeField(p, Packed6(clampRound(v, -Packed6::kMax, Packed6::kMax)));
      break;
    case FieldType::Text:
    case FieldType::Memo: break;
  }
}

std::int32_t dayOf(const FieldDesc& f, const char* rec) {
  return static_cast<std::int32_t>(clampRound(numberOf(f, rec), INT32_MIN, INT32_MAX));
}

// Copies src into the n bytes at dst, cut or padded with blanks.
void copyPadded(char* dst, std::size_t n, const char* src, std::size_t m) {
  std::size_t k = std::min(n, m);
  if (k) std::memcpy(dst, src, k);
  if (n > k) std::memset(dst + k, ' ', n - k);
}

void fillStars(char* dst, std::size_t width) { std::memset(dst, '*', width); }

}  // namespace

ErrorState parseHeader(std::string_view bytes, Layout& out) {
  out = Layout{};
  if (bytes.size() < kHeaderSize) return fail(kInvalidDataFile);
  const char* h = bytes.data();
  out.version = static_cast<std::uint8_t>(h[0]);
  out.headerCount = getLittle<std::uint32_t>(h + kOffCount);
  out.headerLength = getLittle<std::uint16_t>(h + kOffHeaderLength);
  out.recordLength = getLittle<std::uint16_t>(h + kOffRecordLength);
  out.language = static_cast<std::uint8_t>(h[kOffLanguage]);
  if (!knownVersion(out.version)) return fail(kInvalidDataFile);
  if (out.headerLength < kHeaderSize + kDescriptorSize || out.recordLength < 2) return fail(kInvalidDataFile);
  if (bytes.size() < out.headerLength) return fail(kInvalidDataFile);  // file shorter than its header

  std::size_t offset = 1;  // after the deletion flag
  for (std::size_t pos = kHeaderSize; pos + kDescriptorSize <= out.headerLength; pos += kDescriptorSize) {
    const char* d = h + pos;
    if (d[0] == kTerminator) break;
    Column c;
    std::size_t n = 0;
    while (n < 11 && d[n] != '\0') ++n;
    c.name = trimRight(std::string_view(d, n));
    c.type = asciiUpper(d[11]);
    c.width = static_cast<unsigned char>(d[16]);
    c.decimals = static_cast<unsigned char>(d[17]);
    if (c.type == 'C') {  // long character columns keep the high byte of the width there
      c.width |= std::size_t{c.decimals} << 8;
      c.decimals = 0;
    }
    c.offset = offset;
    offset += c.width;
    if (offset > out.recordLength) return fail(kInvalidDataFile);  // columns beyond the record
    out.columns.push_back(std::move(c));
  }
  if (out.columns.empty()) return fail(kInvalidDataFile);
  return {};
}

void putHeaderDate(unsigned char* dst, std::int32_t day) {
  date::Ymd ymd = date::fromDay(day);
  int yy = std::clamp(ymd.year - 1900, 0, 255);
  dst[0] = static_cast<unsigned char>(yy);
  dst[1] = static_cast<unsigned char>(ymd.month);
  dst[2] = static_cast<unsigned char>(ymd.day);
}

std::string buildHeader(Layout& layout, std::int32_t today) {
  std::size_t n = layout.columns.size();
  std::size_t offset = 1;
  for (Column& c : layout.columns) {
    c.offset = offset;
    offset += c.width;
  }
  layout.recordLength = offset;
  layout.headerLength = kHeaderSize + kDescriptorSize * n + 1;
  layout.headerCount = 0;

  std::string h(layout.headerLength, '\0');
  h[0] = static_cast<char>(layout.version);
  putHeaderDate(reinterpret_cast<unsigned char*>(h.data() + kOffDate), today);
  putLittle(h.data() + kOffHeaderLength, static_cast<std::uint16_t>(layout.headerLength));
  putLittle(h.data() + kOffRecordLength, static_cast<std::uint16_t>(layout.recordLength));
  h[kOffLanguage] = static_cast<char>(layout.language);
  for (std::size_t i = 0; i < n; ++i) {
    const Column& c = layout.columns[i];
    char* d = h.data() + kHeaderSize + kDescriptorSize * i;
    std::memcpy(d, c.name.data(), std::min<std::size_t>(c.name.size(), kMaxNameLength));
    d[11] = c.type;
    d[16] = static_cast<char>(c.width & 0xFF);
    d[17] = static_cast<char>(c.decimals);
  }
  h[layout.headerLength - 1] = kTerminator;
  return h;
}

ErrorState columnFor(const FieldDesc& f, Column& out) {
  out = Column{};
  std::string_view name = columnName(f);
  if (name.empty() || name.size() > kMaxNameLength) return fail(kInvalidRecordDeclaration);
  for (char ch : name) out.name += asciiUpper(ch);
  if (f.type == FieldType::Memo) return fail(kNotSupported);

  std::string_view columnType;
  if (std::size_t eq = f.external.find('='); eq != std::string_view::npos) columnType = f.external.substr(eq + 1);
  columnType = trim(columnType);

  if (columnType.empty()) {
    switch (f.type) {
      case FieldType::Text:
        out.type = 'C';
        out.width = f.size;
        break;
      case FieldType::Date: out.type = 'D'; out.width = 8; break;
      case FieldType::Int16: out.type = 'N'; out.width = 6; break;
      case FieldType::Int32: out.type = 'N'; out.width = 11; break;
      case FieldType::UInt8: out.type = 'N'; out.width = 3; break;
      case FieldType::Packed6: out.type = 'N'; out.width = 12; break;
      case FieldType::Real:  // an amount, as the postings keep theirs
        out.type = 'N';
        out.width = 19;
        out.decimals = 3;
        break;
      case FieldType::Memo: return fail(kNotSupported);
    }
  } else {
    out.type = asciiUpper(columnType.front());
    columnType.remove_prefix(1);
    bool haveWidth = false;
    if (!columnType.empty()) {
      if (columnType.front() != '(' || columnType.back() != ')') return fail(kInvalidRecordDeclaration);
      std::string_view inner = columnType.substr(1, columnType.size() - 2);
      std::size_t sep = inner.find_first_of(".,");
      std::string_view w = inner.substr(0, sep);
      std::string_view d = sep == std::string_view::npos ? std::string_view{} : inner.substr(sep + 1);
      unsigned wv = 0, dv = 0;
      auto r1 = std::from_chars(w.data(), w.data() + w.size(), wv);
      if (r1.ec != std::errc() || r1.ptr != w.data() + w.size()) return fail(kInvalidRecordDeclaration);
      if (!d.empty()) {
        auto r2 = std::from_chars(d.data(), d.data() + d.size(), dv);
        if (r2.ec != std::errc() || r2.ptr != d.data() + d.size()) return fail(kInvalidRecordDeclaration);
      }
      out.width = wv;
      out.decimals = dv;
      haveWidth = true;
    }
    switch (out.type) {
      case 'C':
        if (!haveWidth) out.width = f.size;
        out.decimals = 0;
        break;
      case 'N':
      case 'F':
        if (!haveWidth || (out.decimals > 0 && out.decimals + 2 > out.width)) return fail(kInvalidRecordDeclaration);
        break;
      case 'D': out.width = 8; out.decimals = 0; break;
      case 'L': out.width = 1; out.decimals = 0; break;
      default: return fail(kInvalidRecordDeclaration);
    }
  }
  if (out.width == 0 || out.width > kMaxColumnWidth) return fail(kInvalidRecordDeclaration);
  return {};
}

namespace {

// A value that is a whole number of the column's units (units below 2^53, decimals
// below the width): its digits written into the column from the right, no rounding.
void formatUnits(char* dst, std::size_t width, unsigned decimals, std::uint64_t units, bool negative) {
  char* p = dst + width;
  const bool zero = units == 0;
  for (unsigned i = 0; i < decimals; ++i, units /= 10) *--p = static_cast<char>('0' + units % 10);
  if (decimals) *--p = '.';
  do {
    if (p == dst) return fillStars(dst, width);
    *--p = static_cast<char>('0' + units % 10);
  } while (units /= 10);
  if (negative && !zero) {
    if (p == dst) return fillStars(dst, width);
    *--p = '-';
  }
  while (p != dst) *--p = ' ';
}

}  // namespace

// The value's shortest decimal form (the digits it was written with: 0.145, not
// 0.14499...) rounded half away from zero to the column's decimals.
void formatNumber(char* dst, std::size_t width, unsigned decimals, double v) {
  if (width == 0) return;
  if (!std::isfinite(v) || decimals >= width) return fillStars(dst, width);
  const double a = std::fabs(v);
  static constexpr double kScale[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
  const double scaled = decimals < std::size(kScale) ? a * kScale[decimals] : 0x1p53;
  if (scaled < 0x1p53) {
    const auto units = static_cast<std::uint64_t>(scaled);
    if (static_cast<double>(units) == scaled) return formatUnits(dst, width, decimals, units, v < 0);
  }
  // The whole part and the kept decimals, as one run of digits (one more for a carry).
  char local[400 + kMaxColumnWidth + 2];
  std::unique_ptr<char[]> wide;
  char* digits = decimals <= kMaxColumnWidth ? local : (wide = std::make_unique<char[]>(400 + decimals + 2)).get();
  char shortest[400];
  auto r = std::to_chars(shortest, shortest + sizeof shortest, a, std::chars_format::fixed);
  if (r.ec != std::errc()) return fillStars(dst, width);
  std::string_view s(shortest, static_cast<std::size_t>(r.ptr - shortest));
  std::size_t point = s.find('.');
  std::string_view whole = s.substr(0, point);
  std::string_view frac = point == std::string_view::npos ? std::string_view{} : s.substr(point + 1);
  const std::size_t kept = std::min<std::size_t>(frac.size(), decimals);
  std::memcpy(digits, whole.data(), whole.size());
  if (kept) std::memcpy(digits + whole.size(), frac.data(), kept);
  std::size_t n = whole.size() + kept;
  std::memset(digits + n, '0', decimals - kept);
  n += decimals - kept;
  if (frac.size() > decimals && frac[decimals] >= '5') {
    std::size_t i = n;
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0) {
      std::memmove(digits + 1, digits, n++);
      digits[0] = '1';
    } else {
      ++digits[i - 1];
    }
  }
  const bool zero = std::all_of(digits, digits + n, [](char c) { return c == '0'; });
  std::size_t intLen = n - decimals;
  std::size_t len = (v < 0 && !zero ? 1 : 0) + intLen + (decimals ? 1 + decimals : 0);
  if (len > width) return fillStars(dst, width);
  char* p = dst;
  std::memset(p, ' ', width - len);
  p += width - len;
  if (v < 0 && !zero) *p++ = '-';
  std::memcpy(p, digits, intLen);
  p += intLen;
  if (decimals) {
    *p++ = '.';
    std::memcpy(p, digits + intLen, decimals);
  }
}

namespace {

// Plain decimals: [+][-]digits[.digits] with no more than 2^53 as digits and at most
// 22 decimals. Their value is the digits divided by a power of ten, both exact: one
// correctly rounded division, as the full conversion would round.
bool plainDecimal(const char* p, const char* end, double& out) {
  if (p < end && *p == '+') ++p;
  const bool negative = p < end && *p == '-';
  if (negative) ++p;
  static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                      1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  std::uint64_t m = 0;
  int scale = -1;  // decimals after the point, -1 before it
  bool any = false;
  for (; p < end; ++p) {
    const char c = *p;
    if (c >= '0' && c <= '9') {
      m = m * 10 + static_cast<unsigned>(c - '0');
      if (m > (std::uint64_t{1} << 53)) return false;
      any = true;
      if (scale >= 0 && ++scale >= static_cast<int>(std::size(kPow10))) return false;
    } else if ((c == '.' || c == ',') && scale < 0) {
      scale = 0;
    } else {
      return false;
    }
  }
  if (!any) return false;
  const double v = scale > 0 ? static_cast<double>(m) / kPow10[scale] : static_cast<double>(m);
  out = negative ? -v : v;
  return true;
}

}  // namespace

double parseNumber(std::string_view text) {
  std::size_t a = 0, z = text.size();
  auto blank = [](char c) { return c == ' ' || c == '\0' || c == '\t'; };
  constexpr std::uint64_t kEightBlanks = 0x2020202020202020ull;
  for (std::uint64_t w; z - a >= 8; a += 8) {  // a right-aligned number: eight blanks at a time
    std::memcpy(&w, text.data() + a, sizeof w);
    if (w != kEightBlanks) break;
  }
  while (a < z && blank(text[a])) ++a;
  while (z > a && blank(text[z - 1])) --z;
  if (a == z || z - a > 400) return 0;
  if (double v; plainDecimal(text.data() + a, text.data() + z, v)) return v;
  char buf[401];
  std::size_t n = 0;
  for (std::size_t i = a; i < z; ++i) {
    char c = text[i];
    if (c == ',') c = '.';
    if (c == '*') return 0;  // a value that did not fit its column
    buf[n++] = c;
  }
  const char* p = buf;
  if (*p == '+') ++p;
  double v = 0;
  auto r = std::from_chars(p, buf + n, v, std::chars_format::general);
  if (r.ec != std::errc() || !std::isfinite(v)) return 0;
  return v;
}

void formatDate(char* dst, std::size_t width, std::int32_t day) {
  std::memset(dst, ' ', width);
  if (!date::valid(day) || width < 8) return;
  // The dates of a run repeat: the digits of recent ones, by day.
  struct Recent {
    std::int32_t day = INT32_MIN;
    char digits[8];
  };
  thread_local Recent recent[kRecentDates];
  Recent& r = recent[static_cast<std::uint32_t>(day) % kRecentDates];
  if (r.day == day) {
    std::memcpy(dst, r.digits, 8);
    return;
  }
  date::Ymd d = date::fromDay(day);
  auto put = [](char* p, int v, int digits) {
    for (int i = digits - 1; i >= 0; --i) {
      p[i] = static_cast<char>('0' + v % 10);
      v /= 10;
    }
  };
  put(dst, d.year, 4);
  put(dst + 4, d.month, 2);
  put(dst + 6, d.day, 2);
  std::memcpy(r.digits, dst, 8);
  r.day = day;
}

namespace {

// The day number of YYYYMMDD, 0 when it is none.
std::int32_t digitsDate(std::string_view text) {
  int v[8];
  for (int i = 0; i < 8; ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    v[i] = text[i] - '0';
  }
  int y = v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3];
  int m = v[4] * 10 + v[5];
  int d = v[6] * 10 + v[7];
  if (m < 1 || m > 12 || d < 1 || d > date::daysInMonth(y, m)) return 0;
  std::int64_t day = date::dayNumber(y, m, d);
  return (day >= kFirstDay && day <= kLastDay) ? static_cast<std::int32_t>(day) : 0;
}

}  // namespace

std::int32_t parseDate(std::string_view text) {
  if (text.size() < 8) return 0;
  // The dates of a run repeat: the days of recent ones, by their digits (a slot never
  // filled holds eight NUL bytes, no date: 0).
  struct Recent {
    std::uint64_t text = 0;
    std::int32_t day = 0;
  };
  thread_local Recent recent[kRecentDates];
  std::uint64_t key;
  std::memcpy(&key, text.data(), sizeof key);
  Recent& r = recent[(key * 0x9E3779B97F4A7C15ull) >> 58];
  if (r.text == key) return r.day;
  r.text = key;
  r.day = digitsDate(text);
  return r.day;
}

void encodeField(const FieldDesc& f, const char* rec, const Column& c, char* raw, bool oem) {
  const char* src = rec + f.offset;
  switch (kindOf(c.type)) {
    case Kind::Char:
      if (isText(f)) {
        copyPadded(raw, c.width, src, f.size);
        if (oem) cp::ansiToOem(raw, std::min(c.width, f.size));
      } else if (f.type == FieldType::Date) {
        std::memset(raw, ' ', c.width);
        if (c.width >= 8) formatDate(raw, 8, dayOf(f, rec));
      } else {
        const std::string t = numberText(numberOf(f, rec));
        if (t.size() > c.width) fillStars(raw, c.width);
        else copyPadded(raw, c.width, t.data(), t.size());
      }
      break;
    case Kind::Number: formatNumber(raw, c.width, c.decimals, numberOf(f, rec)); break;
    case Kind::Date:
      if (isText(f)) copyPadded(raw, c.width, src, f.size);
      else formatDate(raw, c.width, dayOf(f, rec));
      break;
    case Kind::Logical:
      if (isText(f)) copyPadded(raw, c.width, src, std::min<std::size_t>(f.size, 1));
      else copyPadded(raw, c.width, numberOf(f, rec) != 0 ? "T" : "F", 1);
      break;
    case Kind::Other: break;
  }
}

void readText(char* dst, std::size_t size, const char* raw, std::size_t width, bool oem) {
  copyPadded(dst, size, raw, width);
  const std::size_t k = std::min(width, size);
  if (std::memchr(dst, '\0', k)) std::replace(dst, dst + k, '\0', ' ');
  if (oem) cp::oemToAnsi(dst, k);
}

void decodeField(const FieldDesc& f, char* rec, const Column& c, const char* raw, bool oem) {
  char* dst = rec + f.offset;
  std::string_view text(raw, c.width);
  switch (kindOf(c.type)) {
    case Kind::Char:
      if (isText(f)) {
        readText(dst, f.size, raw, c.width, oem);
      } else if (f.type == FieldType::Date) {
        setNumber(f, rec, parseDate(text));
      } else {
        setNumber(f, rec, parseNumber(text));
      }
      break;
    case Kind::Number:
      if (isText(f)) {
        std::string_view digits = trimLeft(text);
        copyPadded(dst, f.size, digits.data(), digits.size());
      } else {
        setNumber(f, rec, parseNumber(text));
      }
      break;
    case Kind::Date:
      if (isText(f)) copyPadded(dst, f.size, raw, c.width);
      else setNumber(f, rec, parseDate(text));
      break;
    case Kind::Logical:
      if (isText(f)) {
        copyPadded(dst, f.size, raw, c.width);
      } else {
        char ch = c.width ? raw[0] : ' ';
        bool yes = ch == 'T' || ch == 't' || ch == 'Y' || ch == 'y';
        setNumber(f, rec, f.type == FieldType::Date ? 0 : (yes ? 1 : 0));
      }
      break;
    case Kind::Other:
      if (isText(f)) std::memset(dst, ' ', f.size);
      else setNumber(f, rec, 0);
      break;
  }
}

}  // namespace zelk::storage::dbase
