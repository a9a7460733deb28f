// File names as the program builds them: backslashes and any letter case.
#include "platform/storage/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/core/codepage.h"
#include "support/tempdir.h"

namespace zelk::test {
namespace {

using storage::defaultExtension;
using storage::replaceExtension;
using storage::resolvePath;

TEST(Paths, ResolvesBackslashesAndLetterCaseComponentByComponent) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "Firms/ROMASHKA");
  std::ofstream(dir / "Firms/ROMASHKA/DBI.DBF") << "x";
  const std::string base = dir.path().string();
  struct Case {
    std::string name, expected;
  } cases[] = {
      {base + "\\firms\\romashka\\dbi.dbf", base + "/Firms/ROMASHKA/DBI.DBF"},  // copied from Windows
      {base + "/Firms/ROMASHKA/DBI.DBF", base + "/Firms/ROMASHKA/DBI.DBF"},     // as written
      {base + "\\firms\\romashka\\prt.dat", base + "/Firms/ROMASHKA/prt.dat"},  // to be created: folders found
      {base + "\\none\\prt.dat", base + "/none/prt.dat"},                       // a folder that is not there
      {"\\dbi.dbf", "/dbi.dbf"},                                                // built from a blank folder
  };
  for (const Case& c : cases) EXPECT_EQ(resolvePath(c.name), c.expected) << c.name;
}

TEST(Paths, ExtensionsOfDataAndKeyFiles) {
  EXPECT_EQ(defaultExtension("F_NAME", ".DAT"), "F_NAME.DAT");
  EXPECT_EQ(defaultExtension("c:\\zelk\\prt.dat", ".DAT"), "c:\\zelk\\prt.dat");
  EXPECT_EQ(defaultExtension("a.b\\F_NAME", ".DAT"), "a.b\\F_NAME.DAT");
  EXPECT_EQ(replaceExtension("pln.dat", ".K02"), "pln.K02");
  EXPECT_EQ(replaceExtension("F_NAME.DAT", ".K01"), "F_NAME.K01");
  EXPECT_EQ(replaceExtension("dir.x/lvo", ".K01"), "dir.x/lvo.K01");
}

}  // namespace
}  // namespace zelk::test

namespace zelk::test {
namespace {

// The program holds names in 1251; the system's names are UTF-8.
TEST(Paths, CyrillicNamesReachTheFilesOnDiskInAnyLetterCase) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "Фирма");
  std::ofstream(dir / "Фирма/Выписка.txt") << "x";
  const std::string base = dir.path().string();
  EXPECT_EQ(storage::systemName(ansi(base + "\\фирма\\ВЫПИСКА.TXT")), base + "/Фирма/Выписка.txt");
  EXPECT_EQ(storage::systemName(ansi(base + "\\Фирма\\prt.dat")), base + "/Фирма/prt.dat");
}

}  // namespace
}  // namespace zelk::test
