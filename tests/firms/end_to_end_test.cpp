// The road through the frame on a first start: two firms added and one changed in
// the firm list, one chosen in the firm choice, every program-wide setting of the
// chosen firm, and the firm file as it is on disk.
#include "fixture.h"

namespace zelk::test {
namespace {

class EndToEndTest : public FirmsTest {};

TEST_F(EndToEndTest, FirstStartTwoFirmsAddedOneChangedOneChosen) {
  ASSERT_FALSE(std::filesystem::exists(dir / "F_NAME.DAT"));
  std::vector<std::string> firstRows;
  bool startHiddenAtOpen = false, startShownAfterChoice = false;
  std::string choiceCode, choiceName, listedAfterChange;
  std::string dbiAtOpen;

  on(kFrameTitle, [&](ScriptedUser& u, ui::Window& w) {
    // The firm list is created empty when the frame opens.
    EXPECT_TRUE(std::filesystem::exists(dir / "F_NAME.DAT"));
    u.menu(w, ansi(kSettingsItem));
  });
  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) {
    EXPECT_EQ(w.rowCount(1), 0);
    for (const char* b : {"?CHANGE:4", "?DELETE:4", "?VIEW:3"}) EXPECT_TRUE(disabled(w, b)) << b;
    EXPECT_FALSE(disabled(w, "?INSERT:4"));
    u.press(w, "?INSERT:4");
  });
  on("Добавить ???", [&](ScriptedUser& u, ui::Window& w) {
    EXPECT_EQ(text(w, "?FNM:KOD"), "1");  // the next free code
    u.type(w, "?FNM:SCH_B", "51");
    u.type(w, "?FNM:NAME", ansi("ООО \"Ромашка\""));
    u.type(w, "?FNM:PATH", ansi("C:\\ZELK\\РОМАШКА"));
    u.type(w, "?FNM:PATH_PLN", "C:\\ZELK\\PLAN");
    u.type(w, "?FNM:RFKPATH", "C:\\RFK");
    u.type(w, "?FNM:N_SC_P", "40702810000000000001");
    u.choose(w, "?OPTION1:RADIO2");
    u.press(w, "?OK");
  });
  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) {
    firstRows = column(w, 1);
    u.press(w, "?INSERT:4");
  });
  on("Добавить ???", [&](ScriptedUser& u, ui::Window& w) {
    EXPECT_EQ(text(w, "?FNM:KOD"), "2");
    u.type(w, "?FNM:NAME", ansi("Лютик"));
    u.type(w, "?FNM:PATH", "  D:\\BASES\\LUTIK\\");  // leading blanks stay, a closing backslash too
    u.type(w, "?FNM:SCH_B", "51.2");
    u.type(w, "?FNM:N_SC_P", "40702810900000000002");
    u.choose(w, "?OPTION1:RADIO3");
    u.press(w, "?OK");
  });
  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) {
    EXPECT_EQ(column(w, 0), (std::vector<std::string>{"1", "2"}));
    u.selectRow(w, "?BROWSE:1", 1);
    u.press(w, "?CHANGE:4");
  });
  on("Изменить ???", [&](ScriptedUser& u, ui::Window& w) {
    EXPECT_EQ(text(w, "?FNM:NAME"), "ООО \"Ромашка\"");
    u.type(w, "?FNM:PATH", ansi("C:\\ZELK\\РОМАШКА2"));
    u.press(w, "?OK");
  });
  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) {
    listedAfterChange = column(w, 3).at(0);
    u.press(w, "?CLOSE");
  });
  on(kFrameTitle, [&](ScriptedUser& u, ui::Window& w) { u.menu(w, "?PASTE"); });
  on(kChoiceTitle, [&](ScriptedUser& u, ui::Window& w) {
    startHiddenAtOpen = hidden(w, "?BUTTON4");
    EXPECT_EQ(text(w, "?FIR"), "");
    EXPECT_EQ(text(w, "?N_FIR"), "");
    dbiAtOpen = var(dict::P_DBI);
    u.press(w, "?BUTTON3");
  });
  on(kListTitle, [&](ScriptedUser& u, ui::Window& w) {
    u.selectRow(w, "?BROWSE:1", 2);
    u.press(w, "?SELECT:2");
  });
  on(kChoiceTitle, [&](ScriptedUser& u, ui::Window& w) {
    choiceCode = text(w, "?FIR");
    choiceName = text(w, "?N_FIR");
    startShownAfterChoice = !hidden(w, "?BUTTON4");
    u.close(w);
  });
  on(kFrameTitle, [&](ScriptedUser& u, ui::Window& w) { u.menu(w, "?EXIT"); });

  app::MAIN();
  EXPECT_TRUE(user.finished());

  EXPECT_EQ(firstRows, (std::vector<std::string>{"ООО \"Ромашка\""}));
  EXPECT_EQ(listedAfterChange, "C:\\ZELK\\РОМАШКА2");
  EXPECT_TRUE(startHiddenAtOpen);
  EXPECT_EQ(dbiAtOpen, "\\dbi.dbf");  // firm 0: names built from blanks
  EXPECT_EQ(choiceCode, "2");
  EXPECT_EQ(choiceName, "Лютик");
  EXPECT_TRUE(startShownAfterChoice);

  // The chosen firm's settings stay after the firm choice closed.
  EXPECT_EQ(dict::FIR, 2);
  EXPECT_EQ(var(dict::N_FIR_A), "Лютик");
  EXPECT_EQ(var(dict::N_SC_B), "51.2");
  EXPECT_EQ(var(dict::N_SC_P), "40702810900000000002");
  EXPECT_EQ(dict::N_KL_A, 3);
  EXPECT_EQ(var(dict::P_DBI), "  D:\\BASES\\LUTIK\\\\dbi.dbf");
  EXPECT_EQ(var(dict::P_PRT), "  D:\\BASES\\LUTIK\\\\prt.dat");
  EXPECT_EQ(var(dict::P_LVO), "  D:\\BASES\\LUTIK\\\\lvo.dat");
  EXPECT_EQ(var(dict::P_PAR), "  D:\\BASES\\LUTIK\\\\partner.dbf");
  EXPECT_EQ(var(dict::P_ANA), "  D:\\BASES\\LUTIK\\\\analit.dbf");
  EXPECT_EQ(var(dict::P_PLN), "\\pln.dat");
  EXPECT_EQ(var(dict::RFKPATH), "\\subs_clt.dbf");
  EXPECT_EQ(boxes.count(), 0u);

  // The firm file as another station reads it.
  Firm romashka{1, "ООО \"Ромашка\"", "C:\\ZELK\\РОМАШКА2", "C:\\ZELK\\PLAN", "51", "C:\\RFK", "40702810000000000001",
                2};
  Firm lutik{2, "Лютик", "  D:\\BASES\\LUTIK\\", "", "51.2", "", "40702810900000000002", 3};
  EXPECT_EQ(firmsOnDisk(), (std::vector<Firm>{romashka, lutik}));
  // Its texts are stored in the DOS code page.
  std::string data = fileBytes("F_NAME.DAT");
  for (const char* t : {"ООО \"Ромашка\"", "Лютик", "РОМАШКА2"}) {
    EXPECT_NE(data.find(cp::ansiToOem(ansi(t))), std::string::npos) << t;
    EXPECT_EQ(data.find(ansi(t)), std::string::npos) << t;
  }
}

}  // namespace
}  // namespace zelk::test
