#include "import/loko.h"

#include <array>
#include <cmath>
#include <string>

#include "dictionary/declarations.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "platform/core/numread.h"

namespace zelk::import {
namespace {

using Statement = storage::TypedFile<dict::VixRecord<dict::kLokoLine>>;

// The lines of a group, in their order.
enum Line { kBalance, kNumber, kDate, kAmount, kPurpose, kPayer, kPayee, kLines };

// The direction of an amount: exactly above 0 received, below 0 paid, else none.
Direction direction(double amount) {
  if (amount > 0) return Direction::Received;
  if (amount < 0) return Direction::Paid;
  return Direction::None;
}

}  // namespace

ImportResult runLoko(std::string_view statementPath, const Progress& progress) {
  Statement vix(dict::LOKO_VIX_DECL);
  if (openStatement(vix, statementPath) != 0) return noInput();

  Run run(progress);
  if (!run.emptyPostings()) return run.failed();
  run.begin();
  const auto bank = dict::N_SC_B.get();
  vix.set();
  std::array<Text<dict::kLokoLine>, kLines> line;  // as read; a text field takes only its width
  for (int group = 1;; ++group) {
    for (int i = 0; i < kLines; ++i) {
      if (vix.next() != 0) {
        if (storage::errorCode() != storage::kRecordNotAvailable) return run.readFailed(vix);
        return run.finish(Outcome::Done);  // the end, or a group cut short by it
      }
      line[i] = vix.rec.BIX;
    }
    if (run.full()) return run.finish(Outcome::TooMany);

    const std::int32_t day = readStatementDate(line[kDate].trimmed());
    if (group == 1) {
      const double balance = readFloatNumber(line[kBalance].trimmed());
      if (!run.balance([&](dict::LvoRecord& r) { r.OST = balance; })) return run.failed();
      if (!run.amendBalance([&](dict::LvoRecord& r) { r.DATA = day; })) return run.failed();
    }

    dict::DbiRecord& rec = run.newPosting();
    rec.NNDOC = line[kNumber];
    rec.DATAOPER = day;
    const double amount = readFloatNumber(line[kAmount].trimmed());
    rec.SUMMA = std::fabs(amount);
    const Direction d = direction(amount);
    applyDirection(rec, d, bank.view());
    rec.NAMEOPER = line[kPurpose];
    if (d == Direction::Received && !run.addRow(line[kPayer].trimmed())) return run.failed();
    if (d == Direction::Paid && !run.addRow(line[kPayee].trimmed())) return run.failed();
    if (!run.addPosting()) return run.failed();
  }
}

}  // namespace zelk::import
