#pragma once
// The review of imported postings: the postings list and the posting form.

namespace zelk::review {

// The postings list "Дополнительная обработка по импорту": every posting of the
// firm's dbi.dbf in record order with its counterparty text, the incoming balance,
// the turnovers, the resulting balance and the row count; "&Редактировать" opens the
// posting form. Returns when the list closes (GLOBALRESPONSE completed).
void DBI_TAB();

// The posting form: the other account and the analytics codes of the posting in the
// DBI buffer, typed or picked from the look-ups PLN_TAB, PLN_TAB1, PR_TTT, PR_TTT1;
// for the request in GLOBALREQUEST, its answer in GLOBALRESPONSE. Reads the
// counterparty text from PRT, which the postings list holds open.
void UPDATEDBI();

}  // namespace zelk::review
