#include "platform/storage/odbc/connection.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#include "platform/core/numtext.h"
#include "platform/storage/odbc/odbc.h"

namespace zelk::storage::odbc {

Diag diagnose(SQLSMALLINT type, SQLHANDLE h) {
  Diag first, error;
  bool haveFirst = false, haveError = false;
  for (SQLSMALLINT i = 1; !haveError; ++i) {
    SQLCHAR state[6] = {};
    SQLCHAR msg[1024] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT len = 0;
    SQLRETURN r = SQLGetDiagRec(type, h, i, state, &native, msg, sizeof msg, &len);
    if (!SQL_SUCCEEDED(r)) break;
    Diag d;
    d.state.assign(reinterpret_cast<const char*>(state), ::strnlen(reinterpret_cast<const char*>(state), 5));
    d.native = native;
    d.message.assign(reinterpret_cast<const char*>(msg), ::strnlen(reinterpret_cast<const char*>(msg), sizeof msg));
    if (!haveFirst) {
      first = d;
      haveFirst = true;
    }
    if (d.state.compare(0, 2, "01") != 0) {
      error = std::move(d);
      haveError = true;
    }
  }
  return haveError ? error : first;
}

ErrorState driverError(const Diag& d) {
  ErrorState e = errorOf(isBusy(d) ? kFileLocked : kDriverError);
  e.fileCode = d.native;
  e.fileText = d.message.empty() ? "SQLSTATE " + d.state : d.message;
  return e;
}

namespace {

bool containsNoCase(std::string_view s, std::string_view what) {
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  return std::search(s.begin(), s.end(), what.begin(), what.end(),
                     [&](char a, char b) { return lower(a) == lower(b); }) != s.end();
}

}  // namespace

bool isDuplicate(const Diag& d) {
  constexpr SQLINTEGER kSqliteConstraint = 19;
  if (d.state == "23505" || d.state == "23000") return true;
  if (d.message.find("UNIQUE constraint failed") != std::string::npos) return true;
  return d.state == "HY000" && d.native == kSqliteConstraint && containsNoCase(d.message, "unique");
}

bool isBusy(const Diag& d) {
  if (d.state == "55P03") return true;  // PostgreSQL: lock_not_available
  // SQLite's SQLITE_BUSY and SQLITE_LOCKED come with the general state and their text.
  if (d.state != "HY000" && d.state != "S1000") return false;
  return containsNoCase(d.message, "database is locked") || containsNoCase(d.message, "database table is locked");
}

bool isMissingTable(const Diag& d) {
  if (d.state == "42S02" || d.state == "S0002" || d.state == "42P01") return true;
  return d.state == "HY000" && containsNoCase(d.message, "no such table");
}

ErrorState writeError(const Diag& d) {
  if (!isDuplicate(d)) return driverError(d);
  ErrorState e = errorOf(kDuplicateKey);
  e.fileCode = d.native;
  e.fileText = d.message;
  return e;
}

ErrorState Connection::connect(const std::string& cs) {
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_))) {
    env_ = SQL_NULL_HENV;
    ErrorState e = errorOf(kDriverError);
    e.fileText = "the ODBC driver manager cannot be used";
    return e;
  }
  SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_))) {
    dbc_ = SQL_NULL_HDBC;
    return driverError(diagnose(SQL_HANDLE_ENV, env_));
  }
  const std::string wait = numberText(busyWait().count());
  // SQLite's driver takes its busy timeout from the connection string alone, the first
  // of two winning (the data source's own comes last); psqlODBC passes over it.
  std::vector<SQLCHAR> in;
  for (std::string_view part : {std::string_view("Timeout="), std::string_view(wait), std::string_view(";"),
                                std::string_view(cs)})
    in.insert(in.end(), part.begin(), part.end());
  in.push_back(0);
  SQLCHAR out[1024];
  SQLSMALLINT outLen = 0;
  SQLRETURN r = SQLDriverConnect(dbc_, nullptr, in.data(), SQL_NTS, out, sizeof out, &outLen, SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(r)) return driverError(diagnose(SQL_HANDLE_DBC, dbc_));
  connected_ = true;

  quote_ = info(SQL_IDENTIFIER_QUOTE_CHAR, "\"");
  if (quote_ == " ") quote_.clear();
  SQLUSMALLINT behaviour = SQL_CB_PRESERVE;
  if (SQL_SUCCEEDED(SQLGetInfo(dbc_, SQL_CURSOR_COMMIT_BEHAVIOR, &behaviour, sizeof behaviour, nullptr)))
    commitDropsStatements_ = behaviour == SQL_CB_DELETE;
  if (info(SQL_DBMS_NAME, "") == "PostgreSQL") {
    postgres_ = true;
    if (ErrorState e = exec("SET lock_timeout = " + wait); e.code) return e;
    // The program's texts are 1251 bytes. A database in another encoding may hold
    // letters 1251 lacks: its texts are read in UTF8 and converted one by one, so that
    // such a letter spoils no other row.
    const std::string server = single("SHOW server_encoding");
    utf8_ = !server.empty() && server != "WIN1251" && server != "SQL_ASCII";
    if (ErrorState e = exec(utf8_ ? "SET client_encoding TO 'UTF8'" : "SET client_encoding TO 'WIN1251'"); e.code)
      return e;
  }
  return {};
}

void Connection::disconnect() {
  if (connected_) SQLDisconnect(dbc_);
  connected_ = false;
  if (dbc_ != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
  dbc_ = SQL_NULL_HDBC;
  if (env_ != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env_);
  env_ = SQL_NULL_HENV;
}

ErrorState Connection::exec(const std::string& sql, Diag* diag) {
  SQLHSTMT h = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &h))) return driverError(diagnose(SQL_HANDLE_DBC, dbc_));
  std::vector<SQLCHAR> text(sql.begin(), sql.end());
  text.push_back(0);
  SQLRETURN r = SQLExecDirect(h, text.data(), SQL_NTS);
  ErrorState e;
  if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA) {
    Diag d = diagnose(SQL_HANDLE_STMT, h);
    e = driverError(d);
    if (diag) *diag = std::move(d);
  }
  SQLFreeHandle(SQL_HANDLE_STMT, h);
  return e;
}

ErrorState Connection::setAutocommit(bool on) {
  SQLRETURN r = SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT,
                                  reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), 0);
  if (!SQL_SUCCEEDED(r)) return driverError(diagnose(SQL_HANDLE_DBC, dbc_));
  return {};
}

ErrorState Connection::endTransaction(bool commit) {
  SQLRETURN r = SQLEndTran(SQL_HANDLE_DBC, dbc_, commit ? SQL_COMMIT : SQL_ROLLBACK);
  if (!SQL_SUCCEEDED(r)) return driverError(diagnose(SQL_HANDLE_DBC, dbc_));
  return {};
}

bool Connection::columnsOf(const std::string& table, std::vector<std::string>& names) {
  names.clear();
  SQLHSTMT h = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &h))) return false;
  std::vector<SQLCHAR> t(table.begin(), table.end());
  t.push_back(0);
  bool ok = SQL_SUCCEEDED(SQLColumns(h, nullptr, 0, nullptr, 0, t.data(), SQL_NTS, nullptr, 0));
  SQLCHAR name[256];
  SQLLEN ind = 0;
  constexpr SQLUSMALLINT kColumnName = 4;
  ok = ok && SQL_SUCCEEDED(SQLBindCol(h, kColumnName, SQL_C_CHAR, name, sizeof name, &ind));
  while (ok) {
    SQLRETURN r = SQLFetch(h);
    if (r == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(r)) {
      ok = false;
      break;
    }
    if (ind != SQL_NULL_DATA)
      names.emplace_back(reinterpret_cast<const char*>(name), ::strnlen(reinterpret_cast<const char*>(name), sizeof name));
  }
  SQLFreeHandle(SQL_HANDLE_STMT, h);
  return ok && !names.empty();
}

std::string Connection::single(const std::string& sql) {
  SQLHSTMT h = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &h))) return {};
  std::vector<SQLCHAR> text(sql.begin(), sql.end());
  text.push_back(0);
  char buf[256] = {};
  SQLLEN ind = 0;
  std::string out;
  if (SQL_SUCCEEDED(SQLExecDirect(h, text.data(), SQL_NTS)) && SQL_SUCCEEDED(SQLFetch(h)) &&
      SQL_SUCCEEDED(SQLGetData(h, 1, SQL_C_CHAR, buf, sizeof buf, &ind)) && ind != SQL_NULL_DATA)
    out.assign(buf, ::strnlen(buf, sizeof buf));
  SQLFreeHandle(SQL_HANDLE_STMT, h);
  return out;
}

std::string Connection::info(SQLUSMALLINT what, std::string fallback) {
  char buf[256] = {};
  SQLSMALLINT len = 0;
  if (!SQL_SUCCEEDED(SQLGetInfo(dbc_, what, buf, sizeof buf, &len))) return fallback;
  return std::string(buf, ::strnlen(buf, sizeof buf));
}

}  // namespace zelk::storage::odbc
