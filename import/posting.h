#pragma once
// What the three importers share: a posting's constant fields and direction, the
// counterparty rows, the balance record, the emptying of the postings, and what a run
// hands back to its window.
//
// A run works on the calling thread's open DBI, PRT and LVO (the window opens them)
// and shows nothing itself: it reports each posting to a progress callback and ends
// with an ImportResult. Only a damaged file its reading meets is the file manager's:
// notice 30, the rebuild and the read again (FileManager::readRebuilding). The window shows the message line and the counter, and raises
// the error manager's message of a failure (raiseFailure). A start button's handler:
//
//   const ImportResult r = runLoko(PATHZELK.str(), [&](std::int16_t n) { NS = n; refresh(); });
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

// Raises a failure's message through the error manager, with its file and error
// details; answers as ErrorClass::ThrowFile does.
std::uint8_t raiseFailure(const Failure& f);

// --- the pieces of a posting ------------------------------------------------------

// Opens a statement text file under its whole name, read-only with other programs
// denied writing; the storage error code.
int openStatement(storage::File& vix, std::string_view path);

// Which way the money goes, as a document tells it.
enum class Direction {
  None,      // no direction: STATUS and both accounts blank
  Received,  // STATUS "0", the bank ledger account is the debit account
  Paid,      // STATUS "1", it is the credit account
  Both,      // STATUS "1", the bank ledger account on both sides (an RFK payment with both amounts)
};

// STATUS, DT_SCHET and KT_SCHET by the direction; the accounts take the first 10
// characters of the bank ledger account.
void applyDirection(dict::DbiRecord& rec, Direction d, std::string_view bankAccount);

// The constant fields, in this order: USER_DATE today, NNOPER the counterparty row
// number, TASK, VALUTA, VCURS, ID_ST, CRC, VSUMMA = SUMMA, DT_CODE and KT_CODE blank.
void setConstantFields(dict::DbiRecord& rec, std::int32_t rowNumber, std::int32_t today);

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

  // The thread's DBI record cleared for the next posting.
  dict::DbiRecord& newPosting();
  // Raises the row number and adds the counterparty row with this text.
  bool addRow(std::string_view name);
  // The constant fields, ADD to DBI, the count and the progress report.
  bool addPosting();
  // The balance record by writeBalance.
  bool balance(const std::function<void(dict::LvoRecord&)>& fill);
  // The balance record read again (SET, NEXT), changed and put back (PUT).
  bool amendBalance(const std::function<void(dict::LvoRecord&)>& change);
  std::int32_t rowNumber() const { return row_; }

  // A failure of the run's own reading (the statement or the payments table).
  ImportResult readFailed(storage::File& file);
  ImportResult failed() const;  // after a false from one of the above
  // The end of the documents: FLUSH DBI and PRT, then the result.
  ImportResult finish(Outcome outcome);

 private:
  bool fail(std::uint16_t message, storage::File& file);
  ImportResult result(Outcome outcome, std::string_view messageUtf8) const;

  const Progress& progress_;
  bool lockedDbi_ = false, lockedPrt_ = false;
  bool counting_ = false;
  std::int32_t count_ = 0;
  std::int32_t row_ = 0;
  std::optional<Failure> failure_;
};

// The result of a statement that did not open.
ImportResult noInput();

}  // namespace zelk::import
