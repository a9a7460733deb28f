#pragma once
// Bytes as hex digits.
#include <string>
#include <string_view>

namespace zelk {

// Appends each byte of bytes to out as two lowercase hex digits, the high one first.
inline void appendHex(std::string& out, std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
}

}  // namespace zelk
