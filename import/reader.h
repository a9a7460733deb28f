#pragma once
// What a format's reader yields: the events of one statement, in their order. A
// reader only reads its input (loko.cpp, bss.cpp, rfk.cpp: one a format); the writer
// (writer.h) puts the events into the firm's files. A reader writes no file and reads
// no program-wide variable: what it needs of the firm is given to it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/storage/file.h"

namespace zelk::import {

// Which way the money goes, as a document tells it.
enum class Direction {
  None,      // no direction: STATUS and both accounts blank
  Received,  // STATUS "0", the bank ledger account is the debit account
  Paid,      // STATUS "1", it is the credit account
  Both,      // STATUS "1", the bank ledger account on both sides (an RFK payment with both amounts)
};

// The balance record written anew: LVO:OST and LVO:DATA.
struct Balance {
  double amount = 0;
  std::int32_t day = 0;
};

// The balance record's date set in the record already written: LVO:DATA.
struct BalanceDay {
  std::int32_t day = 0;
};

// One payment document: a posting, and the counterparty row it adds. The texts are
// the reader's, valid until its next event; each field cuts or pads its text.
struct Document {
  std::string_view number;  // DBI:NNDOC
  std::int32_t day = 0;     // DBI:DATAOPER
  double amount = 0;        // DBI:SUMMA
  Direction direction = Direction::None;
  std::string_view purpose;                      // DBI:NAMEOPER
  std::optional<std::string_view> counterparty;  // PRT:NAME of its row; none: no row
};

// The input has no more events.
struct End {};

// A read that failed before the end: the file's name and the storage error.
struct ReadFailed {
  std::string file;
  storage::ErrorState error;
};

using Event = std::variant<End, ReadFailed, Balance, BalanceDay, Document>;

class Reader {
 public:
  virtual ~Reader() = default;
  // Opens the input; the storage error code. Nothing is written when it fails.
  virtual int open() = 0;
  // The next event. After End or ReadFailed nothing more is asked.
  virtual Event next() = 0;
};

// The event a NEXT that failed ends the input with: End when there was nothing more
// to read, ReadFailed when the read failed.
Event endOf(const storage::File& file);

// NEXT on a file: nothing when a record was read, else the event that ends the input.
inline std::optional<Event> nextRecord(storage::File& file) {
  if (file.next() == 0) return std::nullopt;
  return endOf(file);
}

}  // namespace zelk::import
