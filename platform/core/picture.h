#pragma once
// Display pictures: "s50" text; "n18.2" a number with digit grouping, "n-18.2" with a
// leading minus, "n_10.2" without grouping, a trailing "b" showing 0 as blank ("n3b",
// "n_4b", "D6b"); "N06" six digits with leading zeros; "D6" day/month/four-digit
// year; "d17" the short date format; "d6-" day-month-year with hyphens. A picture
// may be written between "@" signs, as list formats do ("@n_10.2@").
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zelk {

class Picture {
 public:
  enum class Kind { Text, Number, Date };

  // Parses a picture text; nullopt for a picture this program does not know.
  static std::optional<Picture> parse(std::string_view pic);

  Kind kind() const { return kind_; }
  int width() const { return width_; }  // characters on screen
  int decimals() const { return decimals_; }

  // Formats a number (Number) or a day number (Date); a Text picture formats the
  // number's text. The result always has width() characters.
  // Numbers: right-aligned; "," groups thousands and "." is the decimal point whatever
  // the locale; the shortest decimal text of the value is rounded half away from zero
  // (2.675 shows as 2.68); a negative number has a leading minus with or without "-"
  // in the picture; "b" blanks a number that shows as zero; a number that does not
  // fit (or is not finite) shows as width() '#' characters.
  // Dates: dd/mm/yyyy ("D6", "d6-" and "d6." use their separator, "d17" dd.mm.yyyy);
  // no date, and any day number outside the valid range, shows blank.
  std::string format(double value) const;
  // Formats a text: a Text picture cuts or pads it to the width; a Number or Date
  // picture shows what read() makes of it, or the text cut or padded when refused.
  std::string formatText(std::string_view text) const;

  // Reads an entry's text back; nullopt when the picture refuses the text.
  // Numbers: blanks around, an optional leading minus, digits with grouping commas
  // between them, an optional "." fraction; rounded to the picture's decimals; an
  // empty entry is 0; refused when it does not fit the picture's width.
  // Dates: day, month and year (up to 2, 2 and 4 digits) with one separator of any
  // kind between them, or none after a full group ("31122005"); a year of one or two
  // digits is 1950-2049; an empty entry is 0; an impossible date is refused.
  // Text pictures read the text by the decimal number rule.
  std::optional<double> read(std::string_view text) const;

 private:
  Kind kind_ = Kind::Text;
  int width_ = 0;
  int decimals_ = 0;
  bool grouping_ = false;
  bool leadingMinus_ = false;
  bool blankZero_ = false;
  bool zeroFill_ = false;
  int dateForm_ = 0;  // 6 for D6/d6, 17 for d17
  char dateSep_ = '/';
};

}  // namespace zelk
