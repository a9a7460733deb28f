#pragma once
// Reading numbers and dates from text: one rule each, shared by every importer and form.
#include <cstdint>
#include <string_view>

namespace zelk {

// The decimal number rule (partner and analytics codes): trailing blanks removed;
// leading blanks, tabs and 0Ah-0Dh skipped; an optional minus; digits, an optional
// "." or "," fraction and an optional exponent; the first character that fits none
// ends the number. No digit, a leading plus, or an exponent out of range gives 0.
double readDecimalNumber(std::string_view text);

// The floating-point number rule of the statements: of the text without trailing
// blanks the first 39 characters are read; leading white space skipped; an optional
// sign; digits with at most one "." as the decimal point; an optional exponent. A
// comma is no decimal point; a text without a number, or one beyond the range of a
// double, gives 0.
double readFloatNumber(std::string_view text);

// The date rule of the statements: day, month and year from the text's groups of
// digits (a group ends at a non-digit or at 2, 2 and 4 digits, so "31122005" reads);
// a day past the month's end runs on, day 0 is the last day of the month before, a
// month above 12 runs into the next year; a year of one or two digits is 1950-2049.
// 0 when the text has no digit; -1 for month 0, a year outside 1801-9999 or a day
// outside the valid day numbers.
std::int32_t readStatementDate(std::string_view text);

}  // namespace zelk
