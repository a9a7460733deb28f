#include "platform/core/date.h"

#include <ctime>

namespace zelk::date {
namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (month 1..12).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// Day number 0 is 28 December 1800.
const std::int64_t kEpoch = daysFromCivil(1800, 12, 28);

}  // namespace

bool valid(std::int32_t day) { return day >= kFirstDay && day <= kLastDay; }

std::int64_t dayNumber(int year, int month, int day) {
  std::int64_t y = year;
  std::int64_t m = month - 1;  // 0-based; runs on into the following years
  y += m >= 0 ? m / 12 : (m - 11) / 12;
  m = ((m % 12) + 12) % 12;
  return daysFromCivil(y, static_cast<unsigned>(m + 1), 1) - kEpoch + day - 1;
}

Ymd fromDay(std::int32_t day) {
  if (!valid(day)) return {};
  std::int64_t z = day + kEpoch + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

int daysInMonth(int year, int month) {
  return static_cast<int>(dayNumber(year, month + 1, 1) - dayNumber(year, month, 1));
}

std::int32_t today() {
  // The local day and the moments it starts and ends, worked out again only when the
  // clock leaves them.
  thread_local std::time_t from = 1, until = 0;
  thread_local std::int32_t day = 0;
  const std::time_t t = std::time(nullptr);
  if (t >= from && t < until) return day;
  std::tm tm{};
  localtime_r(&t, &tm);
  day = static_cast<std::int32_t>(dayNumber(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday));
  std::tm start{};
  start.tm_year = tm.tm_year;
  start.tm_mon = tm.tm_mon;
  start.tm_mday = tm.tm_mday;
  start.tm_isdst = -1;
  std::tm end = start;
  ++end.tm_mday;
  from = std::mktime(&start);
  until = std::mktime(&end);
  if (from == -1 || until == -1 || t < from || t >= until) from = 1, until = 0;  // no range: ask each time
  return day;
}

}  // namespace zelk::date
