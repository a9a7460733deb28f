// The import menu: which import item the firm's client-bank system enables, what
// each item runs, and the menu's place in the settings file.
#include "fixture.h"

namespace zelk::test {
namespace {

constexpr const char* kImportItems[] = {"?KL1", "?KL2", "?KL3"};
constexpr const char* kChartItem = "?QQQT";
constexpr const char* kPostingsItem = "?ИМПОРТРЕДАКТИРОВАНИЕТЕКУЩЕГОФАЙЛАПРОВОДОК";
constexpr const char* kChartTitle = "Фрагмент плана счетов для корреспонденции с расчетным счетом";

class MenuTest : public ImportUiTest {
 protected:
  std::uint8_t runMenu() {
    import::S_ME();
    return dict::GLOBALRESPONSE;
  }
};

TEST_F(MenuTest, OnlyTheItemOfTheFirmsSystemIsEnabled) {
  struct Case {
    int system;
    const char* enabled;  // nullptr: none
  } cases[] = {{1, "?KL1"}, {2, "?KL2"}, {3, "?KL3"}, {0, nullptr}, {7, nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.system);
    dict::N_KL_A = static_cast<std::uint8_t>(c.system);
    dict::P_PLN = dir / "pln.dat";
    std::vector<std::string> enabled;
    bool chartEnabled = false, postingsEnabled = false;
    on(kMenuTitle, [&](script::ScriptedUser& u, ui::Window& w) {
      for (const char* item : kImportItems)
        if (!disabled(w, item)) enabled.push_back(item);
      chartEnabled = !disabled(w, kChartItem);
      postingsEnabled = !disabled(w, kPostingsItem);
      // A greyed item does nothing; the chart item runs the chart list.
      for (const char* item : kImportItems)
        if (item != std::string_view(c.enabled ? c.enabled : "")) u.menu(w, item);
      u.menu(w, kChartItem);
    });
    on(kChartTitle, [](script::ScriptedUser& u, ui::Window& w) { u.press(w, "?CLOSE"); });
    on(kMenuTitle, [](script::ScriptedUser& u, ui::Window& w) { u.menu(w, ansi(kPostingsItem)); });
    bool postingsListShown = false;
    on(kPostingsListTitle, [&](script::ScriptedUser& u, ui::Window& w) {
      postingsListShown = true;
      u.close(w);
    });
    on(kMenuTitle, [](script::ScriptedUser& u, ui::Window& w) { u.close(w); });
    EXPECT_EQ(runMenu(), fw::response::kCancelled);
    EXPECT_TRUE(user.finished());
    EXPECT_EQ(enabled, c.enabled ? std::vector<std::string>{c.enabled} : std::vector<std::string>{});
    EXPECT_TRUE(chartEnabled);
    EXPECT_TRUE(postingsEnabled);
    EXPECT_TRUE(postingsListShown);
    EXPECT_TRUE(ui::threadWindows().empty());
  }
}

TEST_F(MenuTest, TheEnabledItemRunsItsImporterAndStaysEnabled) {
  ASSERT_EQ(writePayments(dir / "subs_clt.dbf", {}), 0);
  struct Case {
    int system;
    const char* item;
    const char* title;
  } cases[] = {{1, "?KL1", kLokoTitle}, {2, "?KL2", kRfkTitle}, {3, "?KL3", kBssTitle}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    dict::N_KL_A = static_cast<std::uint8_t>(c.system);
    bool menuBehind = false, enabledAfter = false;
    on(kMenuTitle, [&](script::ScriptedUser& u, ui::Window& w) { u.menu(w, c.item); });
    on(c.title, [&](script::ScriptedUser& u, ui::Window& w) {
      menuBehind = ui::threadWindows().size() == 2;
      u.close(w);
    });
    on(kMenuTitle, [&](script::ScriptedUser& u, ui::Window& w) {
      enabledAfter = !disabled(w, c.item);
      u.close(w);
    });
    runMenu();
    EXPECT_TRUE(user.finished());
    EXPECT_TRUE(menuBehind);
    EXPECT_TRUE(enabledAfter);
  }
}

TEST_F(MenuTest, KeepsItsPlaceInTheSettingsFile) {
  dict::N_KL_A = 0;
  ui::Rect firstPlace, movedPlace;
  bool firstMaximized = true, reopenedMaximized = false;
  std::string maximizeStored;

  // First opening: no section, the place of the definition; closed maximised.
  on(kMenuTitle, [&](script::ScriptedUser& u, ui::Window& w) {
    firstPlace = w.place();
    firstMaximized = w.maximized();
    w.userResize(w.place(), true, false);
    u.close(w);
  });
  EXPECT_EQ(fw::globalIni().fetch("s_me", "Maximize"), "");
  runMenu();
  maximizeStored = fw::globalIni().fetch("s_me", "Maximize");

  // Reopened maximised; restored and moved, then closed.
  on(kMenuTitle, [&](script::ScriptedUser& u, ui::Window& w) {
    reopenedMaximized = w.maximized();
    w.userResize({30, 20, 300, 90}, false, false);
    u.close(w);
  });
  runMenu();
  on(kMenuTitle, [&](script::ScriptedUser& u, ui::Window& w) {
    movedPlace = w.place();
    u.close(w);
  });
  runMenu();

  EXPECT_TRUE(user.finished());
  EXPECT_EQ(firstPlace, (ui::Rect{0, 0, 260, 60}));
  EXPECT_FALSE(firstMaximized);
  EXPECT_EQ(maximizeStored, "Yes");
  EXPECT_EQ(fw::globalIni().fetch("s_me", "XPos", "none"), "30");
  EXPECT_TRUE(reopenedMaximized);
  EXPECT_EQ(movedPlace, (ui::Rect{30, 20, 300, 90}));
}

}  // namespace
}  // namespace zelk::test
