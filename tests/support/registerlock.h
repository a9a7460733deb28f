#pragma once
// Another station holding the partner register locked: a child process with a
// connection of its own takes the lock and keeps it until released. On SQLite the
// database's write lock (BEGIN EXCLUSIVE, which keeps readers out too); on PostgreSQL
// LOCK TABLE "PARTNER" in an open transaction (as VACUUM FULL or ALTER TABLE take it).
#include <sql.h>
#include <sqlext.h>
#include <string>
#include <vector>

#include "support/heldbychild.h"

namespace zelk::test {

class RegisterLock : public HeldByChild {
 public:
  // The connection's end, with the child's, ends its transaction.
  RegisterLock(const std::string& connection, bool postgres)
      : HeldByChild([&](const std::function<void()>& holdUntilReleased) {
          if (!hold(connection, postgres)) return 1;
          holdUntilReleased();
          return 0;
        }) {}

 private:
  // In the child: connects and takes the lock; the handles live until the process ends.
  static bool hold(const std::string& connection, bool postgres) {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT st = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return false;
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) return false;
    std::vector<SQLCHAR> cs(connection.begin(), connection.end());
    cs.push_back(0);
    if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, cs.data(), SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT)))
      return false;
    if (postgres &&
        !SQL_SUCCEEDED(SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0)))
      return false;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st))) return false;
    std::string sql = postgres ? "LOCK TABLE \"PARTNER\"" : "BEGIN EXCLUSIVE";
    std::vector<SQLCHAR> text(sql.begin(), sql.end());
    text.push_back(0);
    return SQL_SUCCEEDED(SQLExecDirect(st, text.data(), SQL_NTS));
  }
};

}  // namespace zelk::test
