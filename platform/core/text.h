#pragma once
// Fixed-length text: the one text type of the program.
//
// Text is held as Windows Cyrillic (1251) bytes. An assignment cuts a longer value
// and pads a shorter one with blanks; comparisons treat the shorter value as padded
// with blanks, so trailing blanks never matter. Before a value is joined, searched or
// converted its trailing blanks are removed (trimmed()).
#include <algorithm>
#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>

namespace zelk {

// The value without its trailing blanks.
inline std::string_view trimRight(std::string_view s) {
  std::size_t n = s.size();
  constexpr std::uint64_t kEightBlanks = 0x2020202020202020ull;
  for (std::uint64_t w; n >= 8; n -= 8) {  // a padded field: eight blanks at a time
    std::memcpy(&w, s.data() + n - 8, sizeof w);
    if (w != kEightBlanks) break;
  }
  while (n > 0 && s[n - 1] == ' ') --n;
  return s.substr(0, n);
}

// The value without its leading blanks.
inline std::string_view trimLeft(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  return s.substr(i);
}

// The value without its leading and trailing blanks.
inline std::string_view trim(std::string_view s) { return trimLeft(trimRight(s)); }

// The same, with each byte of `blanks` taken as a blank (" \t" in a line of a text file).
inline std::string_view trimLeft(std::string_view s, std::string_view blanks) {
  std::size_t i = s.find_first_not_of(blanks);
  return i == std::string_view::npos ? std::string_view() : s.substr(i);
}
inline std::string_view trimRight(std::string_view s, std::string_view blanks) {
  std::size_t i = s.find_last_not_of(blanks);
  return i == std::string_view::npos ? std::string_view() : s.substr(0, i + 1);
}
inline std::string_view trim(std::string_view s, std::string_view blanks) {
  return trimLeft(trimRight(s, blanks), blanks);
}

// Compares two texts as if the shorter were padded with blanks (bytes unsigned).
inline std::strong_ordering compareText(std::string_view a, std::string_view b) {
  std::size_t n = std::max(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char ca = i < a.size() ? static_cast<unsigned char>(a[i]) : ' ';
    unsigned char cb = i < b.size() ? static_cast<unsigned char>(b[i]) : ' ';
    if (ca != cb) return ca <=> cb;
  }
  return std::strong_ordering::equal;
}

inline bool textEqual(std::string_view a, std::string_view b) {
  return compareText(a, b) == std::strong_ordering::equal;
}

// Cuts or pads src into the n bytes at dst.
inline void assignText(char* dst, std::size_t n, std::string_view src) {
  std::size_t k = std::min(n, src.size());
  if (k) std::memcpy(dst, src.data(), k);
  if (n > k) std::memset(dst + k, ' ', n - k);
}

template <std::size_t N>
class Text {
 public:
  static constexpr std::size_t kSize = N;

  Text() { clear(); }
  Text(std::string_view s) { assign(s); }  // NOLINT: texts convert like the language's strings
  Text(const char* s) { assign(s); }       // NOLINT
  template <std::size_t M>
  Text(const Text<M>& o) { assign(o.view()); }  // NOLINT

  Text& operator=(std::string_view s) { assign(s); return *this; }
  Text& operator=(const char* s) { assign(s); return *this; }
  template <std::size_t M>
  Text& operator=(const Text<M>& o) { assign(o.view()); return *this; }

  void assign(std::string_view s) { assignText(b_.data(), N, s); }
  void clear() { b_.fill(' '); }

  std::string_view view() const { return {b_.data(), N}; }
  std::string_view trimmed() const { return trimRight(view()); }
  std::string str() const { return std::string(trimmed()); }
  bool blank() const { return trimmed().empty(); }

  char* data() { return b_.data(); }
  const char* data() const { return b_.data(); }
  char& operator[](std::size_t i) { return b_[i]; }
  char operator[](std::size_t i) const { return b_[i]; }

  friend bool operator==(const Text& a, std::string_view b) { return textEqual(a.view(), b); }
  template <std::size_t M>
  friend bool operator==(const Text& a, const Text<M>& b) { return textEqual(a.view(), b.view()); }
  friend std::strong_ordering operator<=>(const Text& a, std::string_view b) {
    return compareText(a.view(), b);
  }
  template <std::size_t M>
  friend std::strong_ordering operator<=>(const Text& a, const Text<M>& b) {
    return compareText(a.view(), b.view());
  }

 private:
  std::array<char, N> b_;
};

// A process-wide text variable that several threads share: every read and write
// holds the variable's own lock.
template <std::size_t N>
class SharedText {
 public:
  SharedText() = default;
  SharedText& operator=(std::string_view s) { set(s); return *this; }
  void set(std::string_view s) {
    std::lock_guard g(m_);
    v_.assign(s);
  }
  Text<N> get() const {
    std::lock_guard g(m_);
    return v_;
  }
  std::string str() const { return get().str(); }  // without trailing blanks
  void clear() { set({}); }

 private:
  mutable std::mutex m_;
  Text<N> v_;
};

}  // namespace zelk

namespace zelk {
// A memo: a long text, held like a text field.
template <std::size_t N>
class Memo : public Text<N> {
 public:
  using Text<N>::Text;
  using Text<N>::operator=;
};
}  // namespace zelk
