#pragma once
// Another station holding the partner register locked: a child process with a
// connection of its own takes the lock and keeps it until released. On SQLite the
// database's write lock (BEGIN EXCLUSIVE, which keeps readers out too); on PostgreSQL
// LOCK TABLE "PARTNER" in an open transaction (as VACUUM FULL or ALTER TABLE take it).
#include <sql.h>
#include <sqlext.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace zelk::test {

class RegisterLock {
 public:
  RegisterLock(const std::string& connection, bool postgres) {
    int held[2], release[2];
    if (::pipe(held) != 0 || ::pipe(release) != 0) return;
    std::fflush(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(held[0]);
      ::close(release[1]);
      char c = hold(connection, postgres) ? 'h' : 'f';
      if (::write(held[1], &c, 1) != 1 || c != 'h') _exit(1);
      if (::read(release[0], &c, 1) < 0) _exit(2);  // the parent writes or closes the pipe
      _exit(0);  // the connection's end ends its transaction
    }
    ::close(held[1]);
    ::close(release[0]);
    release_ = release[1];
    char c = 0;
    held_ = pid_ > 0 && ::read(held[0], &c, 1) == 1 && c == 'h';
    ::close(held[0]);
  }
  RegisterLock(const RegisterLock&) = delete;
  RegisterLock& operator=(const RegisterLock&) = delete;
  ~RegisterLock() { release(); }

  bool held() const { return held_; }

  // The other station's transaction ends; back once its process has.
  void release() {
    if (release_ >= 0) ::close(release_);
    release_ = -1;
    if (pid_ > 0) {
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    held_ = false;
  }

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

  pid_t pid_ = -1;
  int release_ = -1;
  bool held_ = false;
};

}  // namespace zelk::test
