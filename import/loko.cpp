#include "import/loko.h"

#include <cmath>
#include <string>

#include "dictionary/declarations.h"
#include "import/writer.h"
#include "platform/core/numread.h"

namespace zelk::import {
namespace loko {

Document Group::document() const {
  Document d;
  d.number = number_.view();
  d.day = day_;
  d.amount = std::fabs(amount_);
  // Exactly above 0 received, below 0 paid, else none.
  if (amount_ > 0) {
    d.direction = Direction::Received;
    d.counterparty = payer_.view();
  } else if (amount_ < 0) {
    d.direction = Direction::Paid;
    d.counterparty = payee_.view();
  }
  d.purpose = purpose_.view();
  return d;
}

}  // namespace loko

namespace {

using Statement = storage::TypedFile<dict::VixRecord<dict::kLokoLine>>;

class LokoReader : public Reader {
 public:
  explicit LokoReader(std::string_view path) : vix_(dict::LOKO_VIX_DECL), path_(path) {}

  int open() override { return openStatement(vix_, path_); }

  // The first group gives its balance, then its date, then its document.
  Event next() override {
    switch (step_) {
      case Step::Day: step_ = Step::Document; return BalanceDay{group_.day()};
      case Step::Document: step_ = Step::Group; return group_.document();
      case Step::Start: vix_.set(); break;
      case Step::Group: break;
    }
    const bool first = step_ == Step::Start;
    for (int i = 0; i < loko::kLines; ++i) {
      if (auto end = nextRecord(vix_)) return *end;  // the end, or a group cut short by it
      group_.take(i, vix_.rec.BIX.view(), first);
    }
    if (!first) return group_.document();
    step_ = Step::Day;
    return Balance{group_.balance(), 0};
  }

 private:
  enum class Step { Start, Group, Day, Document };

  Statement vix_;
  std::string path_;
  loko::Group group_;
  Step step_ = Step::Start;
};

}  // namespace

ImportResult runLoko(std::string_view statementPath, const Accounts& accounts, const Progress& progress) {
  LokoReader reader(statementPath);
  return writePostings(reader, accounts, progress);
}

}  // namespace zelk::import
