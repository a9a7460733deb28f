// The firm choice: when a code takes effect, the start button, the program-wide
// settings built from the chosen firm, and "Запуск системы" with the import menu.
#include <atomic>

#include "fixture.h"

namespace zelk::test {
namespace {

// The import menu of these tests: notes what it finds, then does what the test says.
struct ImportMenu {
  int calls = 0;
  int firm = -1;
  std::string dbi, name;
  bool choiceOpen = false;  // the firm choice is still open behind it
};
ImportMenu importMenu;

void fakeImportMenu() {
  ++importMenu.calls;
  importMenu.firm = dict::FIR;
  importMenu.dbi = cp::toUtf8(dict::P_DBI.str());
  importMenu.name = cp::toUtf8(dict::N_FIR_A.str());
  importMenu.choiceOpen = false;
  for (ui::Window* w : ui::threadWindows())
    if (w->title() == ansi(kChoiceTitle)) importMenu.choiceOpen = true;
}

// What the firm choice shows.
struct Shown {
  std::string code, name;
  bool start = false;  // the start button is visible
  bool operator==(const Shown&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Shown& s) {
  return os << "{" << s.code << ", " << s.name << ", " << (s.start ? "start" : "no start") << "}";
}

class ChoiceTest : public FirmsTest {
 protected:
  static void SetUpTestSuite() { app::addProcedure("S_ME", fakeImportMenu); }
  void SetUp() override {
    FirmsTest::SetUp();
    importMenu = {};
    Firm a{1, "Альфа", "C:\\A", "C:\\PLAN", "51", "C:\\RFK", "40702810000000000001", 2};
    Firm b{2, "Бета", "D:\\B\\", "", "51.1", "", "40702810000000000002", 3};
    addFirm(a);
    addFirm(b);
  }

  // The list button, then "&Выбрать" on row in the firm list.
  void chooseFromList(int row) {
    on(kChoiceTitle, [](ScriptedUser& u, ui::Window& w) { u.press(w, "?BUTTON3"); });
    on(kListTitle, [row](ScriptedUser& u, ui::Window& w) {
      u.selectRow(w, "?BROWSE:1", row);
      u.press(w, "?SELECT:2");
    });
  }

  static Shown shown(ui::Window& w) { return {text(w, "?FIR"), text(w, "?N_FIR"), !hidden(w, "?BUTTON4")}; }
};

TEST_F(ChoiceTest, EveryOpeningStartsWithNoFirm) {
  dict::FIR = 1;
  dict::P_DBI = "C:\\A\\dbi.dbf";
  dict::N_KL_A = 2;
  Shown atOpen;
  on(kChoiceTitle, [&](ScriptedUser& u, ui::Window& w) {
    atOpen = shown(w);
    u.close(w);
  });
  EXPECT_EQ(runChoice(), fw::response::kCancelled);
  EXPECT_EQ(atOpen, (Shown{"", "", false}));
  EXPECT_EQ(dict::FIR, 0);
  EXPECT_EQ(var(dict::P_DBI), "\\dbi.dbf");
  EXPECT_EQ(var(dict::P_PLN), "\\pln.dat");
  EXPECT_EQ(var(dict::RFKPATH), "\\subs_clt.dbf");
  EXPECT_EQ(var(dict::N_FIR_A), "");
  EXPECT_EQ(dict::N_KL_A, 0);
}

TEST_F(ChoiceTest, ATypedCodeTakesEffectAtTheNextRefreshOnly) {
  // The window regains the focus, or is resized: either refreshes it.
  for (bool activate : {true, false}) {
    SCOPED_TRACE(activate ? "focus" : "resize");
    Shown typed, refreshed;
    on(kChoiceTitle, [&](ScriptedUser& u, ui::Window& w) { u.type(w, "?FIR", "2"); });
    on(kChoiceTitle, [&](ScriptedUser&, ui::Window& w) {
      typed = shown(w);
      EXPECT_EQ(dict::FIR, 2);
      EXPECT_EQ(var(dict::N_FIR_A), "");
      if (activate) {
        w.userActivate();
      } else {
        ui::Rect p = w.place();
        w.userResize({p.x, p.y, p.w + 10, p.h}, false, false);
      }
    });
    on(kChoiceTitle, [&](ScriptedUser& u, ui::Window& w) {
      refreshed = shown(w);
      u.close(w);
    });
    runChoice();
    EXPECT_EQ(typed, (Shown{"2", "", false}));
    EXPECT_EQ(refreshed, (Shown{"2", "Бета", true}));
    EXPECT_EQ(var(dict::N_FIR_A), "Бета");
    EXPECT_EQ(var(dict::P_DBI), "D:\\B\\\\dbi.dbf");
  }
}

TEST_F(ChoiceTest, TheListButtonTakesEffectAtOnce) {
  Shown chosen;
  chooseFromList(1);
  on(kChoiceTitle, [&](ScriptedUser& u, ui::Window& w) {
    chosen = shown(w);
    u.close(w);
  });
  runChoice();
  EXPECT_EQ(chosen, (Shown{"1", "Альфа", true}));
  EXPECT_EQ(dict::FIR, 1);
  EXPECT_EQ(var(dict::N_FIR_A), "Альфа");
  EXPECT_EQ(var(dict::N_SC_B), "51");
  EXPECT_EQ(var(dict::N_SC_P), "40702810000000000001");
  EXPECT_EQ(dict::N_KL_A, 2);
  EXPECT_EQ(var(dict::P_DBI), "C:\\A\\dbi.dbf");
  EXPECT_EQ(var(dict::P_PAR), "C:\\A\\partner.dbf");
  EXPECT_EQ(var(dict::P_ANA), "C:\\A\\analit.dbf");
  EXPECT_EQ(var(dict::P_PRT), "C:\\A\\prt.dat");
  EXPECT_EQ(var(dict::P_LVO), "C:\\A\\lvo.dat");
  EXPECT_EQ(var(dict::P_PLN), "C:\\PLAN\\pln.dat");
  EXPECT_EQ(var(dict::RFKPATH), "C:\\RFK\\subs_clt.dbf");
}

TEST_F(ChoiceTest, TheListClosedWithoutChoosingLeavesNoFirmAndTheStartButton) {
  Shown after;
  chooseFromList(2);
  on(kChoiceTitle, [](ScriptedUser& u, ui::Window& w) { u.press(w, "?BUTTON3"); });
  on(kListTitle, [](ScriptedUser& u, ui::Window& w) { u.press(w, "?CLOSE"); });
  on(kChoiceTitle, [&](ScriptedUser& u, ui::Window& w) {
    after = shown(w);
    u.close(w);
  });
  runChoice();
  EXPECT_EQ(after, (Shown{"", "", true}));
  EXPECT_EQ(dict::FIR, 0);
  EXPECT_EQ(var(dict::P_DBI), "\\dbi.dbf");
  EXPECT_EQ(dict::N_KL_A, 0);
}

TEST_F(ChoiceTest, ACodeNoFirmHasShowsTheStartButtonWithNamesBuiltFromBlanks) {
  Shown after;
  on(kChoiceTitle, [&](ScriptedUser& u, ui::Window& w) { u.type(w, "?FIR", "9"); });
  on(kChoiceTitle, [&](ScriptedUser&, ui::Window& w) { w.userActivate(); });
  on(kChoiceTitle, [&](ScriptedUser& u, ui::Window& w) {
    after = shown(w);
    u.close(w);
  });
  runChoice();
  EXPECT_EQ(after, (Shown{"9", "", true}));
  EXPECT_EQ(var(dict::P_LVO), "\\lvo.dat");
  EXPECT_EQ(var(dict::N_SC_B), "");
  EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(ChoiceTest, StartTakesTheTypedCodeOverAndRunsTheImportMenuOnThatFirm) {
  chooseFromList(1);
  on(kChoiceTitle, [](ScriptedUser& u, ui::Window& w) {
    u.type(w, "?FIR", "2");  // not taken over yet: the window shows firm 1
    EXPECT_EQ(text(w, "?N_FIR"), "Альфа");
    u.press(w, "?BUTTON4");
  });
  runChoice();
  EXPECT_TRUE(user.finished());
  // The import menu ran once, with firm 2's files, the firm choice behind it; when
  // it returned the firm choice closed.
  EXPECT_EQ(importMenu.calls, 1);
  EXPECT_EQ(importMenu.firm, 2);
  EXPECT_EQ(importMenu.dbi, "D:\\B\\\\dbi.dbf");
  EXPECT_EQ(importMenu.name, "Бета");
  EXPECT_TRUE(importMenu.choiceOpen);
  EXPECT_TRUE(ui::threadWindows().empty());
}

TEST_F(ChoiceTest, StartWithACodeNoFirmHasStaysOnTheFirmChoice) {
  Shown after;
  bool open = false;
  chooseFromList(1);
  on(kChoiceTitle, [](ScriptedUser& u, ui::Window& w) {
    u.type(w, "?FIR", "9");
    u.press(w, "?BUTTON4");
  });
  on(kChoiceTitle, [&](ScriptedUser& u, ui::Window& w) {
    open = w.isOpen();
    after = shown(w);
    u.close(w);
  });
  runChoice();
  EXPECT_TRUE(open);
  EXPECT_EQ(importMenu.calls, 0);
  EXPECT_EQ(after, (Shown{"9", "", true}));
  EXPECT_EQ(var(dict::P_DBI), "\\dbi.dbf");
}

TEST(FirmFileName, FolderTrimmedOneBackslashAndTheWholeName) {
  struct Case {
    std::string folder, want;
  } cases[] = {
      {"C:\\ZELK\\BASE", "C:\\ZELK\\BASE\\dbi.dbf"},
      {"C:\\ZELK\\BASE      ", "C:\\ZELK\\BASE\\dbi.dbf"},
      {"  C:\\BASE", "  C:\\BASE\\dbi.dbf"},     // leading blanks stay
      {"C:\\ZELK\\", "C:\\ZELK\\\\dbi.dbf"},     // a folder ending in a backslash: two
      {"", "\\dbi.dbf"},
      {"    ", "\\dbi.dbf"},
      {std::string(60, 'x'), std::string(60, 'x') + "\\dbi.dbf"},  // kept whole
  };
  for (const Case& c : cases) EXPECT_EQ(firms::firmFileName(c.folder, "dbi.dbf"), c.want) << c.folder;
}

TEST_F(ChoiceTest, AFolderOfSixtyCharactersGivesTheWholeFileName) {
  std::string folder = "C:\\" + std::string(57, 'D');
  addFirm({3, "Гамма", folder, folder, "", folder, "", 1});
  withFrameFile([] {
    dict::FIR = 3;
    Text<50> name;
    EXPECT_TRUE(firms::takeFirm(name));
    EXPECT_EQ(cp::toUtf8(name.str()), "Гамма");
    dict::FIR = 4;
    EXPECT_FALSE(firms::takeFirm(name));
    EXPECT_TRUE(name.blank());
    dict::FIR = 3;
    firms::takeFirm(name);
  });
  EXPECT_EQ(var(dict::P_DBI), folder + "\\dbi.dbf");
  EXPECT_EQ(var(dict::RFKPATH), folder + "\\subs_clt.dbf");
  EXPECT_EQ(var(dict::P_PLN), folder + "\\pln.dat");
}

}  // namespace
}  // namespace zelk::test
