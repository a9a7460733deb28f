#include "import/bss.h"

#include <string>

#include "dictionary/declarations.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "platform/core/numread.h"
#include "platform/core/text.h"

namespace zelk::import {
namespace {

using Statement = storage::TypedFile<dict::VixRecord<dict::kBssLine>>;
using AmountText = Text<32>;  // the buffer an amount text is held in

}  // namespace

std::string_view Columns::of(std::string_view line) const {
  if (first - 1 >= line.size()) return {};
  return line.substr(first - 1, last - first + 1);
}

double decimalCommaAmount(std::string_view text) {
  const AmountText s(text);
  const std::string_view v = s.view();
  const std::size_t comma = v.find(',');
  if (comma == std::string_view::npos) return readFloatNumber(v);
  char t[AmountText::kSize + 2];  // the whole part, "." and two characters
  std::size_t n = v.copy(t, comma);
  t[n++] = '.';
  n += v.copy(t + n, 2, comma + 1);  // the buffer pads with blanks where the text ends sooner
  return readFloatNumber({t, n});
}

ImportResult runBss(std::string_view statementPath, const Progress& progress) {
  Statement vix(dict::BSS_VIX_DECL);
  if (openStatement(vix, statementPath) != 0) return noInput();

  Run run(progress);
  if (!run.emptyPostings()) return run.failed();
  run.begin();

  // Line 1 only shows that the statement is not empty; line 2 is the header, which
  // a statement of one line lacks.
  vix.set();
  if (vix.next() != 0) {
    if (storage::errorCode() != storage::kRecordNotAvailable) return run.readFailed(vix);
    return run.finish(Outcome::Done);
  }
  if (vix.next() == 0) {
    const std::string_view header = vix.rec.BIX.view();
    const AmountText dateText(bss::kStatementDate.of(header));
    const AmountText balanceText(trimRight(bss::kOpeningBalance.of(header)));
    const double balance = decimalCommaAmount(balanceText.view());
    const std::int32_t day = readStatementDate(dateText.view());
    if (!run.balance([&](dict::LvoRecord& r) {
          r.OST = balance;
          r.DATA = day;
        }))
      return run.failed();
  } else if (storage::errorCode() != storage::kRecordNotAvailable) {
    return run.readFailed(vix);
  }

  const auto ownAccount = dict::N_SC_P.get();
  const auto bank = dict::N_SC_B.get();
  vix.set();
  for (;;) {
    if (vix.next() != 0) {
      if (storage::errorCode() != storage::kRecordNotAvailable) return run.readFailed(vix);
      return run.finish(Outcome::Done);
    }
    const std::string_view line = vix.rec.BIX.view();
    if (line[0] != bss::kDocumentMark) continue;
    if (run.full()) return run.finish(Outcome::TooMany);

    dict::DbiRecord& rec = run.newPosting();
    rec.NNDOC = bss::kDocNumber.of(line);
    rec.DATAOPER = readStatementDate(bss::kDocDate.of(line));
    const AmountText amount(trim(bss::kAmount.of(line)));
    rec.SUMMA = decimalCommaAmount(amount.view());
    const bool paid = textEqual(bss::kPayerAccount.of(line), ownAccount.view());
    applyDirection(rec, paid ? Direction::Paid : Direction::Received, bank.view());
    rec.NAMEOPER = bss::kPurpose.of(line);
    if (!run.addRow(paid ? bss::kPayeeName.of(line) : bss::kPayerName.of(line))) return run.failed();
    if (!run.addPosting()) return run.failed();
  }
}

}  // namespace zelk::import
