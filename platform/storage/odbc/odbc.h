#pragma once
// ODBC tables (PARTNER and ANALIT of the data source "zlk") through unixODBC. Register
// it with registerDriver(DriverKind::Odbc, odbc::driver()).
//
// - Every open File has a connection of its own, made with the process-wide connection
//   string (setConnectionString; "DSN=zlk", no user name or password, until set). The
//   declared name of the file is the table.
// - Open checks that the table and every declared column exist: a missing table gives
//   kFileNotFound; a missing data source, a server that does not answer or a missing
//   column give kDriverError with the driver's own message as fileText.
// - Names are quoted with the data source's quote character (SQLGetInfo): a column is
//   its external name with the back-quotes replaced by that quote ("`key`" -> "key"),
//   else its name in quotes; tables likewise. Every value goes through a bound
//   parameter.
// - Columns: text as VARCHAR of the field's width, written without trailing blanks
//   and cut to the field's width when read; memo TEXT; int16 and uint8 SMALLINT;
//   int32 INTEGER; packed decimals BIGINT (exact); real DOUBLE PRECISION; dates DATE
//   (day numbers <-> calendar dates, no date is NULL). NULL reads as blank or 0.
//   Texts go to the data source as the program holds them (code page 1251); on
//   PostgreSQL the connection's client encoding is set to WIN1251 where the database
//   holds WIN1251 or SQL_ASCII, else to UTF8, and every text is converted between
//   UTF-8 and 1251 on its own (a letter 1251 lacks reads as '?').
// - Another connection's lock (SQLite's write lock, a PostgreSQL LOCK TABLE) is waited
//   for up to busyWait() (SQLite's busy timeout, given first in the connection
//   string; a write there may wait twice that; PostgreSQL's lock_timeout); then the
//   storage layer's busy question (setLockBusyQuestion, with the table's name) decides
//   between waiting as long again and kFileLocked, at the open as at every later
//   statement. Inside LOCK on PostgreSQL the failed statement has undone the
//   transaction: kFileLocked at once.
// - SET(key) and SET(key, key) read in the key's order page by page (kPageRows rows
//   a fetch, the primary key's columns added as the tie-breaker of a key that allows
//   duplicates); SET(file) reads in the primary key's order. SET(key, key) positions
//   at the key value in the buffer: NEXT reads the first record at or after it,
//   PREVIOUS the last one at or before it. Pages already read are not read again
//   while the reading goes on, so another station's changes to them stay unseen until
//   the next SET, RESET or write. The key attributes NOCASE and OPT are not applied.
// - GET(key) reads the first record with the key value (in the key's order).
// - ADD inserts; a duplicate primary or unique key gives kDuplicateKey (SQLSTATE 23505
//   or 23000, or SQLite's "UNIQUE constraint failed"). PUT and DELETE rewrite and
//   delete the current record by its primary key: kRecordNotAvailable when it is gone.
//   WATCH then PUT: kRecordChanged when the row differs from what was read (checked by
//   reading it again in the PUT's transaction).
// - LOCK starts a transaction (autocommit off) that UNLOCK (or CLOSE) commits: many
//   ADDs in one. On PostgreSQL a failed statement inside it undoes the whole
//   transaction.
// - POSITION/RESET: the order and the current record's values in it. FLUSH does
//   nothing (every statement outside LOCK commits); SEND accepts and ignores every
//   command; CREATE and BUILD are not supported (the schema script makes the tables).
// - The sharing bits of the open mode are the data source's business; an open without
//   write access refuses ADD, PUT, DELETE and LOCK with kAccessDenied.
#include <chrono>
#include <string>
#include <string_view>

#include "platform/storage/file.h"

namespace zelk::storage::odbc {

Driver driver();

// The connection string of every later open, for the whole process.
void setConnectionString(std::string connection);
std::string connectionString();

// How long a statement waits for another connection's lock before the busy question,
// for every later connection of the process; kLockWaitSeconds until set.
void setBusyWait(std::chrono::milliseconds wait);
std::chrono::milliseconds busyWait();

// Rows read from the data source at a time when a key order is read.
inline constexpr int kPageRows = 25;

// Runs a script of our own on a connection of its own: statements end with ";" at the
// end of a line; lines starting with "--" are comments. The script's texts travel as
// the connection's (UTF-8 on a PostgreSQL database in UTF8). Stops at the first statement
// that fails. For the set-up of tests and benchmarks (the schema script, emptying a
// table); never for user text.
ErrorState runScript(const std::string& connection, std::string_view script);

}  // namespace zelk::storage::odbc
