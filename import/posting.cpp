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

}  // namespace

Failure failureOf(std::uint16_t message, const storage::File& file) {
  return Failure{message, file.name(), storage::lastError()};
}

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

ImportResult noInput() {
  ImportResult r;
  r.outcome = Outcome::NoInput;
  r.message = ansi(kMessageNoInput);
  return r;
}

}  // namespace zelk::import
