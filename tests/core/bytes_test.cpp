#include "platform/core/bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace zelk {
namespace {

// The scan finds what a byte-by-byte search finds, wherever its blocks of sixteen
// begin and end.
TEST(Bytes, FindAnyOfFindsTheFirstAsAByteByByteSearch) {
  const std::string plain(150, 'x');
  std::string texts[] = {
      plain,
      std::string(150, '\x8D') + "\x89\x9A\xA0\xFF",  // the sought bytes with the high bit set
      plain.substr(0, 70) + std::string("\n\0\x19\x1b", 4) + plain.substr(0, 70),  // other control characters
      plain.substr(0, 21) + '\x1a' + plain.substr(0, 3) + "\t\r",
      "\r\n" + plain + "\t",
  };
  for (std::string& text : texts) {
    for (std::size_t at = 0; at <= text.size(); at += 5) {
      std::string t = text;
      if (at < t.size()) t[at] = "\r\t\x1a"[at % 3];  // a sought byte at every place
      for (std::size_t from = 0; from < 17 && from <= t.size(); ++from) {
        for (std::size_t to = from; to <= t.size(); ++to) {
          const char* p = t.data() + from;
          const char* end = t.data() + to;
          const char* expected = std::find_if(p, end, [](char c) { return c == '\r' || c == '\t' || c == '\x1a'; });
          ASSERT_EQ(bytes::findAnyOf(p, end, '\r', '\t', '\x1a'), expected)
              << "sought byte at " << at << ", from " << from << " to " << to;
        }
      }
    }
  }
}

}  // namespace
}  // namespace zelk
