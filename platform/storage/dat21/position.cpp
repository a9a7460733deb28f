#include "platform/storage/dat21/position.h"

#include <charconv>
#include <cstddef>
#include <system_error>

#include "platform/core/hex.h"
#include "platform/core/numtext.h"

namespace zelk::storage::dat21 {
namespace {

bool fromHex(std::string_view hex, std::string& out) {
  if (hex.size() % 2) return false;
  out.clear();
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    unsigned v = 0;
    auto r = std::from_chars(hex.data() + i, hex.data() + i + 2, v, 16);
    if (r.ec != std::errc() || r.ptr != hex.data() + i + 2) return false;
    out.push_back(static_cast<char>(v));
  }
  return true;
}

// Reads a decimal number at the front of s and drops it and the separator after it.
bool takeNumber(std::string_view& s, std::uint64_t& v, char sep) {
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc() || r.ptr == s.data()) return false;
  s.remove_prefix(static_cast<std::size_t>(r.ptr - s.data()));
  if (sep) {
    if (s.empty() || s.front() != sep) return false;
    s.remove_prefix(1);
  }
  return true;
}

}  // namespace

std::uint64_t recordAt(std::string_view p) {
  if (p.empty()) return 0;
  const char kind = p.front();
  p.remove_prefix(1);
  std::uint64_t rec = 0, key = 0;
  if (kind == 'R') return takeNumber(p, rec, 0) && p.empty() ? rec : 0;
  if (kind == 'K') return takeNumber(p, key, ':') && takeNumber(p, rec, ':') ? rec : 0;
  return 0;
}

std::string encodePosition(int key, std::uint64_t rec, std::string_view sk) {
  std::string out;
  if (key < 0) {
    out = "R";
    out += numberText(rec);
    return out;
  }
  out = "K";
  out += numberText(static_cast<std::uint64_t>(key));
  out.push_back(':');
  out += numberText(rec);
  out.push_back(':');
  appendHex(out, sk);
  return out;
}

bool decodePosition(std::string_view p, bool& keyed, std::uint64_t& key, Cursor& c) {
  if (p.empty()) return false;
  const char kind = p.front();
  p.remove_prefix(1);
  std::uint64_t rec = 0;
  key = 0;
  c = Cursor{};
  c.set = true;
  if (kind == 'R') {
    if (!takeNumber(p, rec, 0) || !p.empty() || rec == 0) return false;
    keyed = false;
  } else if (kind == 'K') {
    if (!takeNumber(p, key, ':') || !takeNumber(p, rec, ':') || !fromHex(p, c.lowSk)) return false;
    c.highSk = c.lowSk;
    keyed = true;
  } else {
    return false;
  }
  c.lowRec = c.highRec = rec;
  return true;
}

}  // namespace zelk::storage::dat21
