#pragma once
// The postings list's figures: each posting's counterparty text and amounts by its
// status, the row count and turnovers over the list's view, and the balance.
#include <cstdint>
#include <cstddef>
#include <optional>

#include "platform/core/text.h"
#include "platform/framework/listqueue.h"

namespace zelk::review {

// The counterparty row of a posting: the whole part of DBI:NNOPER, the fraction
// dropped toward zero. A number outside 1..32767 has no row (it never wraps onto
// another one).
std::optional<std::int16_t> counterpartyNumber(double nnoper);

// Reads the counterparty row of the posting's number into the thread's PRT buffer by
// PRT:KEY_1 (PRT held open by the caller); the buffer is cleared when there is none
// or it cannot be read. A damaged file is rebuilt and read again
// (FileManager::readRebuilding). False when it cannot be read (the storage layer's
// last error says why); a posting without a row is no failure.
bool readCounterparty(double nnoper);

// The figures of one list row.
struct RowFigures {
  Text<70> N_PART;  // the counterparty text
  double S_DT = 0;  // the amount when money was received (status "0")
  double S_KT = 0;  // the amount when money was paid (status "1")
};

// The figures of the posting in the thread's DBI buffer; its counterparty row is left
// in the PRT buffer. False when that row could not be read (readCounterparty).
bool computeRow(RowFigures& row);

struct Totals {
  std::int32_t rows = 0;
  double debit = 0, credit = 0;
};

// The count and turnovers of the list's rows, from their debit and credit columns:
// the rows a filling read from the file, each through computeRow.
Totals importTotals(const fw::ListQueue& rows, std::size_t debitColumn, std::size_t creditColumn);

// The balance that results from the incoming balance and the turnovers.
double balance(double incoming, const Totals& t);

// The first record of LVO into the thread's buffer (LVO held open by the caller);
// the buffer is cleared when the file holds none or it cannot be read. A damaged file
// is rebuilt and read again. False when it cannot be read (the storage layer's last
// error says why), also when the rebuild had to drop it.
bool readBalance();

}  // namespace zelk::review
