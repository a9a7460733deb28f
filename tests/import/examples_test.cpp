// The examples: a copy of examples/ as the current folder, each firm of its firm list
// chosen in turn (file names built as the firm choice builds them) and its statement
// imported.
#include <filesystem>

#include "import/bss.h"
#include "import/loko.h"
#include "import/rfk.h"
#include "tests/import/fixture.h"

namespace zelk::test {
namespace {

using namespace zelk::dict;
namespace fs = std::filesystem;

TEST_F(ProgramTest, EveryExampleFirmImportsItsStatement) {
  fs::copy(std::string(ZELK_SOURCE_DIR) + "/examples", dir.path(), fs::copy_options::recursive);
  ASSERT_EQ(Relate::F_NAME->Open(), 0);
  std::vector<FnmRecord> firms;
  F_NAME().set(fnm::KEY_1);
  while (F_NAME().next() == 0) firms.push_back(F_NAME().rec);
  Relate::F_NAME->Close();
  ASSERT_EQ(firms.size(), 3u);

  for (const FnmRecord& f : firms) {
    SCOPED_TRACE(f.KOD.get());
    const std::string folder(f.PATH.trimmed());
    P_DBI = folder + "\\dbi.dbf";
    P_PRT = folder + "\\prt.dat";
    P_LVO = folder + "\\lvo.dat";
    RFKPATH = std::string(f.RFKPATH.trimmed()) + "\\subs_clt.dbf";
    const import::Accounts accounts{f.N_SC_P.view(), f.SCH_B.view()};
    ASSERT_EQ(Relate::DBI->Open(), 0);
    ASSERT_EQ(Relate::LVO->Open(), 0);
    ASSERT_EQ(Relate::PRT->Open(), 0);
    import::ImportResult r;
    switch (f.N_KL.get()) {
      case 1: r = import::runLoko(folder + "\\vypiska.txt", accounts, {}); break;
      case 3: r = import::runBss(folder + "\\vypiska.txt", accounts, {}); break;
      case 2:
        ASSERT_EQ(Relate::SUBS_CLT->Open(), 0);
        r = import::runRfk(day(2024, 3, 1), day(2024, 3, 31), accounts, {});
        Relate::SUBS_CLT->Close();
        break;
      default: FAIL() << "client-bank system " << int(f.N_KL.get());
    }
    EXPECT_EQ(r.outcome, import::Outcome::Done);
    EXPECT_EQ(r.count, f.N_KL.get() == 1 ? 4 : 3);
    DBI().set();
    ASSERT_EQ(DBI().next(), 0);
    EXPECT_EQ(DBI().rec.DT_SCHET.str(), "51");
    EXPECT_EQ(DBI().rec.SUMMA.get(), 125000);
    Relate::PRT->Close();
    Relate::LVO->Close();
    Relate::DBI->Close();
  }
}

}  // namespace
}  // namespace zelk::test
