#pragma once
// What the three importers share: what a run takes and hands back to its window, a
// posting's constant fields and direction, the counterparty rows, the balance record
// and the emptying of the postings.
//
// A run is a format's reader (reader.h; loko.h, bss.h, rfk.h) run by the one writer
// (writer.h) into the calling thread's open DBI, PRT and LVO (the window opens them),
// with the firm's accounts the window reads once. It shows nothing itself: it reports
// each posting to a progress callback and ends with an ImportResult. Only a damaged
// file its reading meets is the file manager's: notice 30, the rebuild and the read
// again (FileManager::readRebuilding). The window shows the message line and the
// counter, and raises the error manager's message of a failure (raiseFailure). A start
// button's handler:
//
//   const Accounts accounts{N_SC_P.get(), N_SC_B.get()};  // read once, at the press
//   const ImportResult r = runLoko(PATHZELK.str(), accounts, [&](std::int16_t n) { NS = n; refresh(); });
//   MESSAGE = r.message;
//   if (r.count) NS = *r.count;
//   if (r.failure) raiseFailure(*r.failure);
//
// A run holds the write locks of DBI and PRT from its emptying pass to its end: the
// statements of another station wait for the whole run instead of coming in between
// its statements. A run that cannot take them (another station holds one) does not
// start.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "dictionary/records.h"
#include "import/reader.h"
#include "platform/framework/filemanager.h"
#include "platform/storage/file.h"

namespace zelk::import {

// Constant fields of every posting.
inline constexpr std::string_view kTask = "01";        // DBI:TASK
inline constexpr std::string_view kCurrency = "РУБ";   // DBI:VALUTA, written here in UTF-8
inline constexpr double kRate = 1;                     // DBI:VCURS
inline constexpr double kStatementId = 1;              // DBI:ID_ST
inline constexpr double kImportedMark = 123;           // DBI:CRC of an imported posting

// PRT:KOD and the window's counter are 16-bit: a run writes at most this many
// counterparty rows and postings, and stops before the next.
inline constexpr std::int32_t kMaxPostings = 32767;

// Message line texts (UTF-8; ImportResult holds them in 1251).
inline constexpr std::string_view kMessageRunning = "Идет выполнение!!!";
inline constexpr std::string_view kMessageDone = "Задание выполнено";
inline constexpr std::string_view kMessageNoInput = "Не найден входной файл";
inline constexpr std::string_view kMessageTooMany = "Более 32767 документов";

enum class Outcome {
  Done,     // every document posted: "Задание выполнено"
  NoInput,  // the statement file did not open: "Не найден входной файл", no file touched
  TooMany,  // stopped before the 32,768th posting, the ones before it kept and flushed
  Failed,   // a statement failed: see failure; the line is blank
};

// A failed file statement, with what its message needs: %File and the error details.
struct Failure {
  // The message (fw::msg): kAddFailed (ADD), kDeleteFailed (DELETE in the emptying pass), kPutFailed (PUT or
  // FLUSH), kReadFailed (a read failing before the end) or kFileAccess (the run's LOCK refused).
  std::uint16_t message = 0;
  std::string file;           // the file's name as messages show it
  storage::ErrorState error;  // the storage error of the statement
};

struct ImportResult {
  Outcome outcome = Outcome::Done;
  std::string message;  // the message line (1251)
  // The counter: postings written. Empty when the run ended before its documents (the
  // statement did not open, or the emptying pass failed): the counter keeps its value.
  std::optional<std::int16_t> count;
  std::optional<Failure> failure;  // set exactly when outcome is Failed
};

// Called after every posting written, with the count so far; the window shows it
// and refreshes.
using Progress = std::function<void(std::int16_t count)>;

// The firm's accounts a run takes, as the firm choice set them (N_SC_P, N_SC_B).
struct Accounts {
  Text<20> own;     // the firm's bank account number
  Text<20> ledger;  // the firm's bank ledger account: the postings' side of the money
};

// Raises a failure's message through the error manager, with its file and error
// details; answers as ErrorClass::ThrowFile does.
std::uint8_t raiseFailure(const Failure& f);

// --- the pieces of a posting ------------------------------------------------------

// Opens a statement text file under its whole name, read-only with other programs
// denied writing; the storage error code.
int openStatement(storage::File& vix, std::string_view path);

// STATUS, DT_SCHET and KT_SCHET by the direction; the accounts take the first 10
// characters of the bank ledger account.
void applyDirection(dict::DbiRecord& rec, Direction d, std::string_view bankAccount);

// The constant fields, in this order: USER_DATE today, NNOPER the counterparty row
// number, TASK, VALUTA, VCURS, ID_ST, CRC, VSUMMA = SUMMA, DT_CODE and KT_CODE blank.
void setConstantFields(dict::DbiRecord& rec, std::int32_t rowNumber, std::int32_t today);

// The failure of the file's last statement, with its message.
Failure failureOf(std::uint16_t message, const storage::File& file);

// Reads a manager's file from its start to its end, rebuilding it when it is found
// damaged; a read error is a failure (kReadFailed). Neither pass takes the records
// into the record buffer.
std::optional<Failure> readThrough(fw::FileManager& manager);
// Empties a file: SET; NEXT and DELETE up to the end; stops at the first failed
// read (kReadFailed) or delete (kDeleteFailed).
std::optional<Failure> emptyFile(storage::File& file);
// A failure (message, kAccessDenied) when the file is not open for writing.
std::optional<Failure> notWritable(storage::File& file, std::uint16_t message);

// The balance record: SET and NEXT on LVO; when the file holds no record yet clear
// the buffer, fill it and ADD; then clear, fill again and PUT. A field fill leaves
// alone is cleared. A damaged file is rebuilt and read again; a read that still fails
// is a failure (kReadFailed): the record is not added again.
std::optional<Failure> writeBalance(const std::function<void(dict::LvoRecord&)>& fill);

// The result of a statement that did not open.
ImportResult noInput();

}  // namespace zelk::import
