#pragma once
// The On-soft/Loko-Bank statement: groups of seven lines, one group per document
// (balance, number, date dd-mm-yyyy, signed amount, purpose, payer, payee).
#include <string_view>

#include "import/posting.h"

namespace zelk::import {

// Imports the statement file into the thread's open DBI, PRT and LVO, with the
// firm's bank ledger account N_SC_B.
//
// The statement is opened read-only, others denied writing, before anything is
// written; when it does not open the run ends with NoInput and no file is touched.
// Then DBI and PRT are emptied and every complete group becomes a posting; the first
// group's balance and date go to LVO. A group cut short by the end of the file is not
// posted and writes nothing.
ImportResult runLoko(std::string_view statementPath, const Progress& progress);

}  // namespace zelk::import
