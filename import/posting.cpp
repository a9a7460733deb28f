#include "import/posting.h"

#include <utility>

#include "dictionary/files.h"
#include "dictionary/managers.h"
#include "platform/core/codepage.h"
#include "platform/core/date.h"
#include "platform/framework/errors.h"

namespace zelk::import {

using dict::DbiRecord;
using dict::LvoRecord;

namespace {

constexpr std::string_view kReceived = "0";
constexpr std::string_view kPaid = "1";

Failure failureOf(std::uint16_t message, const storage::File& file) {
  return Failure{message, file.name(), storage::lastError()};
}

}  // namespace

std::uint8_t raiseFailure(const Failure& f) {
  storage::setLastError(f.error);
  return fw::globalErrors().ThrowFile(f.message, f.file);
}

int openStatement(storage::File& vix, std::string_view path) {
  vix.setNameSource([name = std::string(path)] { return name; });
  return vix.open(storage::mode::kRead | storage::mode::kDenyWrite);
}

void applyDirection(DbiRecord& rec, Direction d, std::string_view bankAccount) {
  rec.STATUS.clear();
  rec.DT_SCHET.clear();
  rec.KT_SCHET.clear();
  switch (d) {
    case Direction::None:
      break;
    case Direction::Received:
      rec.STATUS = kReceived;
      rec.DT_SCHET = bankAccount;
      break;
    case Direction::Paid:
      rec.STATUS = kPaid;
      rec.KT_SCHET = bankAccount;
      break;
    case Direction::Both:
      rec.STATUS = kPaid;
      rec.DT_SCHET = bankAccount;
      rec.KT_SCHET = bankAccount;
      break;
  }
}

void setConstantFields(DbiRecord& rec, std::int32_t rowNumber, std::int32_t today) {
  static const std::string currency = ansi(kCurrency);
  rec.USER_DATE = today;
  rec.NNOPER = rowNumber;
  rec.TASK = kTask;
  rec.VALUTA = currency;
  rec.VCURS = kRate;
  rec.ID_ST = kStatementId;
  rec.CRC = kImportedMark;
  rec.VSUMMA = rec.SUMMA.get();
  rec.DT_CODE.clear();
  rec.KT_CODE.clear();
}

std::optional<Failure> readThrough(fw::FileManager& manager) {
  storage::File& file = *manager.File;
  file.set();
  for (;;) {
    const int r = manager.readRebuilding([&] { return file.skip(); });
    if (r == storage::kRecordNotAvailable) return std::nullopt;
    if (r != 0) return failureOf(fw::msg::kReadFailed, file);
  }
}

std::optional<Failure> emptyFile(storage::File& file) {
  file.set();
  for (;;) {
    const int r = file.skip();
    if (r == storage::kRecordNotAvailable) return std::nullopt;
    if (r != 0) return failureOf(fw::msg::kReadFailed, file);
    if (file.erase() != 0) return failureOf(fw::msg::kDeleteFailed, file);
  }
}

std::optional<Failure> notWritable(storage::File& file, std::uint16_t message) {
  if (file.isOpen() && (file.openMode() & storage::mode::kAccessMask) != storage::mode::kRead) return std::nullopt;
  return Failure{message, file.name(), storage::errorOf(file.isOpen() ? storage::kAccessDenied : storage::kFileNotOpen)};
}

std::optional<Failure> writeBalance(const std::function<void(LvoRecord&)>& fill) {
  auto& lvo = dict::LVO();
  lvo.set();
  if (const int r = dict::Access::LVO->readRebuilding([&] { return lvo.next(); }); r != 0) {
    // Only an empty file is given its record: a read error is not "no record".
    if (r != storage::kRecordNotAvailable) return failureOf(fw::msg::kReadFailed, lvo);
    lvo.clearBuffer();
    fill(lvo.rec);
    if (lvo.add() != 0) return failureOf(fw::msg::kAddFailed, lvo);
  }
  lvo.clearBuffer();
  fill(lvo.rec);
  if (lvo.put() != 0) return failureOf(fw::msg::kPutFailed, lvo);
  return std::nullopt;
}

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

DbiRecord& Run::newPosting() {
  dict::DBI().clearBuffer();
  return dict::DBI().rec;
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

bool Run::addPosting() {
  auto& dbi = dict::DBI();
  setConstantFields(dbi.rec, row_, date::today());
  if (dbi.add() != 0) return fail(fw::msg::kAddFailed, dbi);
  ++count_;
  if (progress_) progress_(static_cast<std::int16_t>(count_));
  return true;
}

bool Run::balance(const std::function<void(LvoRecord&)>& fill) {
  if (auto e = writeBalance(fill)) {
    failure_ = std::move(e);
    return false;
  }
  return true;
}

bool Run::amendBalance(const std::function<void(LvoRecord&)>& change) {
  auto& lvo = dict::LVO();
  lvo.set();
  if (dict::Access::LVO->readRebuilding([&] { return lvo.next(); }) != 0) return fail(fw::msg::kReadFailed, lvo);
  change(lvo.rec);
  if (lvo.put() != 0) return fail(fw::msg::kPutFailed, lvo);
  return true;
}

ImportResult Run::readFailed(storage::File& file) {
  fail(fw::msg::kReadFailed, file);
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

ImportResult noInput() {
  ImportResult r;
  r.outcome = Outcome::NoInput;
  r.message = ansi(kMessageNoInput);
  return r;
}

}  // namespace zelk::import
