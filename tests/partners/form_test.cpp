// The partner form UPDATEPARTNER1 on both back ends, reached from the partner lists
// as the posting form's analytics buttons leave them: the insert with its ANALIT
// registration, the refused insert, the required entries, view mode, the refused
// change and delete, the history key and the four tabs.
#include "fixture.h"

namespace zelk::test {
namespace {

namespace response = fw::response;

constexpr const char* kInsertTitle = "Добавить ???";

class FormTest : public PartnersTest {
 protected:
  // The debit or credit analytics button of a posting with these accounts: the side's
  // account handed over, the other blank, the side's list run.
  void fromPosting(bool credit, std::string_view account, const std::function<void()>& steps) {
    dict::DT_SCHET_A = credit ? std::string_view{} : account;
    dict::KT_SCHET_A = credit ? account : std::string_view{};
    steps();
    (credit ? review::PR_TTT1 : review::PR_TTT)();
  }
  // "Добавить" on the list, the entries typed and "&OK".
  void insert(const Partner& p, std::vector<std::pair<const char*, std::string>> more = {}) {
    on(kListTitle, [](ScriptedUser& u, ui::Window& w) { u.press(w, "?INSERT:4"); });
    on(kInsertTitle, [p, more](ScriptedUser& u, ui::Window& w) {
      u.type(w, "?PAR:FLD_CODE", ansi(p.code));
      u.type(w, "?PAR:SHORTNAME", ansi(p.shortName));
      u.type(w, "?PAR:ORGNAME", ansi(p.orgName));
      for (const auto& [entry, value] : more) u.type(w, entry, ansi(value));
      u.press(w, "?OK");
    });
  }
  void closeList(std::vector<std::string>* codes = nullptr) {
    on(kListTitle, [codes](ScriptedUser& u, ui::Window& w) {
      if (codes) *codes = column(w);
      u.press(w, "?CLOSE");
    });
  }
  const Partner romashka{"000777", "Ромашка", "ООО \"Ромашка\""};
};
INSTANTIATE_TEST_SUITE_P(Backends, FormTest, ::testing::ValuesIn(kRegisterBackends), backendName);

TEST_P(FormTest, AnInsertedPartnerIsRegisteredUnderTheSidesAccount) {
  struct Case {
    const char* what;
    bool credit;
    const char* account;
    std::vector<Registration> rows;
  } cases[] = {
      {"debit", false, "60.1", {registration("60.1", "000777", "Ромашка", 555)}},
      {"credit", true, "62", {registration("62", "000777", "Ромашка", 333)}},
      {"blank account", false, "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string problem;
    ASSERT_FALSE(emptySource(GetParam(), problem).empty()) << problem;
    std::vector<std::string> shown;
    fromPosting(c.credit, c.account, [&] {
      insert(romashka);
      closeList(&shown);
    });
    EXPECT_EQ(partnersOnDisk(), (std::vector<Partner>{romashka}));
    EXPECT_EQ(registrationsOnDisk(), c.rows);
    EXPECT_EQ(shown, (std::vector<std::string>{"000777"}));  // the list shows the new partner
    EXPECT_EQ(boxCount(), 0u);
  }
}

TEST_P(FormTest, ARegistrationAlreadyThereIsSkippedQuietly) {
  addRegistration("60.1", "000777");
  fromPosting(false, "60.1", [&] {
    insert(romashka);
    closeList();
  });
  EXPECT_EQ(partnersOnDisk(), (std::vector<Partner>{romashka}));
  ASSERT_EQ(registrationsOnDisk().size(), 1u);
  EXPECT_EQ(registrationsOnDisk()[0].crc, 0);  // the row that stood
  EXPECT_EQ(boxCount(), 0u);
}

TEST_P(FormTest, ARefusedInsertKeepsTheFormOpenAndRegistersNothing) {
  addPartner("000777", "Старый", "Старый партнер");
  std::string stillTitle, typedName;
  fromPosting(false, "60.1", [&] {
    insert({"000777", "Новый", "Новый партнер"});
    on(kInsertTitle, [&](ScriptedUser& u, ui::Window& w) {
      stillTitle = title(w);
      typedName = text(w, "?PAR:SHORTNAME");
      u.press(w, "?OK");  // again: refused again
    });
    on(kInsertTitle, [&](ScriptedUser& u, ui::Window& w) { u.press(w, "?CANCEL"); });
    closeList();
  });
  EXPECT_EQ(stillTitle, kInsertTitle);
  EXPECT_EQ(typedName, "Новый");
  const std::vector<std::string> captions = boxCaptions();
  ASSERT_EQ(captions.size(), 2u);
  for (const std::string& c : captions)
    EXPECT_TRUE(c == "Ошибка дублирования в ключе" || c == "Ошибка добавления записи") << c;
  EXPECT_EQ(partnersOnDisk(), (std::vector<Partner>{{"000777", "Старый", "Старый партнер"}}));
  EXPECT_TRUE(registrationsOnDisk().empty());
}

// The code is what a posting that picks the partner stores: six digits. Any other
// code is refused with message 16 when the entry is left and again at "&OK"; the
// form stays open and adds nothing.
TEST_P(FormTest, ACodeThatIsNotSixDigitsIsRefused) {
  for (const char* code : {"42", " 77", "12A456", "-00012", "A12345", "000000"}) {
    SCOPED_TRACE(std::string("'") + code + "'");
    boxes.clear();
    std::string focus, title2;
    fromPosting(false, "60.1", [&] {
      insert({code, "Ромашка", "ООО \"Ромашка\""});
      on(kInsertTitle, [&](ScriptedUser& u, ui::Window& w) {
        title2 = title(w);
        focus = w.control(w.focus()).name;
        u.press(w, "?CANCEL");
      });
      closeList();
    });
    EXPECT_EQ(title2, kInsertTitle);
    EXPECT_EQ(focus, "?PAR:FLD_CODE");
    const std::vector<std::string> captions = boxCaptions();
    ASSERT_FALSE(captions.empty());
    for (const std::string& c : captions) EXPECT_EQ(c, "Ошибка содержимого поля");
    EXPECT_EQ(cp::toUtf8(boxes.last().text), "Поле Код содержит недопустимое значение.");
    EXPECT_TRUE(partnersOnDisk().empty());
    EXPECT_TRUE(registrationsOnDisk().empty());
  }
}

TEST_P(FormTest, ARegistrationThatFailsOtherwiseIsReportedAndThePartnerStays) {
  const std::string cs = storage::odbc::connectionString();
  fromPosting(false, "60.1", [&] {
    on(kListTitle, [](ScriptedUser& u, ui::Window& w) { u.press(w, "?INSERT:4"); });
    on(kInsertTitle, [&](ScriptedUser& u, ui::Window& w) {
      u.type(w, "?PAR:FLD_CODE", ansi(romashka.code));
      u.type(w, "?PAR:SHORTNAME", ansi(romashka.shortName));
      u.type(w, "?PAR:ORGNAME", ansi(romashka.orgName));
      // The registrations' table goes away under the open form.
      EXPECT_EQ(storage::odbc::runScript(cs, "DROP TABLE \"ANALIT\";").code, 0);
      u.press(w, "?OK");
    });
    closeList();
  });
  EXPECT_EQ(boxCaptions(), (std::vector<std::string>{"Ошибка добавления записи"}));
  EXPECT_EQ(partnersOnDisk(), (std::vector<Partner>{romashka}));
  ASSERT_EQ(storage::odbc::runScript(cs, DataSources::schema()).code, 0);  // for the tests that follow
}

TEST_P(FormTest, ABlankRequiredEntryOrCancelAddsNothing) {
  for (const char* blank : {"?PAR:FLD_CODE", "?PAR:SHORTNAME", "?PAR:ORGNAME"}) {
    SCOPED_TRACE(blank);
    std::string focus;
    fromPosting(false, "60.1", [&] {
      insert(romashka, {{blank, ""}});
      on(kInsertTitle, [&](ScriptedUser& u, ui::Window& w) {
        focus = w.control(w.focus()).name;
        u.press(w, "?CANCEL");
      });
      closeList();
    });
    EXPECT_EQ(focus, blank);
  }
  fromPosting(true, "62", [&] {
    on(kListTitle, [](ScriptedUser& u, ui::Window& w) { u.press(w, "?INSERT:4"); });
    on(kInsertTitle, [](ScriptedUser& u, ui::Window& w) {
      u.type(w, "?PAR:FLD_CODE", "000001");
      u.press(w, "?CANCEL");
    });
    closeList();
  });
  EXPECT_TRUE(partnersOnDisk().empty());
  EXPECT_TRUE(registrationsOnDisk().empty());
  EXPECT_EQ(boxCount(), 0u);
}

// The form called directly with a request, as a list calls it, on the highlighted
// partner in the record buffer.
std::uint8_t callForm(std::uint8_t request) {
  dict::Relate::PARTNER->Open();
  dict::PARTNER().rec.FLD_CODE = "000777";
  EXPECT_EQ(dict::PARTNER().get(dict::par::FULLCODE), 0);
  dict::GLOBALREQUEST = request;
  review::UPDATEPARTNER1();
  dict::Relate::PARTNER->Close();
  return dict::GLOBALRESPONSE;
}

TEST_P(FormTest, ViewShowsEveryFieldReadOnlyAndSavesNothing) {
  addPartner(romashka.code, romashka.shortName, romashka.orgName);
  for (const char* button : {"?OK", "?CANCEL"}) {
    std::vector<std::string> editable;
    int entries = 0;
    std::string shown;
    on("View Record", [&](ScriptedUser& u, ui::Window& w) {
      for (int n = 1; n <= w.last(); ++n) {
        if (w.control(n).kind != ui::Kind::Entry) continue;
        ++entries;
        if (!w.readOnly(n)) editable.push_back(w.control(n).name);
      }
      shown = text(w, "?PAR:ORGNAME");
      u.press(w, button);
    });
    EXPECT_EQ(callForm(fw::request::kView), response::kCancelled);
    EXPECT_EQ(entries, 35);
    EXPECT_TRUE(editable.empty());
    EXPECT_EQ(shown, romashka.orgName);
  }
  EXPECT_EQ(partnersOnDisk(), (std::vector<Partner>{romashka}));
}

// Notes the title of the window behind each box shown, then shows it as before.
class TitleBehindBoxes : public fw::BoxService {
 public:
  explicit TitleBehindBoxes(fw::BoxService& to) : to_(to) {}
  unsigned show(const fw::Box& box) override {
    std::vector<ui::Window*> open = ui::threadWindows();
    titles.push_back(open.empty() ? std::string() : cp::toUtf8(open.back()->title()));
    return to_.show(box);
  }
  std::vector<std::string> titles;

 private:
  fw::BoxService& to_;
};

TEST_P(FormTest, ChangeAndDeleteAreRefusedBeforeTheFormTakesInput) {
  addPartner(romashka.code, romashka.shortName, romashka.orgName);
  fw::BoxService& shown = fw::boxService();
  TitleBehindBoxes behind(shown);
  fw::setBoxService(&behind);
  EXPECT_EQ(callForm(fw::request::kChange), response::kCancelled);
  EXPECT_EQ(callForm(fw::request::kDelete), response::kCancelled);
  fw::setBoxService(&shown);
  // The form stands under its own title behind either message.
  EXPECT_EQ(behind.titles, (std::vector<std::string>{"Спецификация партнера", "Спецификация партнера"}));
  EXPECT_TRUE(user.expectBox(ansi("Неверный запрос"), ansi("Эта форма не может быть использована для изменения записи")));
  EXPECT_TRUE(user.expectBox(ansi("Неверный запрос"), ansi("Эта форма не может быть использована для удаления записи")));
  EXPECT_TRUE(user.expectNoBox());
  EXPECT_EQ(partnersOnDisk(), (std::vector<Partner>{romashka}));
}

TEST_P(FormTest, CtrlHPutsBackTheFieldOfThePartnerLastCompleted) {
  std::string after, dateAfter;
  fromPosting(false, "", [&] {
    insert(romashka, {{"?PAR:DATE_S", "05.03.2024"}});
    on(kListTitle, [](ScriptedUser& u, ui::Window& w) { u.press(w, "?INSERT:4"); });
    on(kInsertTitle, [&](ScriptedUser& u, ui::Window& w) {
      u.choose(w, "?TAB:2");
      u.focus(w, "?PAR:DATE_S");
      u.key(w, "?PAR:DATE_S", ui::key::kCtrlH);
      u.choose(w, "?TAB:1");
      u.focus(w, "?PAR:SHORTNAME");
      u.key(w, "?PAR:SHORTNAME", ui::key::kCtrlH);
    });
    on(kInsertTitle, [&](ScriptedUser& u, ui::Window& w) {
      dateAfter = text(w, "?PAR:DATE_S");
      after = text(w, "?PAR:SHORTNAME");
      u.press(w, "?CANCEL");
    });
    closeList();
  });
  EXPECT_EQ(after, "Ромашка");
  EXPECT_EQ(dateAfter, "05.03.2024");
}

TEST_P(FormTest, FourTabsHoldTheirEntriesWithTheirPrompts) {
  std::vector<std::string> tabs;
  std::vector<int> perTab;
  std::vector<std::string> required;
  std::string firstPrompt, lastPrompt;
  on("View Record", [&](ScriptedUser& u, ui::Window& w) {
    for (int n = 1; n <= w.last(); ++n) {
      const ui::ControlDef& c = w.control(n);
      if (c.kind == ui::Kind::Tab) {
        tabs.push_back(cp::toUtf8(c.text));
        perTab.push_back(0);
      }
      if (c.kind == ui::Kind::Entry) {
        ++perTab.back();
        EXPECT_EQ(w.control(c.parent).kind, ui::Kind::Tab) << c.name;
        EXPECT_EQ(w.control(n - 1).name, c.name + ":PROMPT");
        if (c.attrs & ui::kRequired) required.push_back(cp::toUtf8(w.control(n - 1).text));
      }
    }
    firstPrompt = cp::toUtf8(w.control(w.number("?PAR:CODE_PR:PROMPT")).text);
    lastPrompt = cp::toUtf8(w.control(w.number("?PAR:CODE_KPP:PROMPT")).text);
    u.press(w, "?CANCEL");
  });
  addPartner(romashka.code, romashka.shortName, romashka.orgName);
  callForm(fw::request::kView);
  EXPECT_EQ(tabs, (std::vector<std::string>{"&1) Стр.1", "&2) Стр.2", "&3) Стр.3", "&4) Стр.4"}));
  EXPECT_EQ(perTab, (std::vector<int>{10, 10, 10, 5}));
  EXPECT_EQ(required, (std::vector<std::string>{"Код:", "Крат.имя:", "Полное имя:"}));
  EXPECT_EQ(firstPrompt, "Вн.код:");
  EXPECT_EQ(lastPrompt, "КПП:");
}

}  // namespace
}  // namespace zelk::test
