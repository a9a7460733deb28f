#pragma once
// The one writer of the imports: any format's reader run into the firm's files.
#include "import/posting.h"
#include "import/reader.h"

namespace zelk::import {

// Runs the reader into the thread's open DBI, PRT and LVO:
// - The input is opened first; when it does not open the run ends with NoInput and
//   no file is touched.
// - Then the files are checked, locked for the whole run, read through and emptied
//   (DBI, then PRT); a failure there ends the run before anything is deleted or counted.
// - Every event is then written in its order: a balance by writeBalance, a balance
//   day read again and put back, a document as its counterparty row (when it has
//   one) and its posting, with the firm's ledger account on its side; each posting is
//   counted and reported to progress.
// - An event past the limit (32,767 postings or rows) ends the run with TooMany; a
//   read that failed ends it with that file's kReadFailed; the end of the input with
//   Done. TooMany and Done FLUSH DBI and PRT first.
ImportResult writePostings(Reader& reader, const Accounts& accounts, const Progress& progress);

}  // namespace zelk::import
