// The partner lists and the partner form drawn by the screen over the SQLite data
// source: the real procedures run on the GUI thread while a timer plays the person.
// Every text of every window, on every tab of the form, must fit its control. With
// ZELK_SCREENSHOT_DIR set (as scripts/screenshots sets it under Xvfb) each window is
// also saved as a PNG.
#include <gtest/gtest.h>

#include <QWidget>
#include <string>

#include "dictionary/declarations.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "platform/core/codepage.h"
#include "platform/ui/window.h"
#include "review/partners.h"
#include "support/datasources.h"
#include "support/program.h"
#include "support/screen_steps.h"

namespace zelk::test {
namespace {

class PartnerWindows : public ProgramTest {
 protected:
  static void SetUpTestSuite() { TestScreen::start(); }
  static void TearDownTestSuite() { TestScreen::stop(); }
  void SetUp() override {
    std::string problem;
    ASSERT_FALSE(emptySource(kBackends[0], problem).empty()) << problem;
    ProgramTest::SetUp();
    storage::TypedFile<dict::ParRecord> f{dict::PARTNER_DECL};
    ASSERT_EQ(f.open(storage::mode::kReadWrite | storage::mode::kDenyNone), 0);
    struct Row {
      const char *code, *shortName, *orgName;
    } rows[] = {
        {"000101", "Ромашка", "Общество с ограниченной ответственностью \"Ромашка\""},
        {"000102", "Локо-Банк", "Акционерное общество \"Локо-Банк\""},
        {"000103", "ИП Иванов", "Индивидуальный предприниматель Иванов Иван Иванович"},
        {"000104", "Северный ТД", "ЗАО \"Северный торговый дом\""},
        {"000105", "Техноснаб", "ООО \"Техноснаб-Поволжье\""},
        {"001200", "ИФНС 7701", "Инспекция Федеральной налоговой службы № 1 по г. Москве"},
    };
    for (const Row& r : rows) {
      f.clearBuffer();
      f.rec.FLD_CODE = r.code;
      f.rec.SHORTNAME = ansi(r.shortName);
      f.rec.ORGNAME = ansi(r.orgName);
      f.rec.CODE_INN = "7701234567";
      f.rec.CODE_KPP = "770101001";
      f.rec.TELEFON1 = "+7 495 123-45-67";
      f.rec.EMAIL = "info@example.org";
      f.rec.ADRES_FACT = ansi("г. Москва, ул. Примерная, д. 1");
      ASSERT_EQ(f.add(), 0);
    }
  }
};

TEST_F(PartnerWindows, ListsAndEveryTabOfTheFormShowEveryTextWhole) {
  auto ctl = [](ui::Window& w, const char* name) { return w.number(ansi(name)); };
  std::vector<ScreenStep> steps = {
      {"Список партнеров",
       [&](ui::Window* w, QWidget* v) {
         EXPECT_EQ(w->rowCount(ctl(*w, "?BROWSE:1")), 6);
         w->userSelectRow(ctl(*w, "?BROWSE:1"), 3);
         lookAt(v, "partner-list");
         w->userAccept(ctl(*w, "?VIEW:3"));
       }},
  };
  for (int tab = 1; tab <= 4; ++tab) {
    steps.push_back({"View Record", [&, tab](ui::Window* w, QWidget* v) {
                       const std::string name = "?TAB:" + std::to_string(tab);
                       if (tab > 1) w->userChoose(ctl(*w, "?CURRENTTAB"), ctl(*w, name.c_str()));
                       else lookAt(v, "partner-form-1");
                     }});
    if (tab > 1)
      steps.push_back({"View Record", [tab](ui::Window*, QWidget* v) {
                         lookAt(v, ("partner-form-" + std::to_string(tab)).c_str());
                       }});
  }
  steps.push_back({"View Record", [&](ui::Window* w, QWidget*) { w->userAccept(ctl(*w, "?CANCEL")); }});
  steps.push_back({"Список партнеров", [&](ui::Window* w, QWidget*) { w->userAccept(ctl(*w, "?INSERT:4")); }});
  steps.push_back({"Добавить ???", [&](ui::Window* w, QWidget* v) {
                     lookAt(v, "partner-form-insert");
                     w->userAccept(ctl(*w, "?CANCEL"));
                   }});
  steps.push_back({"Список партнеров", [&](ui::Window* w, QWidget*) { w->userAccept(ctl(*w, "?CLOSE")); }});
  steps.push_back({"Список партнеров", [&](ui::Window* w, QWidget* v) {
                     lookAt(v, "partner-list-credit");
                     w->userAccept(ctl(*w, "?CLOSE"));
                   }});
  playSteps(steps, [] {
    review::PR_TTT();
    review::PR_TTT1();
  });
}

}  // namespace
}  // namespace zelk::test
