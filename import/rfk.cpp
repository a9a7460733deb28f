#include "import/rfk.h"

#include <cmath>
#include <optional>

#include "dictionary/files.h"
#include "import/writer.h"

namespace zelk::import {
namespace {

int exponentOf(double x) { return x == 0 ? std::ilogb(1.0) : std::ilogb(x); }

// The payments are read in one pass with the table's quick-scan hint: its read-ahead
// is kept between reads while the pass lasts, so a payment the client-bank program
// changes meanwhile is read as its block was.
class QuickScan {
 public:
  explicit QuickScan(storage::File& f) : f_(f) { f_.send("QUICKSCAN=on"); }
  ~QuickScan() { f_.send("QUICKSCAN=off"); }
  QuickScan(const QuickScan&) = delete;
  QuickScan& operator=(const QuickScan&) = delete;

 private:
  storage::File& f_;
};

}  // namespace

bool tolerantEqual(double a, double b) {
  const double d = a - b;
  const int c = std::fpclassify(d);
  if (c == FP_ZERO || c == FP_SUBNORMAL) return true;
  if (c != FP_NORMAL) return false;  // an infinity or NaN
  const int e = std::ilogb(d);
  return e < exponentOf(a) - kEqualBits || e < exponentOf(b) - kEqualBits;
}

namespace rfk {

std::int32_t paymentDate(const dict::SubRecord& rec) {
  std::int32_t d = rec.DAT2;
  if (d == 0 && rec.DAT1 != 0) d = rec.DAT1;
  return d;
}

// The selection rules, in their order.
bool taken(const dict::SubRecord& rec, std::int32_t from, std::int32_t to) {
  if (tolerantEqual(rec.SUM1.get() + rec.SUM2.get(), 0)) return false;
  const std::int32_t d = paymentDate(rec);
  return d != 0 && d >= from && d <= to;
}

Document document(const dict::SubRecord& rec) {
  Document d;
  d.number = rec.NOM_DOC.view();
  d.day = paymentDate(rec);
  const bool received = rec.SUM1.get() > 0, paid = rec.SUM2.get() > 0;
  d.amount = paid ? rec.SUM2.get() : received ? rec.SUM1.get() : 0.0;
  d.direction = received && paid ? Direction::Both
                : paid           ? Direction::Paid
                : received       ? Direction::Received
                                 : Direction::None;
  d.purpose = rec.NAME.view();
  d.counterparty = rec.BUY.view();
  return d;
}

}  // namespace rfk

namespace {

class RfkReader : public Reader {
 public:
  RfkReader(std::int32_t from, std::int32_t to) : sub_(dict::SUBS_CLT()), from_(from), to_(to) {}

  int open() override { return 0; }  // the window keeps the table open

  Event next() override {
    if (!marked_) {
      marked_ = true;
      return Balance{kNoBalanceMark, 0};
    }
    if (balanceGiven_) {
      balanceGiven_ = false;
      return rfk::document(sub_.rec);
    }
    if (!pass_) {
      pass_.emplace(sub_);
      sub_.set();
    }
    for (;;) {
      if (auto end = nextRecord(sub_)) return *end;
      const dict::SubRecord& p = sub_.rec;
      if (!rfk::taken(p, from_, to_)) continue;
      if (tolerantEqual(balance_, kNoBalanceMark) && !tolerantEqual(p.IN_R.get(), 0)) {
        balance_ = p.IN_R.get();
        balanceGiven_ = true;
        return Balance{balance_, rfk::paymentDate(p)};
      }
      return rfk::document(p);
    }
  }

 private:
  dict::FileOf<dict::SubRecord>& sub_;
  std::int32_t from_, to_;
  double balance_ = kNoBalanceMark;
  bool marked_ = false, balanceGiven_ = false;
  std::optional<QuickScan> pass_;
};

}  // namespace

ImportResult runRfk(std::int32_t from, std::int32_t to, const Accounts& accounts, const Progress& progress) {
  RfkReader reader(from, to);
  return writePostings(reader, accounts, progress);
}

}  // namespace zelk::import
