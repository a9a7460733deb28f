// The partner lists' reading: 100,000 partners read through in code order, 25 rows a
// page, and a position at a code in the middle with one page read from there, on the
// embedded SQLite data source and on PostgreSQL (ZELK_TEST_PG_DSN, as
// scripts/pg-test-server.sh gives it; skipped without it), each beside the same
// queries run by isql in the same run.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <string>

#include "bench/figures.h"
#include "dictionary/declarations.h"
#include "dictionary/records.h"
#include "platform/core/codepage.h"
#include "platform/core/numtext.h"
#include "platform/storage/file.h"
#include "platform/storage/odbc/odbc.h"
#include "tests/support/files.h"
#include "tests/support/tempdir.h"

void benchOdbc();

namespace {

using zelk::fixedText;
using zelk::numberText;

namespace odbc = zelk::storage::odbc;
using zelk::storage::TypedFile;
using Partners = TypedFile<zelk::dict::ParRecord>;

constexpr int kPartners = 100000;
constexpr int kPage = odbc::kPageRows;
constexpr int kPositions = 200;  // positions timed, each followed by one page
constexpr int kMiddle = kPartners / 2;

std::string code6(int n) {
  const std::string s = numberText(n);
  return std::string(6 - std::min<std::size_t>(6, s.size()), '0') + s;
}

using zelk::bench::millis;

std::string schemaPath() {
  return (std::filesystem::path(__FILE__).parent_path().parent_path() / "platform/storage/odbc/zlk-schema.sql").string();
}

using zelk::test::readAll;

// The table made if missing and emptied, then 100,000 partners added in one transaction.
bool fill(const std::string& cs, std::string& problem) {
  zelk::storage::ErrorState e = odbc::runScript(cs, readAll(schemaPath()));
  if (e.code == 0) e = odbc::runScript(cs, "DELETE FROM \"PARTNER\";");
  if (e.code) {
    problem = e.fileText;
    return false;
  }
  odbc::setConnectionString(cs);
  Partners f(zelk::dict::PARTNER_DECL);
  if (f.open(zelk::storage::mode::kReadWrite | zelk::storage::mode::kDenyNone) != 0 || f.lock() != 0) {
    problem = zelk::storage::lastError().fileText;
    return false;
  }
  const std::string name = zelk::ansi("ООО «Партнёр» № ");
  for (int i = 0; i < kPartners; ++i) {
    f.clearBuffer();
    f.rec.FLD_CODE = code6((i * 7919) % kPartners);  // added out of order
    f.rec.SHORTNAME = name + code6(i);
    f.rec.ORGNAME = name + code6(i) + zelk::ansi(", г. Москва, ул. Тверская, д. 1");
    f.rec.CODE_INN = "7701" + code6(i);
    if (f.add() != 0) {
      problem = zelk::storage::lastError().fileText;
      return false;
    }
  }
  if (f.unlock() != 0) {
    problem = zelk::storage::lastError().fileText;
    return false;
  }
  return true;
}

struct Figures {
  double pageMs = 0, positionMs = 0;
  int rows = 0;
};

Figures driverFigures(const std::string& cs) {
  Figures r;
  odbc::setConnectionString(cs);
  Partners f(zelk::dict::PARTNER_DECL);
  if (f.open(zelk::storage::mode::kRead | zelk::storage::mode::kDenyNone) != 0) return r;
  double all = millis([&] {
    f.set(zelk::dict::par::FULLCODE);
    while (f.next() == 0) ++r.rows;
  });
  r.pageMs = all / (static_cast<double>(r.rows) / kPage);
  double pos = millis([&] {
    for (int i = 0; i < kPositions; ++i) {
      f.clearBuffer();
      f.rec.FLD_CODE = code6(kMiddle + i * 7);
      f.setAt(zelk::dict::par::FULLCODE);
      for (int k = 0; k < kPage; ++k) f.next();
    }
  });
  r.positionMs = pos / kPositions;
  return r;
}

// The driver's queries, as isql runs them: every column, keyset pages on the code.
std::string columns() {
  std::string s;
  for (const zelk::storage::FieldDesc& fd : zelk::dict::PARTNER_DECL.fields) {
    std::string name;
    for (char c : zelk::storage::columnName(fd))
      if (c != '`') name += c;
    s += (s.empty() ? "\"" : ", \"") + name + "\"";
  }
  return s;
}

double isqlMillis(const std::string& cs, const std::string& script, const std::string& dir) {
  const std::string in = dir + "/isql.sql";
  std::ofstream(in, std::ios::binary | std::ios::trunc) << script;
  const std::string cmd = "isql -b -k -d'|' '" + cs + "' < '" + in + "' > /dev/null 2>&1";
  return millis([&] {
    if (std::system(cmd.c_str()) != 0) std::cerr << "isql failed: " << cmd << "\n";
  });
}

Figures isqlFigures(const std::string& cs, const std::string& dir) {
  Figures r;
  const std::string select = "SELECT " + columns() + " FROM \"PARTNER\"";
  const std::string order = " ORDER BY \"code\" LIMIT " + numberText(kPage) + "\n";
  std::string pages = select + order;
  for (int p = 1; p * kPage < kPartners; ++p) pages += select + " WHERE \"code\" > '" + code6(p * kPage - 1) + "'" + order;
  std::string positions;
  for (int i = 0; i < kPositions; ++i) positions += select + " WHERE \"code\" >= '" + code6(kMiddle + i * 7) + "'" + order;
  // isql's own start and connection, taken off both.
  const double start = isqlMillis(cs, "SELECT 1\n", dir);
  r.rows = kPartners;
  r.pageMs = std::max(0.0, isqlMillis(cs, pages, dir) - start) / (kPartners / kPage);
  r.positionMs = std::max(0.0, isqlMillis(cs, positions, dir) - start) / kPositions;
  return r;
}

void report(const std::string& backend, const std::string& cs, const std::string& dir) {
  const std::string label = "  " + backend + std::string(12 - std::min<std::size_t>(12, backend.size()), ' ');
  std::string problem;
  double fillMs = millis([&] {
    if (!fill(cs, problem)) problem = problem.empty() ? "the table cannot be filled" : problem;
  });
  if (!problem.empty()) {
    std::cout << label << "skipped: " << problem << "\n";
    return;
  }
  Figures d = driverFigures(cs);
  Figures i = isqlFigures(cs, dir);
  std::cout << label << "filled " << numberText(kPartners) << " partners in " << fixedText(fillMs / 1000, 2) << " s\n";
  std::cout << label << "driver: " << fixedText(d.pageMs, 3) << " ms a page (" << numberText(d.rows) << " rows read), "
            << fixedText(d.positionMs, 3) << " ms to position at a code and read a page\n";
  std::cout << label << "isql:   " << fixedText(i.pageMs, 3) << " ms a page, " << fixedText(i.positionMs, 3)
            << " ms to position and read a page (same queries, isql's start taken off)\n";
  if (i.pageMs > 0 && i.positionMs > 0)
    std::cout << label << "driver/isql: pages " << fixedText(d.pageMs / i.pageMs, 2) << ", positioning "
              << fixedText(d.positionMs / i.positionMs, 2) << "\n";
}

}  // namespace

void benchOdbc() {
  std::cout << "ODBC partner register: " << numberText(kPartners) << " partners in code order, " << numberText(kPage)
            << " rows a page\n";
  zelk::test::TempDir dir;
  // A private ODBC configuration that knows both drivers by their Debian names.
  ::setenv("ODBCSYSINI", dir.path().c_str(), 1);
  ::setenv("ODBCINI", (dir / "odbc.ini").c_str(), 1);
  std::ofstream(dir / "odbc.ini");
  std::ofstream(dir / "odbcinst.ini") << "[SQLite3]\nDriver=libsqlite3odbc.so\n\n"
                                         "[PostgreSQL ANSI]\nDriver=psqlodbca.so\n";
  zelk::storage::registerDriver(zelk::storage::DriverKind::Odbc, odbc::driver());

  report("SQLite", "Driver=SQLite3;Database=" + (dir / "zlk.db") + ";", dir.path().string());
  const char* pg = std::getenv("ZELK_TEST_PG_DSN");
  if (pg && *pg) report("PostgreSQL", pg, dir.path().string());
  else std::cout << "  PostgreSQL  skipped: ZELK_TEST_PG_DSN is not set (run under scripts/pg-test-server.sh)\n";
  odbc::setConnectionString("DSN=zlk");
}
