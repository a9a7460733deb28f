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

void readCounterparty(double nnoper) {
  auto& prt = dict::PRT();
  const std::optional<std::int16_t> kod = counterpartyNumber(nnoper);
  if (kod) {
    prt.rec.KOD = *kod;
    if (dict::Access::PRT->readRebuilding([&] { return prt.get(dict::prt::KEY_1); }) == 0) return;
  }
  prt.clearBuffer();
}

void computeRow(RowFigures& row) {
  const dict::DbiRecord& dbi = dict::DBI().rec;
  readCounterparty(dbi.NNOPER);
  row.N_PART = dict::PRT().rec.NAME;
  row.S_DT = 0;
  row.S_KT = 0;
  if (dbi.STATUS == "0") row.S_DT = dbi.SUMMA;
  if (dbi.STATUS == "1") row.S_KT = dbi.SUMMA;
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

void readBalance() {
  auto& lvo = dict::LVO();
  if (lvo.set() == 0 && dict::Access::LVO->readRebuilding([&] { return lvo.next(); }) == 0) return;
  lvo.clearBuffer();
}

}  // namespace zelk::review
