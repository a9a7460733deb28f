#include "import/rfk.h"

#include <cmath>

#include "dictionary/files.h"
#include "dictionary/globals.h"

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

namespace {

// The payment's date: DAT2, else DAT1 (a date field without a valid date is 0).
std::int32_t paymentDate(const dict::SubRecord& rec) {
  std::int32_t d = rec.DAT2;
  if (d == 0 && rec.DAT1 != 0) d = rec.DAT1;
  return d;
}

// The selection rules, in their order.
bool paymentTaken(const dict::SubRecord& rec, std::int32_t from, std::int32_t to) {
  if (tolerantEqual(rec.SUM1.get() + rec.SUM2.get(), 0)) return false;
  const std::int32_t d = paymentDate(rec);
  return d != 0 && d >= from && d <= to;
}

}  // namespace

ImportResult runRfk(std::int32_t from, std::int32_t to, const Progress& progress) {
  Run run(progress);
  if (!run.emptyPostings()) return run.failed();
  run.begin();
  double balance = kNoBalanceMark;
  if (!run.balance([](dict::LvoRecord& r) { r.OST = kNoBalanceMark; })) return run.failed();

  const auto bank = dict::N_SC_B.get();
  auto& sub = dict::SUBS_CLT();
  const QuickScan pass(sub);
  sub.set();
  for (;;) {
    if (sub.next() != 0) {
      if (storage::errorCode() != storage::kRecordNotAvailable) return run.readFailed(sub);
      return run.finish(Outcome::Done);
    }
    const dict::SubRecord& p = sub.rec;
    if (!paymentTaken(p, from, to)) continue;
    if (run.full()) return run.finish(Outcome::TooMany);
    const std::int32_t day = paymentDate(p);

    if (tolerantEqual(balance, kNoBalanceMark) && !tolerantEqual(p.IN_R.get(), 0)) {
      balance = p.IN_R.get();
      if (!run.balance([&](dict::LvoRecord& r) {
            r.OST = balance;
            r.DATA = day;
          }))
        return run.failed();
    }

    dict::DbiRecord& rec = run.newPosting();
    rec.NNDOC = p.NOM_DOC;
    rec.DATAOPER = day;
    const bool received = p.SUM1.get() > 0, paid = p.SUM2.get() > 0;
    rec.SUMMA = paid ? p.SUM2.get() : received ? p.SUM1.get() : 0.0;
    applyDirection(rec,
                   received && paid ? Direction::Both
                   : paid           ? Direction::Paid
                   : received       ? Direction::Received
                                    : Direction::None,
                   bank.view());
    rec.NAMEOPER = p.NAME;
    if (!run.addRow(p.BUY.view())) return run.failed();
    if (!run.addPosting()) return run.failed();
  }
}

}  // namespace zelk::import
