#include "platform/core/codepage.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "platform/core/bytes.h"

namespace zelk::cp {
namespace {

// Converts one byte through iconv; '?' when the target lacks it.
char convertByte(iconv_t cd, char c) {
  char in[1] = {c};
  char out[8];
  char* ip = in;
  char* op = out;
  size_t il = 1, ol = sizeof out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || op - out != 1) return '?';
  return out[0];
}

unsigned char ub(char c) { return static_cast<unsigned char>(c); }

// Bytes a table moves by one fixed step: [lo, lo + count) become byte + step (mod 256).
struct Run {
  unsigned char lo = 0, count = 0, step = 0;
};

typedef signed char SignedBlock __attribute__((vector_size(16)));

// A conversion table with the two longest runs above 127 it holds, for converting
// sixteen bytes at a time. A run's bytes are those whose distance from lo, its top bit
// flipped, is below count's flipped (an unsigned comparison made signed).
struct Table {
  std::array<char, 256> t{};
  bytes::Block lo[2]{}, step[2]{};
  SignedBlock below[2]{};

  void findRuns() {
    Run run[2];
    for (int i = 128; i < 256;) {
      const auto step = static_cast<unsigned char>(ub(t[i]) - i);
      int j = i + 1;
      while (j < 256 && static_cast<unsigned char>(ub(t[j]) - j) == step) ++j;
      const Run r{static_cast<unsigned char>(i), static_cast<unsigned char>(j - i), step};
      if (r.count > run[0].count) run[1] = run[0], run[0] = r;
      else if (r.count > run[1].count) run[1] = r;
      i = j;
    }
    for (int k = 0; k < 2; ++k) {
      lo[k] = lo[k] + run[k].lo;
      step[k] = step[k] + run[k].step;
      below[k] = below[k] + static_cast<signed char>(run[k].count ^ 0x80);
    }
  }
  // The mask of v's bytes in run k.
  bytes::Block in(const bytes::Block& v, int k) const {
    return reinterpret_cast<bytes::Block>(reinterpret_cast<SignedBlock>((v - lo[k]) ^ 0x80) < below[k]);
  }
  char operator[](int i) const { return t[static_cast<std::size_t>(i)]; }
};

struct Tables {
  Table a2o, o2a;
  std::array<char, 256> up{}, low{};
  std::array<char32_t, 256> a2u{};

  Tables() {
    iconv_t ao = iconv_open("CP866//TRANSLIT", "CP1251");
    iconv_t oa = iconv_open("CP1251//TRANSLIT", "CP866");
    iconv_t au = iconv_open("UTF-32LE", "CP1251");
    for (int i = 0; i < 256; ++i) {
      char c = static_cast<char>(i);
      a2o.t[i] = i < 128 ? c : convertByte(ao, c);
      o2a.t[i] = i < 128 ? c : convertByte(oa, c);
      char in[1] = {c};
      char out[8] = {};
      char* ip = in;
      char* op = out;
      size_t il = 1, ol = sizeof out;
      iconv(au, nullptr, nullptr, nullptr, nullptr);
      if (iconv(au, &ip, &il, &op, &ol) != static_cast<size_t>(-1) && op - out == 4) {
        uint32_t u = 0;
        for (int k = 3; k >= 0; --k) u = (u << 8) | static_cast<unsigned char>(out[k]);
        a2u[i] = u;
      } else {
        a2u[i] = U'?';
      }
      up[i] = low[i] = c;
    }
    iconv_close(ao);
    iconv_close(oa);
    iconv_close(au);
    a2o.findRuns();
    o2a.findRuns();
    for (int i = 'a'; i <= 'z'; ++i) up[i] = static_cast<char>(i - 32), low[i - 32] = static_cast<char>(i);
    for (int i = 0xE0; i <= 0xFF; ++i) up[i] = static_cast<char>(i - 32), low[i - 32] = static_cast<char>(i);
    up[0xB8] = static_cast<char>(0xA8), low[0xA8] = static_cast<char>(0xB8);  // ё Ё
    up[0xA2] = static_cast<char>(0xA1), low[0xA1] = static_cast<char>(0xA2);  // ў Ў
    up[0xB3] = static_cast<char>(0xB2), low[0xB2] = static_cast<char>(0xB3);  // і І
    up[0xBA] = static_cast<char>(0xAA), low[0xAA] = static_cast<char>(0xBA);  // є Є
    up[0xBF] = static_cast<char>(0xAF), low[0xAF] = static_cast<char>(0xBF);  // ї Ї
  }

  char fromUnicode(char32_t u) const {
    if (u < 128) return static_cast<char>(u);
    for (int i = 128; i < 256; ++i)
      if (a2u[i] == u) return static_cast<char>(i);
    return '?';
  }
};

const Tables& tables() {
  static const Tables t;
  return t;
}

}  // namespace

char ansiToOem(char c) { return tables().a2o[ub(c)]; }
char oemToAnsi(char c) { return tables().o2a[ub(c)]; }
namespace {

using bytes::allClear;
using bytes::allSet;
using bytes::Block;

// Writes the sixteen bytes v converted through t to d: ASCII stays (both code pages
// keep it), bytes of the table's two runs move by their step, and any other byte is
// looked up on its own.
[[gnu::always_inline]] inline void convertTo(const Table& t, const Block& v, char* d) {
  const Block ascii = reinterpret_cast<Block>(v < 0x80);
  if (allSet(ascii)) {
    std::memcpy(d, &v, sizeof v);
    return;
  }
  const Block in0 = t.in(v, 0), in1 = t.in(v, 1);
  const Block moved = v + ((in0 & t.step[0]) | (in1 & t.step[1]));
  std::memcpy(d, &moved, sizeof moved);
  for (Block other = ~(ascii | in0 | in1); !allClear(other);) {
    const unsigned k = bytes::firstSet(other);
    d[k] = t[v[k]];
    other[k] = 0;
  }
}

[[gnu::always_inline]] inline void convertBlock(const Table& t, char* s) { convertTo(t, bytes::load(s), s); }

// Converts s through t, by blocks; the tail goes byte by byte, eight ASCII bytes at a
// time as they are.
void convert(const Table& t, char* s, std::size_t n) {
  std::size_t i = 0;
  for (; n - i >= 64; i += 64) {  // sixty-four ASCII bytes pass at once
    const Block any = bytes::load(s + i) | bytes::load(s + i + 16) | bytes::load(s + i + 32) | bytes::load(s + i + 48);
    if (allSet(reinterpret_cast<Block>(any < 0x80))) continue;
    for (std::size_t k = 0; k < 64; k += 16) convertBlock(t, s + i + k);
  }
  for (; n - i >= 16; i += 16) convertBlock(t, s + i);
  constexpr std::uint64_t kHigh = 0x8080808080808080ull;
  for (; n - i >= 8; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, s + i, sizeof w);
    if ((w & kHigh) == 0) continue;
    for (std::size_t k = 0; k < 8; ++k) s[i + k] = t[ub(s[i + k])];
  }
  unsigned char high = 0;
  for (std::size_t k = i; k < n; ++k) high |= ub(s[k]);
  if (high & 0x80)
    for (; i < n; ++i) s[i] = t[ub(s[i])];
}
// v with its bytes from the n-th on blank.
Block blankFrom(const Block& v, std::size_t n) {
  constexpr Block kIndex = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  const Block keep = reinterpret_cast<Block>(kIndex < static_cast<unsigned char>(n));
  return (v & keep) | (~keep & ' ');
}

// Copies src's n bytes through t to dst, then blanks up to size, block by block.
void copyPadded(const Table& t, char* dst, std::size_t size, const char* src, std::size_t n) {
  std::size_t i = 0;
  for (; n - i >= 16; i += 16) convertTo(t, bytes::load(src + i), dst + i);
  if (i < n) {  // the last bytes, with the blanks after them
    const Block last = blankFrom(bytes::load(src + i), n - i);
    if (size - i >= 16) {
      convertTo(t, last, dst + i);
      i += 16;
    } else {
      char b[16];
      convertTo(t, last, b);
      std::memcpy(dst + i, b, size - i);
      i = size;
    }
  }
  std::memset(dst + i, ' ', size - i);
}
}  // namespace

void ansiToOem(char* s, std::size_t n) { convert(tables().a2o, s, n); }
void oemToAnsi(char* s, std::size_t n) { convert(tables().o2a, s, n); }
void oemToAnsi(char* dst, std::size_t size, const char* src, std::size_t n) {
  copyPadded(tables().o2a, dst, size, src, n);
}
std::string ansiToOem(std::string_view s) {
  std::string r(s);
  ansiToOem(r.data(), r.size());
  return r;
}
std::string oemToAnsi(std::string_view s) {
  std::string r(s);
  oemToAnsi(r.data(), r.size());
  return r;
}

char upper(char c) { return tables().up[ub(c)]; }

std::string upper(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = upper(c);
  return r;
}
char lower(char c) { return tables().low[ub(c)]; }

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (upper(a[i]) != upper(b[i])) return false;
  return true;
}

bool sameAsciiName(std::string_view a, std::string_view b) {
  auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (up(a[i]) != up(b[i])) return false;
  return true;
}

std::string fromUtf8(std::string_view s) {
  const Tables& t = tables();
  std::string r;
  r.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = ub(s[i]);
    int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > s.size()) {
      r += '?';
      ++i;
      continue;
    }
    char32_t u = len == 1 ? c : c & (0x7F >> len);
    bool ok = true;
    for (int k = 1; k < len; ++k) {
      unsigned char cc = ub(s[i + k]);
      if ((cc >> 6) != 2) ok = false;
      u = (u << 6) | (cc & 0x3F);
    }
    if (!ok) {
      r += '?';
      ++i;
      continue;
    }
    r += t.fromUnicode(u);
    i += len;
  }
  return r;
}

std::string toUtf8(std::string_view s) {
  const Tables& t = tables();
  std::string r;
  r.reserve(s.size() * 2);
  for (char ch : s) {
    char32_t u = t.a2u[ub(ch)];
    if (u < 0x80) {
      r += static_cast<char>(u);
    } else if (u < 0x800) {
      r += static_cast<char>(0xC0 | (u >> 6));
      r += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      r += static_cast<char>(0xE0 | (u >> 12));
      r += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      r += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return r;
}

}  // namespace zelk::cp
