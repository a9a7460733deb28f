#pragma once
// The RFK client-bank system's payments table (subs_clt.dbf): the payments dated
// within an interval become postings. Its reader yields the balance mark, then every
// payment taken as a document, the first one with an incoming balance preceded by
// that balance.
#include <cstdint>

#include "dictionary/records.h"
#include "import/posting.h"
#include "import/reader.h"

namespace zelk::import {

// LVO:OST with LVO:DATA 0 while no payment's incoming balance has been taken.
inline constexpr double kNoBalanceMark = 0.0001;
// Two numbers are equal when their difference lies this many binary orders of
// magnitude below either of them.
inline constexpr int kEqualBits = 50;

// The tolerant equality of the payments: a - b is 0 or subnormal, or its base-2
// exponent lies more than 50 below that of a or of b (an operand of 0 counting as 1.0).
bool tolerantEqual(double a, double b);

namespace rfk {
// The payment's date: DAT2, else DAT1 (a date field without a valid date is 0).
std::int32_t paymentDate(const dict::SubRecord& rec);
// SUM1 + SUM2 is not 0 and the payment's date lies within [from, to].
bool taken(const dict::SubRecord& rec, std::int32_t from, std::int32_t to);
// The payment, its texts the record's: paid when SUM2 is above 0 (SUM2 the amount),
// received when SUM1 is (SUM1 the amount), both when both are; every payment has its
// row, BUY.
Document document(const dict::SubRecord& rec);
}  // namespace rfk

// Imports the thread's open SUBS_CLT into its open DBI, PRT and LVO for the interval
// [from, to] (the window's D1 and D2), with the firm's bank ledger account.
// A payment is taken when SUM1 + SUM2 is not 0 and its date (DAT2, else DAT1) lies
// within the interval, both ends included (from 0 sets no lower bound; to 0 takes
// nothing). LVO gets the mark first, then at most once the incoming balance of the
// first payment taken that has one, with its date.
ImportResult runRfk(std::int32_t from, std::int32_t to, const Accounts& accounts, const Progress& progress);

}  // namespace zelk::import
