#pragma once
// Numeric and date field types of the record layouts. Every type is a plain byte
// array (alignment 1), so a record struct built from them has exactly the offsets
// and size of its layout, with no padding, and can be written to disk as it is.
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "platform/core/endian.h"

namespace zelk {

static_assert(std::endian::native == std::endian::little, "record layouts are little-endian");

// A number converted to the type T of a variable: an integer takes the value's
// integer part, held within T's range (NaN gives 0), never undefined behaviour.
template <class T>
T numberTo(double d) {
  if constexpr (std::is_floating_point_v<T>) {
    return static_cast<T>(d);
  } else {
    if (d != d) return 0;
    if (d <= static_cast<double>(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
    if (d >= static_cast<double>(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
    return static_cast<T>(d);
  }
}

template <class T>
class LeField {
 public:
  LeField() { std::memset(b_, 0, sizeof b_); }
  LeField(T v) { set(v); }  // NOLINT: fields take their values like the language's numbers
  LeField& operator=(T v) { set(v); return *this; }
  operator T() const { return get(); }  // NOLINT
  T get() const { return getLittle<T>(b_); }
  void set(T v) { putLittle(b_, v); }

 private:
  unsigned char b_[sizeof(T)];
};

using Int16 = LeField<std::int16_t>;
using Int32 = LeField<std::int32_t>;
using UInt8 = LeField<std::uint8_t>;
using Real = LeField<double>;

// First and last valid day numbers: 1 January 1801 and 31 December 9999.
inline constexpr std::int32_t kFirstDay = 4;
inline constexpr std::int32_t kLastDay = 2994626;

// A date field holds a day number; 0 is no date. A day number outside the valid
// range (-1 from the date rule, for instance) is stored as no date.
class DateField {
 public:
  DateField() = default;
  DateField(std::int32_t day) { set(day); }  // NOLINT
  DateField& operator=(std::int32_t day) { set(day); return *this; }
  operator std::int32_t() const { return day_; }  // NOLINT
  std::int32_t day() const { return day_; }
  void set(std::int32_t day) { day_ = (day >= kFirstDay && day <= kLastDay) ? day : 0; }

 private:
  Int32 day_;
};

// A packed decimal (BCD) integer of 6 bytes: a sign nibble (0 positive, 0xD negative)
// followed by 11 digits, most significant first.
class Packed6 {
 public:
  static constexpr std::int64_t kMax = 99999999999;  // 11 digits

  Packed6() { set(0); }
  Packed6(std::int64_t v) { set(v); }  // NOLINT
  Packed6& operator=(std::int64_t v) { set(v); return *this; }
  operator std::int64_t() const { return get(); }  // NOLINT

  // Values beyond 11 digits keep their lowest 11 digits, as a packed field of this size does.
  void set(std::int64_t v) {
    bool neg = v < 0;
    std::uint64_t u = neg ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    unsigned char nib[12];
    nib[0] = neg ? 0xD : 0x0;
    for (int i = 11; i >= 1; --i) {
      nib[i] = static_cast<unsigned char>(u % 10);
      u /= 10;
    }
    for (int i = 0; i < 6; ++i) b_[i] = static_cast<unsigned char>((nib[2 * i] << 4) | nib[2 * i + 1]);
  }
  std::int64_t get() const {
    std::int64_t v = 0;
    for (int i = 1; i < 12; ++i) {
      unsigned char n = (i % 2) ? (b_[i / 2] & 0x0F) : (b_[i / 2] >> 4);
      v = v * 10 + (n > 9 ? 0 : n);
    }
    return (b_[0] >> 4) == 0xD ? -v : v;
  }

 private:
  unsigned char b_[6];
};

static_assert(sizeof(Int16) == 2 && alignof(Int16) == 1);
static_assert(sizeof(Int32) == 4 && sizeof(Real) == 8 && sizeof(UInt8) == 1);
static_assert(sizeof(DateField) == 4 && alignof(DateField) == 1);
static_assert(sizeof(Packed6) == 6 && alignof(Packed6) == 1);

}  // namespace zelk
