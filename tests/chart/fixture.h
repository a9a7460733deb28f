#pragma once
// The chart lists and the chart form run by the scripted user over the program's
// layers, with the chart file pln.dat in a temporary current folder.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/declarations.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "platform/core/codepage.h"
#include "platform/framework/windowmanager.h"
#include "platform/script/scripted_user.h"
#include "review/chart.h"
#include "support/scripted.h"

namespace zelk::test {

// Window titles (UTF-8).
inline constexpr const char* kListTitle = "Фрагмент плана счетов для корреспонденции с расчетным счетом";

// A chart row as the tests write and read it (UTF-8).
struct Account {
  int kod = 0;
  std::string nomer, name;
  int fir = 0;
  bool operator==(const Account&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Account& a) {
  return os << "{" << a.kod << ", " << a.nomer << ", " << a.name << ", " << a.fir << "}";
}

class ChartTest : public ScriptedProgramTest {
 protected:
  void SetUp() override {
    ScriptedProgramTest::SetUp();
    dict::P_PLN = dir / "pln.dat";
    dict::FIR = 1;
    dict::N_FIR_A = ansi("ООО Ромашка");
    dict::NAME_P.clear();
    dict::PLN_AD = 0;
    dict::PLN_AK = 0;
    other.setNameSource([this] { return dir / "pln.dat"; });
  }
  void TearDown() override {
    if (other.isOpen()) other.close();
    ScriptedProgramTest::TearDown();
  }

  void onList(std::function<void(ScriptedUser&, ui::Window&)> step) { on(kListTitle, std::move(step)); }

  std::uint8_t run(void (*procedure)()) {
    procedure();
    return dict::GLOBALRESPONSE;
  }

  // Rows written and read by another station, through the file statements.
  void openOther() {
    if (other.isOpen()) return;
    if (!std::filesystem::exists(dir / "pln.dat")) {  // created empty, as a list creates it
      dict::Relate::PLN->Open();
      dict::Relate::PLN->Close();
    }
    ASSERT_EQ(other.open(storage::mode::kReadWrite | storage::mode::kDenyNone), 0);
  }
  void addAccount(const Account& a) {
    openOther();
    other.clearBuffer();
    other.rec.KOD = static_cast<std::int16_t>(a.kod);
    other.rec.NOMER = ansi(a.nomer);
    other.rec.NAME = ansi(a.name);
    other.rec.FIR = static_cast<std::int16_t>(a.fir);
    ASSERT_EQ(other.add(), 0);
  }
  // Every row in the order of its number.
  std::vector<Account> accountsOnDisk() {
    openOther();
    std::vector<Account> out;
    if (other.set(dict::pln::KEY_1) != 0) return out;
    while (other.next() == 0)
      out.push_back({other.rec.KOD.get(), cp::toUtf8(other.rec.NOMER.str()), cp::toUtf8(other.rec.NAME.str()),
                     other.rec.FIR.get()});
    return out;
  }

  // The list's column of cells (UTF-8, trimmed): 0 the account number, 1 the name.
  static std::vector<std::string> column(ui::Window& w, int column = 0) {
    std::vector<std::string> out;
    for (const ui::Window::Row& r : w.rows(w.number("?BROWSE:1"))) {
      std::string_view v = trimRight(r[static_cast<std::size_t>(column)]);
      while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
      out.push_back(cp::toUtf8(v));
    }
    return out;
  }
  static std::string fragment() { return cp::toUtf8(dict::NAME_P.str()); }

  storage::TypedFile<dict::PlnRecord> other{dict::PLN_DECL};
};

}  // namespace zelk::test
