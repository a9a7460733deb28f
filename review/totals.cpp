#include "review/totals.h"

#include <cmath>

#include "dictionary/declarations.h"
#include "dictionary/files.h"
#include "dictionary/managers.h"

namespace zelk::review {

std::optional<std::int16_t> counterpartyNumber(double nnoper) {
  const double whole = std::trunc(nnoper);
  if (!(whole >= 1 && whole <= 32767)) return std::nullopt;
  return static_cast<std::int16_t>(whole);
}

bool readCounterparty(double nnoper) {
  auto& prt = dict::PRT();
  const std::optional<std::int16_t> kod = counterpartyNumber(nnoper);
  int r = storage::kRecordNotFound;
  if (kod) {
    prt.rec.KOD = *kod;
    r = dict::Access::PRT->readRebuilding([&] { return prt.get(dict::prt::KEY_1); });
    if (r == 0) return true;
  }
  prt.clearBuffer();
  return r == storage::kRecordNotFound;
}

bool computeRow(RowFigures& row) {
  const dict::DbiRecord& dbi = dict::DBI().rec;
  const bool read = readCounterparty(dbi.NNOPER);
  row.N_PART = dict::PRT().rec.NAME;
  row.S_DT = 0;
  row.S_KT = 0;
  if (dbi.STATUS == "0") row.S_DT = dbi.SUMMA;
  if (dbi.STATUS == "1") row.S_KT = dbi.SUMMA;
  return read;
}

Totals importTotals(const fw::ListQueue& rows, std::size_t debitColumn, std::size_t creditColumn) {
  Totals t;
  for (const fw::ListQueue::Row& r : rows.rows) {
    ++t.rows;
    t.debit += rows.number(r, debitColumn);
    t.credit += rows.number(r, creditColumn);
  }
  return t;
}

double balance(double incoming, const Totals& t) { return incoming + t.debit - t.credit; }

bool readBalance() {
  auto& lvo = dict::LVO();
  // A record the rebuild of a damaged file had to drop is a balance lost, not none.
  bool damaged = false;
  int r = lvo.set();
  if (r == 0) r = dict::Access::LVO->readRebuilding([&] {
    const int n = lvo.next();
    damaged = damaged || n == storage::kKeysMustBeRebuilt;
    return n;
  });
  if (r == 0) return true;
  lvo.clearBuffer();
  return r == storage::kRecordNotAvailable && !damaged;
}

}  // namespace zelk::review
