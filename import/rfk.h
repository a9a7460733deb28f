#pragma once
// The RFK client-bank system's payments table (subs_clt.dbf): the payments dated
// within an interval become postings.
#include <cstdint>

#include "import/posting.h"

namespace zelk::import {

// LVO:OST with LVO:DATA 0 while no payment's incoming balance has been taken.
inline constexpr double kNoBalanceMark = 0.0001;
// Two numbers are equal when their difference lies this many binary orders of
// magnitude below either of them.
inline constexpr int kEqualBits = 50;

// The tolerant equality of the payments: a - b is 0 or subnormal, or its base-2
// exponent lies more than 50 below that of a or of b (an operand of 0 counting as 1.0).
bool tolerantEqual(double a, double b);

// Imports the thread's open SUBS_CLT into its open DBI, PRT and LVO for the interval
// [from, to] (the window's D1 and D2), with the firm's bank ledger account N_SC_B.
// A payment is taken when SUM1 + SUM2 is not 0 and its date (DAT2, else DAT1) lies
// within the interval, both ends included (from 0 sets no lower bound; to 0 takes
// nothing). LVO gets the mark first, then at most once the incoming balance of the
// first payment taken that has one, with its date.
ImportResult runRfk(std::int32_t from, std::int32_t to, const Progress& progress);

}  // namespace zelk::import
