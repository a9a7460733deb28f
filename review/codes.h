#pragma once
// The posting form's conversions of accounts and analytics codes.
#include <cstdint>
#include <string>
#include <string_view>

namespace zelk::review {

// A picked partner code as the analytics entry takes it: its decimal digits without
// leading zeros, left-aligned (42 gives "42").
std::string pickedCode(std::int32_t pick);

// An analytics code as the completed posting stores it: a blank code stays blank;
// any other is read by the decimal number rule and written with six digits and
// leading zeros (picture "N06"); a code that reads as 0 is stored blank.
std::string completedCode(std::string_view code);

// A picked chart row as an account: the account number of the PLN row whose
// PLN:KOD is the pick (read by PLN:KEY_1 into the thread's buffer, PLN held open by
// the caller), cut to 10 characters; blank when no such row can be read.
std::string pickedAccount(std::int32_t pick);

}  // namespace zelk::review
