#pragma once
// Positions in a 2.1 file: where NEXT and PREVIOUS go on, and the text of a position
// ("R<record>" in record order, "K<key>:<record>:<sort bytes in hex>" in a key order).
#include <cstdint>
#include <string>
#include <string_view>

namespace zelk::storage::dat21 {

// Where NEXT and PREVIOUS go on: NEXT reads the first entry >= (lowSk, lowRec),
// PREVIOUS the last entry <= (highSk, highRec); unset: the first and the last.
struct Cursor {
  bool set = false;
  std::string lowSk, highSk;
  std::uint64_t lowRec = 0, highRec = 0;
};

// Puts the cursor on the entry (sk, rec) (sk empty in record order): NEXT reads what
// follows it, PREVIOUS what precedes it.
inline void cursorOn(Cursor& c, std::string_view sk, std::uint64_t rec) {
  c.set = true;
  if (sk.empty()) {  // record order
    c.lowSk.clear();
    c.highSk.clear();
  } else {
    c.lowSk = sk;
    c.highSk = sk;
  }
  c.lowRec = rec + 1;
  c.highRec = rec - 1;
}

// The text of the position of record rec: in record order (key < 0), or in the order
// of key with the record's sort bytes sk.
std::string encodePosition(int key, std::uint64_t rec, std::string_view sk);
// The place a position's text names, the cursor on its record itself; keyed tells a
// key order and key its number. False when the text names no place.
bool decodePosition(std::string_view p, bool& keyed, std::uint64_t& key, Cursor& c);
// The record number a position names, 0 when it names none.
std::uint64_t recordAt(std::string_view p);

}  // namespace zelk::storage::dat21
