#include "platform/storage/odbc/odbc.h"

#include <atomic>
#include <mutex>
#include <utility>

#include "platform/core/text.h"
#include "platform/storage/odbc/connection.h"
#include "platform/storage/odbc/table.h"
#include "platform/storage/sharelock.h"

namespace zelk::storage::odbc {
namespace {

std::mutex settingMutex;
std::string setting = "DSN=zlk";
std::atomic<std::chrono::milliseconds::rep> busyWaitMs{std::chrono::milliseconds(std::chrono::seconds(kLockWaitSeconds)).count()};

}  // namespace

Driver driver() { return Driver{&openTable, nullptr, nullptr}; }

void setConnectionString(std::string connection) {
  std::lock_guard g(settingMutex);
  setting = std::move(connection);
}

std::string connectionString() {
  std::lock_guard g(settingMutex);
  return setting;
}

void setBusyWait(std::chrono::milliseconds wait) { busyWaitMs = wait.count(); }
std::chrono::milliseconds busyWait() { return std::chrono::milliseconds(busyWaitMs.load()); }

ErrorState runScript(const std::string& connection, std::string_view script) {
  Connection con;
  if (ErrorState e = con.connect(connection); e.code) return e;
  std::string statement;
  while (!script.empty()) {
    std::size_t nl = script.find('\n');
    std::string_view line = script.substr(0, nl);
    script = nl == std::string_view::npos ? std::string_view() : script.substr(nl + 1);
    line = trimRight(line, " \t\r");
    std::string_view body = trimLeft(line, " \t");
    if (body.empty() || body.starts_with("--")) continue;
    if (!statement.empty()) statement += '\n';
    statement += line;
    if (line.back() == ';') {
      statement.pop_back();
      if (ErrorState e = con.exec(statement); e.code) return e;
      statement.clear();
    }
  }
  if (!statement.empty()) return con.exec(statement);
  return {};
}

}  // namespace zelk::storage::odbc
