#include "import/loko.h"

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

// What a group's lines give; each text is held in the width of the field it goes to.
struct Group {
  double balance = 0;  // read from the first group only
  decltype(dict::DbiRecord::NNDOC) number;
  std::int32_t day = 0;
  double amount = 0;
  decltype(dict::DbiRecord::NAMEOPER) purpose;
  decltype(dict::PrtRecord::NAME) payer, payee;

  void take(int i, const Text<dict::kLokoLine>& line, bool first) {
    switch (i) {
      case kBalance:
        if (first) balance = readFloatNumber(line.view());
        break;
      case kNumber: number = line; break;
      case kDate: day = readStatementDate(line.view()); break;
      case kAmount: amount = readFloatNumber(line.view()); break;
      case kPurpose: purpose = line; break;
      case kPayer: payer = line; break;
      case kPayee: payee = line; break;
      default: break;
    }
  }
};

}  // namespace

ImportResult runLoko(std::string_view statementPath, const Progress& progress) {
  Statement vix(dict::LOKO_VIX_DECL);
  if (openStatement(vix, statementPath) != 0) return noInput();

  Run run(progress);
  if (!run.emptyPostings()) return run.failed();
  run.begin();
  const auto bank = dict::N_SC_B.get();
  vix.set();
  Group g;
  for (int group = 1;; ++group) {
    for (int i = 0; i < kLines; ++i) {
      if (vix.next() != 0) {
        if (storage::errorCode() != storage::kRecordNotAvailable) return run.readFailed(vix);
        return run.finish(Outcome::Done);  // the end, or a group cut short by it
      }
      g.take(i, vix.rec.BIX, group == 1);
    }
    if (run.full()) return run.finish(Outcome::TooMany);

    if (group == 1) {
      if (!run.balance([&](dict::LvoRecord& r) { r.OST = g.balance; })) return run.failed();
      if (!run.amendBalance([&](dict::LvoRecord& r) { r.DATA = g.day; })) return run.failed();
    }

    dict::DbiRecord& rec = run.newPosting();
    rec.NNDOC = g.number;
    rec.DATAOPER = g.day;
    rec.SUMMA = std::fabs(g.amount);
    const Direction d = direction(g.amount);
    applyDirection(rec, d, bank.view());
    rec.NAMEOPER = g.purpose;
    // A text field pads what it takes with blanks: the names need no trimming.
    if (d == Direction::Received && !run.addRow(g.payer.view())) return run.failed();
    if (d == Direction::Paid && !run.addRow(g.payee.view())) return run.failed();
    if (!run.addPosting()) return run.failed();
  }
}

}  // namespace zelk::import
