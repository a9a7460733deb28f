#pragma once
// The BSS statement: fixed columns. Line 2 is the header (statement date and opening
// balance); every line whose first character is "0" is a payment document. Its
// reader yields the header's balance, then every document line as a document.
#include <cstddef>
#include <string_view>

#include "import/posting.h"
#include "import/reader.h"

namespace zelk::import {

// A column range of a line, counted from 1, both ends included.
struct Columns {
  std::size_t first, last;
  // Blanks beyond the line's end read as nothing.
  std::string_view of(std::string_view line) const {
    if (first - 1 >= line.size()) return {};
    return line.substr(first - 1, last - first + 1);
  }
};

namespace bss {
inline constexpr Columns kStatementDate{44, 53};
inline constexpr Columns kOpeningBalance{55, 74};
inline constexpr Columns kDocDate{49, 58};
inline constexpr Columns kDocNumber{69, 73};
inline constexpr Columns kPayerAccount{86, 105};
inline constexpr Columns kPayerName{123, 282};
inline constexpr Columns kPayeeName{466, 625};
inline constexpr Columns kAmount{772, 791};
inline constexpr Columns kPurpose{808, 1017};
inline constexpr char kDocumentMark = '0';

// The header line's balance and its date.
Balance header(std::string_view line);
// A line whose first character is the document mark.
bool isDocument(std::string_view line);
// A document line, its texts the line's: paid by the firm when its payer account is
// the firm's own account number (the payee's row), else received (the payer's row);
// the amount with its sign as read.
Document document(std::string_view line, std::string_view ownAccount);
}  // namespace bss

// The decimal-comma amount of a text (held in a 32-character buffer): with a comma,
// the digits before it, a point and the two characters after it; a third decimal is
// dropped; then the statements' number rule.
double decimalCommaAmount(std::string_view text);

// Imports the statement file into the thread's open DBI, PRT and LVO, with the
// firm's bank account number (a document whose payer account equals it is paid by
// the firm) and bank ledger account.
//
// The statement is opened read-only, others denied writing, before anything is
// written; when it does not open the run ends with NoInput and no file is touched.
// The header's balance and date go to LVO; a statement of one line has no header
// and leaves LVO as it was, its document lines are still imported.
ImportResult runBss(std::string_view statementPath, const Accounts& accounts, const Progress& progress);

}  // namespace zelk::import
