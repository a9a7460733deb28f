#pragma once
// dBase IV tables (dbi.dbf, subs_clt.dbf) through our own codec over positioned reads
// and writes.
//
// - Columns are matched to the declared fields by name, without regard to letter
//   case: the external name up to "=" ("NNOPER=N(7.0)" is column NNOPER), else the
//   field's name. A declared field the table lacks fails the open with 47; columns
//   the declaration lacks are kept as they are by PUT and left blank by ADD.
// - Values are converted by the column's own type: C text (1251 <-> 866 when the
//   declaration stores the DOS code page), N/F numbers formatted to the column's width
//   and decimals ('*'s when a value does not fit), D dates as YYYYMMDD (blank is no
//   date), L logicals.
// - Record order skips deleted records; DELETE marks the record "*"; ADD appends after
//   the last record, deleted ones included, and moves the 0x1A end marker; the file is
//   never packed. The record count in the header is kept current at every ADD and
//   read again whenever a statement reaches the end of the records it knows, so the
//   appends of another station are seen.
// - EOF: no live record follows the position (right after SET: the table has none),
//   looked up afresh, so the importers' "EOF before each read" pass ends cleanly.
// - records() is the header's count of records, deleted ones included (it costs one
//   read; use it for progress, not to count postings).
// - No keys: SET(key) and GET give kNotSupported.
// - WATCH then PUT: kRecordChanged when the record on disk changed since it was read.
// - SEND: "QUICKSCAN=on" reads ahead up to 64 KB of records and keeps them between
//   statements (changes of other stations to records already read ahead stay unseen
//   until SET or a write); "QUICKSCAN=off" (the default) reads only what a statement
//   needs. The reply is the setting in force. "RECOVER=..." and other commands are
//   accepted and ignored.
// - CREATE writes an empty table: column types from the external names ("X=N(w.d)",
//   "X=C(w)", "X=D", "X=L"); without one, text fields are C of their size, dates D,
//   int16 N(6.0), int32 N(11.0), uint8 N(3.0), packed decimals N(12.0) and reals
//   N(19.3), the form of the postings' amounts. Memo fields cannot be created.
#include "platform/storage/file.h"

namespace zelk::storage::dbase {

Driver driver();

}  // namespace zelk::storage::dbase
