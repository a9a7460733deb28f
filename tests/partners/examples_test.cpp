// The examples of the partner register and the chart fragment: partners.sql loaded
// as the README says (isql into the SQLite data source; on PostgreSQL through a
// connection in the program's code page) and read back through the driver; each
// example firm's chart fragment holds its own accounts.
#include <cstdlib>
#include <filesystem>

#include "fixture.h"

namespace zelk::test {
namespace {

namespace fs = std::filesystem;

const fs::path kExamples = fs::path(ZELK_SOURCE_DIR) / "examples";

using ExamplesTest = PartnersTest;
INSTANTIATE_TEST_SUITE_P(Backends, ExamplesTest, ::testing::ValuesIn(kBackends), backendName);

TEST_P(ExamplesTest, ThePartnersLoadWithTheirCyrillicNames) {
  if (GetParam().postgres) {
    storage::ErrorState e = storage::odbc::runScript(storage::odbc::connectionString(), readAll(kExamples / "partners.sql"));
    ASSERT_EQ(e.code, 0) << e.fileText;
  } else {
    const std::string cmd = "isql -b -n zlk < '" + (kExamples / "partners.sql").string() + "' > isql.out 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(readAll(dir / "isql.out").find("ERROR"), std::string::npos) << readAll(dir / "isql.out");
  }
  const std::vector<Partner> partners = partnersOnDisk();
  ASSERT_EQ(partners.size(), 12u);
  EXPECT_EQ(partners.front(), (Partner{"000042", "Ромашка", "ООО \"Ромашка\""}));
  EXPECT_EQ(partners.back(), (Partner{"001200", "Петрова А.С.", "Петрова Анна Сергеевна (подотчетное лицо)"}));
  for (const Partner& p : partners) EXPECT_FALSE(p.shortName.empty()) << p;
}

using ChartExample = ProgramTest;

TEST_F(ChartExample, EachFirmHasItsChartFragment) {
  fs::copy(kExamples, dir.path() / "firms", fs::copy_options::recursive);
  for (const auto& [folder, firm] : {std::pair{"loko", 1}, {"rfk", 2}, {"bss", 3}}) {
    SCOPED_TRACE(folder);
    dict::P_PLN = dir / (std::string("firms/") + folder + "/pln.dat");
    ASSERT_EQ(dict::Relate::PLN->Open(), 0);
    std::vector<std::string> accounts;
    ASSERT_EQ(dict::PLN().set(dict::pln::KEY_2), 0);
    while (dict::PLN().next() == 0) {
      EXPECT_EQ(dict::PLN().rec.FIR.get(), firm);
      accounts.push_back(dict::PLN().rec.NOMER.str());
    }
    dict::Relate::PLN->Close();
    EXPECT_EQ(accounts, (std::vector<std::string>{"51", "60.1", "62.1", "68.2", "76.5", "91.2"}));
  }
}

}  // namespace
}  // namespace zelk::test
