#include "import/writer.h"

#include <type_traits>
#include <utility>

#include "dictionary/files.h"
#include "dictionary/managers.h"
#include "platform/core/codepage.h"
#include "platform/core/date.h"

namespace zelk::import {
namespace {

using dict::LvoRecord;

// One run's writing: the emptying of DBI and PRT, the counterparty rows numbered from
// 1, the postings counted, the limit, the first failure kept.
class Run {
 public:
  explicit Run(const Progress& progress) : progress_(progress) {}
  ~Run();
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  // Checks that DBI, PRT and LVO are open for writing, takes the write locks of DBI
  // and PRT for the run (other stations wait for the whole run, not between its
  // statements), reads DBI, PRT and LVO through, then empties DBI, then PRT; false when a
  // check, a lock, a read or a delete failed (the run ends, the count untouched).
  // Nothing is deleted unless every check, lock and read succeeded.
  bool emptyPostings();
  // The documents begin: the counter and the row number start at 0.
  void begin() { counting_ = true; }
  // The next posting would be past the limit.
  bool full() const { return count_ >= kMaxPostings || row_ >= kMaxPostings; }

  // The balance record by writeBalance.
  bool balance(const Balance& b);
  // The balance record read again (SET, NEXT), its date set and put back (PUT).
  bool balanceDay(const BalanceDay& d);
  // The counterparty row, when the document has one, then the posting.
  bool document(const Document& d, std::string_view ledger);

  ImportResult readFailed(const ReadFailed& r);
  ImportResult failed() const;  // after a false from one of the above
  // The end of the documents: FLUSH DBI and PRT, then the result.
  ImportResult finish(Outcome outcome);

 private:
  bool fail(std::uint16_t message, storage::File& file);
  bool addRow(std::string_view name);
  ImportResult result(Outcome outcome, std::string_view messageUtf8) const;

  const Progress& progress_;
  bool lockedDbi_ = false, lockedPrt_ = false;
  bool counting_ = false;
  std::int32_t count_ = 0;
  std::int32_t row_ = 0;
  std::optional<Failure> failure_;
};

bool Run::fail(std::uint16_t message, storage::File& file) {
  failure_ = failureOf(message, file);
  return false;
}

Run::~Run() {
  if (lockedPrt_) dict::PRT().unlock();
  if (lockedDbi_) dict::DBI().unlock();
}

bool Run::emptyPostings() {
  // A run that could not finish does not start: every file it writes must be open
  // for writing, and the files it empties must read to their end.
  auto& dbi = dict::DBI();
  auto& prt = dict::PRT();
  for (auto [file, message] : {std::pair<storage::File*, std::uint16_t>{&dbi, fw::msg::kDeleteFailed},
                               {&prt, fw::msg::kDeleteFailed},
                               {&dict::LVO(), fw::msg::kPutFailed}}) {
    if (auto e = notWritable(*file, message)) {
      failure_ = std::move(e);
      return false;
    }
  }
  // A run that another station would come in between does not start either.
  if (dbi.lock() != 0) return fail(fw::msg::kFileAccess, dbi);
  lockedDbi_ = true;
  if (prt.lock() != 0) return fail(fw::msg::kFileAccess, prt);
  lockedPrt_ = true;
  for (fw::FileManager* m : {dict::Access::DBI, dict::Access::PRT, dict::Access::LVO}) {
    if (auto e = readThrough(*m)) {
      failure_ = std::move(e);
      return false;
    }
  }
  for (storage::File* f : {static_cast<storage::File*>(&dbi), static_cast<storage::File*>(&prt)}) {
    if (auto e = emptyFile(*f)) {
      failure_ = std::move(e);
      return false;
    }
  }
  return true;
}

bool Run::balance(const Balance& b) {
  if (auto e = writeBalance([&](LvoRecord& r) {
        r.OST = b.amount;
        r.DATA = b.day;
      })) {
    failure_ = std::move(e);
    return false;
  }
  return true;
}

bool Run::balanceDay(const BalanceDay& d) {
  auto& lvo = dict::LVO();
  lvo.set();
  if (dict::Access::LVO->readRebuilding([&] { return lvo.next(); }) != 0) return fail(fw::msg::kReadFailed, lvo);
  lvo.rec.DATA = d.day;
  if (lvo.put() != 0) return fail(fw::msg::kPutFailed, lvo);
  return true;
}

bool Run::addRow(std::string_view name) {
  auto& prt = dict::PRT();
  prt.clearBuffer();
  prt.rec.KOD = static_cast<std::int16_t>(row_ + 1);
  prt.rec.NAME = name;
  if (prt.add() != 0) return fail(fw::msg::kAddFailed, prt);
  ++row_;
  return true;
}

bool Run::document(const Document& d, std::string_view ledger) {
  auto& dbi = dict::DBI();
  dbi.clearBuffer();
  dict::DbiRecord& rec = dbi.rec;
  rec.NNDOC = d.number;
  rec.DATAOPER = d.day;
  rec.SUMMA = d.amount;
  applyDirection(rec, d.direction, ledger);
  rec.NAMEOPER = d.purpose;
  if (d.counterparty && !addRow(*d.counterparty)) return false;
  setConstantFields(rec, row_, date::today());
  if (dbi.add() != 0) return fail(fw::msg::kAddFailed, dbi);
  ++count_;
  if (progress_) progress_(static_cast<std::int16_t>(count_));
  return true;
}

ImportResult Run::readFailed(const ReadFailed& r) {
  failure_ = Failure{fw::msg::kReadFailed, r.file, r.error};
  return failed();
}

ImportResult Run::failed() const { return result(Outcome::Failed, {}); }

ImportResult Run::finish(Outcome outcome) {
  if (dict::DBI().flush() != 0) fail(fw::msg::kPutFailed, dict::DBI());
  else if (dict::PRT().flush() != 0) fail(fw::msg::kPutFailed, dict::PRT());
  if (failure_) return failed();
  return result(outcome, outcome == Outcome::TooMany ? kMessageTooMany : kMessageDone);
}

ImportResult Run::result(Outcome outcome, std::string_view messageUtf8) const {
  ImportResult r;
  r.outcome = outcome;
  r.message = ansi(messageUtf8);
  if (counting_) r.count = static_cast<std::int16_t>(count_);
  r.failure = failure_;
  return r;
}

}  // namespace

ImportResult writePostings(Reader& reader, const Accounts& accounts, const Progress& progress) {
  if (reader.open() != 0) return noInput();

  Run run(progress);
  if (!run.emptyPostings()) return run.failed();
  run.begin();
  for (;;) {
    const Event event = reader.next();
    if (std::holds_alternative<End>(event)) return run.finish(Outcome::Done);
    if (const auto* r = std::get_if<ReadFailed>(&event)) return run.readFailed(*r);
    // Nothing past the limit is written: a balance that comes with the document past
    // it neither.
    if (run.full()) return run.finish(Outcome::TooMany);
    const bool written = std::visit(
        [&](const auto& e) {
          using E = std::decay_t<decltype(e)>;
          if constexpr (std::is_same_v<E, Balance>) return run.balance(e);
          else if constexpr (std::is_same_v<E, BalanceDay>) return run.balanceDay(e);
          else if constexpr (std::is_same_v<E, Document>) return run.document(e, accounts.ledger.view());
          else return true;  // End and ReadFailed are taken above
        },
        event);
    if (!written) return run.failed();
  }
}

}  // namespace zelk::import
