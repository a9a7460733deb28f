#pragma once
// The On-soft/Loko-Bank statement: groups of seven lines, one group per document
// (balance, number, date dd-mm-yyyy, signed amount, purpose, payer, payee). Its
// reader yields the first group's balance, then its date, then every complete group
// as a document.
#include <cstdint>
#include <string_view>

#include "dictionary/records.h"
#include "import/posting.h"
#include "import/reader.h"
#include "platform/core/numread.h"

namespace zelk::import {

namespace loko {

// The lines of a group, in their order.
enum Line { kBalance, kNumber, kDate, kAmount, kPurpose, kPayer, kPayee, kLines };

// What a group's lines give, each line by its own rule; each text is held in the
// width of the field it goes to.
class Group {
 public:
  // Line i of the group as read (blank-padded or not); the balance line counts in
  // the first group only.
  void take(int i, std::string_view line, bool first) {
    switch (i) {
      case kBalance:
        if (first) balance_ = readFloatNumber(line);
        break;
      case kNumber: number_ = line; break;
      case kDate: day_ = readStatementDate(line); break;
      case kAmount: amount_ = readFloatNumber(line); break;
      case kPurpose: purpose_ = line; break;
      case kPayer: payer_ = line; break;
      case kPayee: payee_ = line; break;
      default: break;
    }
  }
  // LVO:OST of the first group.
  double balance() const { return balance_; }
  // The document's date: DBI:DATAOPER, and LVO:DATA of the first group.
  std::int32_t day() const { return day_; }
  // The document, its texts this group's: the amount's absolute value, received
  // above 0 (the payer's row), paid below 0 (the payee's row), else no direction and
  // no row.
  Document document() const;

 private:
  double balance_ = 0;
  decltype(dict::DbiRecord::NNDOC) number_;
  std::int32_t day_ = 0;
  double amount_ = 0;
  decltype(dict::DbiRecord::NAMEOPER) purpose_;
  decltype(dict::PrtRecord::NAME) payer_, payee_;
};

}  // namespace loko

// Imports the statement file into the thread's open DBI, PRT and LVO, with the
// firm's bank ledger account.
//
// The statement is opened read-only, others denied writing, before anything is
// written; when it does not open the run ends with NoInput and no file is touched.
// Then DBI and PRT are emptied and every complete group becomes a posting; the first
// group's balance and date go to LVO. A group cut short by the end of the file is not
// posted and writes nothing.
ImportResult runLoko(std::string_view statementPath, const Accounts& accounts, const Progress& progress);

}  // namespace zelk::import
