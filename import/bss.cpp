#include "import/bss.h"

#include <string>

#include "dictionary/declarations.h"
#include "import/writer.h"
#include "platform/core/numread.h"
#include "platform/core/text.h"

namespace zelk::import {
namespace {

using Statement = storage::TypedFile<dict::VixRecord<dict::kBssLine>>;
using AmountText = Text<32>;  // the buffer an amount text is held in

}  // namespace

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

namespace bss {

Balance header(std::string_view line) {
  const AmountText dateText(kStatementDate.of(line));
  const AmountText balanceText(trimRight(kOpeningBalance.of(line)));
  return {decimalCommaAmount(balanceText.view()), readStatementDate(dateText.view())};
}

bool isDocument(std::string_view line) { return !line.empty() && line[0] == kDocumentMark; }

Document document(std::string_view line, std::string_view ownAccount) {
  Document d;
  d.number = kDocNumber.of(line);
  d.day = readStatementDate(kDocDate.of(line));
  const AmountText amount(trim(kAmount.of(line)));
  d.amount = decimalCommaAmount(amount.view());
  const bool paid = textEqual(kPayerAccount.of(line), ownAccount);
  d.direction = paid ? Direction::Paid : Direction::Received;
  d.purpose = kPurpose.of(line);
  d.counterparty = paid ? kPayeeName.of(line) : kPayerName.of(line);
  return d;
}

}  // namespace bss

namespace {

class BssReader : public Reader {
 public:
  BssReader(std::string_view path, std::string_view ownAccount)
      : vix_(dict::BSS_VIX_DECL), path_(path), ownAccount_(ownAccount) {}

  int open() override { return openStatement(vix_, path_); }

  Event next() override {
    if (!started_) {
      started_ = true;
      if (auto header = readHeader()) return *header;
    }
    for (;;) {
      if (auto end = nextRecord(vix_)) return *end;
      const std::string_view line = vix_.rec.BIX.view();
      if (bss::isDocument(line)) return bss::document(line, ownAccount_.view());
    }
  }

 private:
  // Line 1 only shows that the statement is not empty; line 2 is the header, which a
  // statement of one line lacks. The documents are then read from line 1 again.
  std::optional<Event> readHeader() {
    vix_.set();
    if (auto end = nextRecord(vix_)) return *end;
    std::optional<Event> header;
    if (auto end = nextRecord(vix_)) {
      if (std::holds_alternative<ReadFailed>(*end)) return *end;
    } else {
      header = bss::header(vix_.rec.BIX.view());
    }
    vix_.set();
    return header;
  }

  Statement vix_;
  std::string path_;
  Text<20> ownAccount_;
  bool started_ = false;
};

}  // namespace

ImportResult runBss(std::string_view statementPath, const Accounts& accounts, const Progress& progress) {
  BssReader reader(statementPath, accounts.own.view());
  return writePostings(reader, accounts, progress);
}

}  // namespace zelk::import
