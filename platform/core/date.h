#pragma once
// Day numbers: days since 28 December 1800 (day 4 is 1 January 1801, day 2994626 is
// 31 December 9999); 0 means no date.
#include <cstdint>

#include "platform/core/fields.h"

namespace zelk::date {

struct Ymd {
  int year = 0, month = 0, day = 0;
};

bool valid(std::int32_t day);  // kFirstDay..kLastDay

// The day number of a calendar date. Month and day run on like the date rule's:
// day 0 is the last day of the month before, month 13 is January of the next year.
// No range check is made: see valid().
std::int64_t dayNumber(int year, int month, int day);

// The calendar date of a valid day number; {0,0,0} for anything else.
Ymd fromDay(std::int32_t day);

int daysInMonth(int year, int month);

// Today's day number (local time).
std::int32_t today();

}  // namespace zelk::date
