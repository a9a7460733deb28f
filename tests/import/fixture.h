#pragma once
// A firm's files in a temporary folder for the importers' runs: dbi.dbf made empty,
// prt.dat and lvo.dat created on their first open, the firm's accounts set; read-back
// helpers through the file statements and through the outside dBase reader.
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "import/posting.h"
#include "platform/core/codepage.h"
#include "platform/core/date.h"
#include "platform/storage/dat21/format.h"
#include "platform/storage/dbase/dbase.h"
#include "support/dbfread.h"
#include "support/program.h"
#include "tests/import/statements.h"

namespace zelk::test {

// The firm's accounts in the tests: the ledger account is longer than the postings'
// 10 characters, so its cut shows.
inline constexpr std::string_view kBank = "5101234567890";
inline constexpr std::string_view kBank10 = "5101234567";
inline constexpr std::string_view kOwnAccount = "40702810900000001234";

inline std::int32_t day(int y, int m, int d) { return static_cast<std::int32_t>(date::dayNumber(y, m, d)); }
inline std::string utf8(std::string_view ansiText) { return cp::toUtf8(trimRight(ansiText)); }

class ImportTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    dict::P_DBI = dir / "dbi.dbf";
    dict::P_PRT = dir / "prt.dat";
    dict::P_LVO = dir / "lvo.dat";
    dict::RFKPATH = dir / "subs_clt.dbf";
    dict::N_SC_B = kBank;
    dict::N_SC_P = kOwnAccount;
    ASSERT_EQ(storage::dbase::driver().create(dict::DBI_DECL, dir / "dbi.dbf").code, 0);
  }

  // The files as the import window opens them.
  void openFiles() {
    ASSERT_EQ(dict::Relate::DBI->Open(), 0);
    ASSERT_EQ(dict::Relate::LVO->Open(), 0);
    ASSERT_EQ(dict::Relate::PRT->Open(), 0);
  }

  std::string write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return dir / name;
  }

  // One damaged status byte in the slot of record recno of a 2.1 data file.
  void damageStatus(const std::string& name, std::size_t recordSize, std::uint64_t recno) {
    std::fstream f(dir / name, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(storage::dat21::slotOffset(recno, recordSize)));
    f.put('?');
  }

  // The run's progress reports.
  import::Progress progress() {
    return [this](std::int16_t n) { reports.push_back(n); };
  }

  // What the files hold, read through the thread's instances.
  std::vector<dict::DbiRecord> postings() {
    std::vector<dict::DbiRecord> r;
    auto& f = dict::DBI();
    f.set();
    while (f.next() == 0) r.push_back(f.rec);
    return r;
  }
  std::vector<dict::PrtRecord> rows() {
    std::vector<dict::PrtRecord> r;
    auto& f = dict::PRT();
    f.set(dict::prt::KEY_1);
    while (f.next() == 0) r.push_back(f.rec);
    return r;
  }
  std::vector<dict::LvoRecord> balances() {
    std::vector<dict::LvoRecord> r;
    auto& f = dict::LVO();
    f.set();
    while (f.next() == 0) r.push_back(f.rec);
    return r;
  }
  void setBalance(double ost, std::int32_t data) {
    ASSERT_FALSE(import::writeBalance([&](dict::LvoRecord& r) {
      r.OST = ost;
      r.DATA = data;
    }));
  }

  // A previous run's files: postings with NNOPER 1..n, their rows, a balance.
  void previousRun(int n) {
    for (int i = 1; i <= n; ++i) {
      dict::PRT().clearBuffer();
      dict::PRT().rec.KOD = static_cast<std::int16_t>(i);
      dict::PRT().rec.NAME = "old";
      ASSERT_EQ(dict::PRT().add(), 0);
      dict::DBI().clearBuffer();
      dict::DBI().rec.NNOPER = i;
      dict::DBI().rec.NAMEOPER = "old";
      ASSERT_EQ(dict::DBI().add(), 0);
    }
    setBalance(777, 7);
  }

  // Every live posting of dbi.dbf as the outside reader sees it (cp866), one line
  // each: the fields named, separated by "|".
  std::string outsideRead(const std::string& fields) {
    return readWithDbfread(dir,
                           "t = dbfread.DBF(sys.argv[1], encoding='cp866', char_decode_errors='strict')\n"
                           "for r in t: print('|'.join(str(r[f]).rstrip() for f in sys.argv[2].split(',')))\n",
                           dict::P_DBI.str() + " " + fields);
  }

  std::vector<std::int16_t> reports;
  // The firm's accounts the runs take, the same as the program-wide ones set above.
  import::Accounts accounts{kOwnAccount, kBank};
};

}  // namespace zelk::test
