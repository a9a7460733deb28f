#pragma once
// The ODBC driver's connection to its data source and the mapping of the driver
// manager's diagnostics onto the storage error codes. Internal to the driver.
#include <sql.h>
#include <sqlext.h>

#include <string>
#include <vector>

#include "platform/storage/file.h"

namespace zelk::storage::odbc {

// A diagnostic record: SQLSTATE, the data source's native code and its message.
struct Diag {
  std::string state;
  SQLINTEGER native = 0;
  std::string message;
};

// The first error record of a handle (a warning only when there is nothing else).
Diag diagnose(SQLSMALLINT type, SQLHANDLE h);
// A driver error carrying the data source's own code and text; a statement that gave
// up waiting for another connection's lock (isBusy) is kFileLocked with that text.
ErrorState driverError(const Diag& d);
// A refusal because another connection holds a lock for longer than the wait:
// SQLite's busy or locked database or table, PostgreSQL's lock timeout.
bool isBusy(const Diag& d);
// A refusal for a duplicate key, as PostgreSQL, SQLite and the standard report it.
bool isDuplicate(const Diag& d);
// A refusal for a table that does not exist, by its SQLSTATE (ODBC 3 and 2, and
// PostgreSQL's own), or by SQLite's text, which comes with the general state.
bool isMissingTable(const Diag& d);
// A failed write: kDuplicateKey for a duplicate key, else a driver error.
ErrorState writeError(const Diag& d);

// One connection: the environment and connection handles, the data source's quote
// character and whether a commit drops the prepared statements.
class Connection {
 public:
  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() { disconnect(); }

  // Connects with the connection string cs and sets the wait for another
  // connection's lock (busyWait()): SQLite's busy timeout, PostgreSQL's lock timeout.
  // On PostgreSQL texts travel as WIN1251 where the database holds WIN1251 or
  // SQL_ASCII bytes, else as UTF8, converted value by value (utf8()).
  ErrorState connect(const std::string& cs);
  void disconnect();
  // Runs one statement of our own that returns no rows we read; a failure is a
  // driver error with the data source's text, its diagnostics in diag when asked.
  ErrorState exec(const std::string& sql, Diag* diag = nullptr);
  ErrorState setAutocommit(bool on);
  ErrorState endTransaction(bool commit);
  // The column names of a table, from the catalogue; false when the driver gives none.
  bool columnsOf(const std::string& table, std::vector<std::string>& names);

  SQLHDBC dbc() const { return dbc_; }
  const std::string& quote() const { return quote_; }
  bool commitDropsStatements() const { return commitDropsStatements_; }
  // Texts go to and come from the data source in UTF-8, not as the program holds them.
  bool utf8() const { return utf8_; }
  // A statement that failed inside a transaction undoes the whole transaction
  // (PostgreSQL): it cannot simply be run again.
  bool failureEndsTransaction() const { return postgres_; }

 private:
  std::string info(SQLUSMALLINT what, std::string fallback);
  // The first column of the first row of a query of our own; "" when there is none.
  std::string single(const std::string& sql);

  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;
  std::string quote_;
  bool commitDropsStatements_ = false;
  bool utf8_ = false;
  bool postgres_ = false;
};

}  // namespace zelk::storage::odbc
