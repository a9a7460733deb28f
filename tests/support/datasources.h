#pragma once
// The ODBC data sources of a test program: SQLite through a private ODBC configuration
// in a temporary folder (set up by scripts/odbc-setup.sh), and PostgreSQL through the
// private server that scripts/pg-test-server.sh starts (ZELK_TEST_PG_DSN), on a
// schema of the test process's own (ctest runs the tests at once). The program
// defines ZELK_SOURCE_DIR.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>

#include "platform/storage/file.h"
#include "platform/storage/odbc/odbc.h"
#include "support/files.h"
#include "support/tempdir.h"

namespace zelk::test {

// The private ODBC configuration, made before the first ODBC call of the process. Each
// back end is set up the first time a test asks for it.
class DataSources : public ::testing::Environment {
 public:
  void SetUp() override {
    dir = std::make_unique<TempDir>();
    ::setenv("ODBCSYSINI", dir->path().c_str(), 1);
    ::setenv("ODBCINI", (*dir / "odbc.ini").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (*dir / "data").c_str(), 1);
    // The private configuration knows psqlODBC under its Debian name too.
    std::ofstream(*dir / "odbcinst.ini", std::ios::app)
        << "[PostgreSQL ANSI]\nDescription=PostgreSQL ODBC driver (ANSI version)\nDriver=psqlodbca.so\n\n";
    storage::registerDriver(storage::DriverKind::Odbc, storage::odbc::driver());
    if (const char* pg = std::getenv("ZELK_TEST_PG_DSN")) pgServer = pg;
    if (const char* pg = std::getenv("ZELK_TEST_PG_UTF8_DSN")) pgUtf8Server = pg;
  }

  void TearDown() override {
    for (PgSchema* s : {&pg_, &pgUtf8_})
      if (!s->name.empty()) storage::odbc::runScript(s->server, "DROP SCHEMA IF EXISTS " + s->name + " CASCADE;");
    dir.reset();
  }

  // The connection string of the SQLite data source, "" with the reason in problem.
  std::string sqlite(std::string& problem) {
    if (sqliteStatus < 0) sqliteStatus = runSetup();
    if (sqliteStatus != 0) problem = "scripts/odbc-setup.sh failed";
    return sqliteStatus == 0 ? "DSN=zlk" : "";
  }

  std::string postgres(std::string& problem) { return pg_.connection(pgServer, problem); }
  // The same in the database in UTF8 (ZELK_TEST_PG_UTF8_DSN, when set).
  std::string postgresUtf8(std::string& problem) { return pgUtf8_.connection(pgUtf8Server, problem); }

  static int runSetup() {
    std::string cmd = std::string(ZELK_SOURCE_DIR) + "/scripts/odbc-setup.sh >/dev/null";
    return std::system(cmd.c_str());
  }
  static std::string schema() { return readAll(std::string(ZELK_SOURCE_DIR) + "/platform/storage/odbc/zlk-schema.sql"); }

  std::unique_ptr<TempDir> dir;
  std::string pgServer;      // ZELK_TEST_PG_DSN
  std::string pgUtf8Server;  // ZELK_TEST_PG_UTF8_DSN

 private:
  // The test process's schema in one database of the server, with the two tables.
  struct PgSchema {
    std::string server, name, cs, problem;
    std::string connection(const std::string& of, std::string& why) {
      if (of.empty()) {
        why = "the server's connection string is not set";
        return {};
      }
      if (cs.empty() && problem.empty()) {
        server = of;
        name = "zlk_test_" + std::to_string(::getpid());
        storage::ErrorState e = storage::odbc::runScript(
            server, "DROP SCHEMA IF EXISTS " + name + " CASCADE;\nCREATE SCHEMA " + name + ";");
        std::string c = server + (server.back() == ';' ? "" : ";") + "ConnSettings={SET search_path TO " + name + "};";
        if (e.code == 0) e = storage::odbc::runScript(c, schema());
        if (e.code == 0) cs = c;
        else problem = e.fileText.empty() ? "the test schema could not be made" : e.fileText;
      }
      why = problem;
      return cs;
    }
  };

  int sqliteStatus = -1;
  PgSchema pg_, pgUtf8_;
};

// The test program's data sources (registered once, in the first file that asks).
inline DataSources* const sources = static_cast<DataSources*>(::testing::AddGlobalTestEnvironment(new DataSources));

struct BackendCase {
  const char* name;
  bool postgres;
  bool utf8 = false;  // PostgreSQL: the database in UTF8
};
inline const BackendCase kBackends[] = {{"SQLite", false}, {"PostgreSQL", true}};
inline void PrintTo(const BackendCase& b, std::ostream* os) { *os << b.name; }
inline std::string backendName(const ::testing::TestParamInfo<BackendCase>& i) { return i.param.name; }

// The connection string of a back end, made the connection of every later open,
// with both tables emptied; "" with the reason in problem. The caller skips the
// PostgreSQL cases when sources->pgServer is empty.
inline std::string emptySource(const BackendCase& b, std::string& problem) {
  std::string cs = b.utf8 ? sources->postgresUtf8(problem) : b.postgres ? sources->postgres(problem) : sources->sqlite(problem);
  if (cs.empty()) return {};
  storage::odbc::setConnectionString(cs);
  storage::ErrorState e = storage::odbc::runScript(cs, "DELETE FROM \"PARTNER\";\nDELETE FROM \"ANALIT\";");
  if (e.code == 0) return cs;
  problem = e.fileText;
  return {};
}

}  // namespace zelk::test
