// The form pattern on a small firm form over F_NAME: titles per request, view mode,
// the history key per thread, required entries, and what the user meets when the
// form inserts, changes, deletes or is cancelled.
#include <algorithm>
#include <cctype>
#include <future>
#include <ostream>
#include <stdexcept>
#include <utility>

#include "app/startup.h"
#include "fixture.h"

namespace zelk::test {
namespace {

namespace request = fw::request;
namespace response = fw::response;
using namespace form;

class FormTest : public WindowsTest {
 protected:
  // What a list does before it calls its form for an insert.
  void prime() { ASSERT_EQ(dict::Access::F_NAME->PrimeRecord(), 0); }
};

TEST_F(FormTest, TitleFollowsTheRequestAndTheRequestIsTakenOver) {
  struct Case {
    std::uint8_t request;
    std::string title;
  } cases[] = {
      {request::kInsert, "Добавить ???"},
      {request::kChange, "Изменить ???"},
      {request::kDelete, "Удалить ???"},
      {request::kView, "Просмотр записи"},
  };
  addFirm(5, "Пятая");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    if (c.request == request::kInsert) prime();
    else current(5);
    std::string title;
    std::uint8_t seen = 0, left = 99;
    user.then([&](ScriptedUser& u) {
      title = cp::toUtf8(u.window().title());
      seen = FirmForm::running->Request;
      left = dict::GLOBALREQUEST;
      u.press(u.window(), "?CANCEL");
    });
    EXPECT_EQ(firmForm(c.request), response::kCancelled);
    EXPECT_EQ(title, c.title);
    EXPECT_EQ(seen, c.request);
    EXPECT_EQ(left, 0);
    // Nothing was written; a cancelled insert gave its reserved number back.
    EXPECT_EQ(firms(), 1u);
    EXPECT_EQ(nameOnDisk(5), "Пятая");
  }
  EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(FormTest, ViewModeIsReadOnlyAndAnswersCancelledWhicheverButtonClosesIt) {
  addFirm(5, "Пятая");
  for (std::string_view button : {"?OK", "?CANCEL"}) {
    SCOPED_TRACE(std::string(button));
    current(5);
    std::vector<bool> readOnly;
    int okControl = -1;
    user.then([&](ScriptedUser& u) {
      ui::Window& w = u.window();
      for (int c : {kCode, kName, kPath}) readOnly.push_back(w.readOnly(c));
      okControl = FirmForm::running->OkControl;
      u.type(w, "?NAME", ansi("Другая"));  // refused: the entry is read-only
      u.press(w, button);
    });
    EXPECT_EQ(firmForm(request::kView), response::kCancelled);
    EXPECT_EQ(readOnly, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(okControl, 0);
    EXPECT_EQ(nameOnDisk(5), "Пятая");
  }
}

TEST_F(FormTest, HistoryKeyPutsBackTheLastSavedRecordOfThisThreadOnly) {
  auto ctrlH = [](ScriptedUser& u, int ctl) {
    ui::Window& w = u.window();
    u.key(w, w.control(ctl).name, ui::key::kCtrlH);
  };
  // First call on the thread: the history copy is a cleared record.
  prime();
  std::string before;
  user.then([&](ScriptedUser& u) {
    u.type(u.window(), "?NAME", ansi("Набрано"));
    ctrlH(u, kName);
  });
  user.then([&](ScriptedUser& u) {
    before = text(u.window(), kName);
    ui::Window& w = u.window();
    u.type(w, "?KOD", "5");
    u.type(w, "?NAME", ansi("Пятая фирма"));
    u.type(w, "?PATH", "c:\\five");
    u.press(w, "?OK");
  });
  EXPECT_EQ(firmForm(request::kInsert), response::kCompleted);
  EXPECT_EQ(before, "");
  EXPECT_EQ(nameOnDisk(5), "Пятая фирма");

  // The next insert on this thread: Ctrl+H in the name entry brings firm 5's name.
  prime();
  std::string after, path;
  user.then([&](ScriptedUser& u) { ctrlH(u, kName); });
  user.then([&](ScriptedUser& u) {
    after = text(u.window(), kName);
    path = text(u.window(), kPath);
    u.press(u.window(), "?CANCEL");
  });
  EXPECT_EQ(firmForm(request::kInsert), response::kCancelled);
  EXPECT_EQ(after, "Пятая фирма");
  EXPECT_EQ(path, "");  // only the field of the entry comes back

  // Another thread has a history copy of its own.
  user.uninstall();
  std::promise<std::string> seen;
  app::START(
      [&seen] {
        User other;
        other.install();
        EXPECT_EQ(dict::Relate::F_NAME->Open(), 0);
        EXPECT_EQ(dict::Access::F_NAME->PrimeRecord(), 0);
        std::string name = "?";
        other.then([](ScriptedUser& u) {
          u.type(u.window(), "?NAME", ansi("Набрано"));
          u.key(u.window(), "?NAME", ui::key::kCtrlH);
        });
        other.then([&](ScriptedUser& u) {
          name = text(u.window(), kName);
          u.press(u.window(), "?CANCEL");
        });
        firmForm(request::kInsert);
        dict::Relate::F_NAME->Close();
        other.uninstall();
        seen.set_value(name);
      },
      50000);
  EXPECT_EQ(seen.get_future().get(), "");
  user.install();
}

TEST_F(FormTest, HistoryKeyOffersTheLastRecordWrittenNotARefusedOne) {
  auto insert = [&](const char* code, const char* name) {
    user.then([=](ScriptedUser& u) {
      ui::Window& w = u.window();
      u.type(w, "?KOD", code);
      u.type(w, "?NAME", ansi(name));
      u.type(w, "?PATH", "c:\\firm");
      u.press(w, "?OK");
    });
  };
  prime();
  insert("5", "Пятая фирма");
  EXPECT_EQ(firmForm(request::kInsert), response::kCompleted);

  // A duplicate code: OK is refused, and the form is closed without saving.
  prime();
  insert("5", "Дубль");
  user.then([](ScriptedUser& u) { u.press(u.window(), "?CANCEL"); });
  EXPECT_EQ(firmForm(request::kInsert), response::kCancelled);
  ASSERT_EQ(boxes.count(), 1u);
  EXPECT_EQ(cp::toUtf8(boxes.last().caption), "Ошибка дублирования в ключе");

  prime();
  std::string name;
  user.then([](ScriptedUser& u) { u.key(u.window(), "?NAME", ui::key::kCtrlH); });
  user.then([&](ScriptedUser& u) {
    name = text(u.window(), kName);
    u.press(u.window(), "?CANCEL");
  });
  EXPECT_EQ(firmForm(request::kInsert), response::kCancelled);
  EXPECT_EQ(name, "Пятая фирма");
  EXPECT_EQ(nameOnDisk(5), "Пятая фирма");
}

// A history field names the record's field it restores; a name the record lacks
// stops the form being built, never a field silently left out.
TEST_F(FormTest, AHistoryFieldTheRecordLacksStopsTheBuild) {
  ui::Window window(firmFormDef());
  app::FormSetup f = firmFormFields();
  f.historyFields = {{"?NAME", "NAME"}, {"?PATH", "FOLDER"}};
  EXPECT_THROW(app::FormPattern(window, firmFormSetup(), f), std::logic_error);
  f.historyFields = {{"?NAME", "NAME"}};
  EXPECT_NO_THROW(app::FormPattern(window, firmFormSetup(), f));
}

TEST_F(FormTest, ARequiredEntryLeftBlankStopsTheCompletionWithTheFocusOnIt) {
  struct Case {
    const char* what;
    std::string code, name;
    int focus;  // 0: saved
  } cases[] = {
      {"blank name", "7", "", kName},
      {"code 0 counts as blank", "0", "Седьмая", kCode},
      {"both filled", "7", "Седьмая", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    prime();
    int focus = -1;
    bool open = false;
    user.then([&](ScriptedUser& u) {
      ui::Window& w = u.window();
      w.userFocus(kPath);
      u.type(w, "?KOD", c.code);
      u.type(w, "?NAME", ansi(c.name));
      u.press(w, "?OK");
    });
    if (c.focus != 0) {
      user.then([&](ScriptedUser& u) {
        focus = u.window().focus();
        open = u.window().isOpen();
        u.press(u.window(), "?CANCEL");
      });
    }
    std::uint8_t r = firmForm(request::kInsert);
    if (c.focus != 0) {
      EXPECT_EQ(r, response::kCancelled);
      EXPECT_TRUE(open);
      EXPECT_EQ(focus, c.focus);
      EXPECT_EQ(firms(), 0u);
    } else {
      EXPECT_EQ(r, response::kCompleted);
      EXPECT_EQ(nameOnDisk(7), "Седьмая");
    }
  }
  EXPECT_EQ(boxes.count(), 0u);
}

// Asks for a window reset after the OK button's event.
class ResetAfterOk : public fw::WindowComponent {
 public:
  std::uint8_t TakeEvent(const ui::EventRec& e) override {
    if (e.event == ui::Event::Accepted && e.control == kOk) armed_ = true;
    return 0;
  }
  bool ResetRequired() override { return std::exchange(armed_, false); }
  void Reset(bool) override { ++resets; }
  int resets = 0;

 private:
  bool armed_ = false;
};

TEST_F(FormTest, ResetDoesNothingWhileTheCompletionAcceptsEveryControl) {
  prime();
  ResetAfterOk list;
  int resetsBefore = 0;
  user.then([&](ScriptedUser& u) {
    FirmForm::running->AddItem(list);
    ui::Window& w = u.window();
    u.type(w, "?KOD", "3");
    u.type(w, "?NAME", ansi("Третья"));  // the form resets after its name is accepted
  });
  user.then([&](ScriptedUser& u) {
    resetsBefore = FirmForm::running->resets;
    u.press(u.window(), "?OK");
  });
  int resets = 0, quiet = 0;
  EXPECT_EQ(firmForm(request::kInsert,
                     [&](FirmForm& f) {
                       resets = f.resets;
                       quiet = f.quietResets;
                     }),
            response::kCompleted);
  EXPECT_EQ(resetsBefore, 2);  // opened, name accepted
  // While accepting every control: the name's own reset and the list's.
  EXPECT_EQ(quiet, 2);
  EXPECT_EQ(resets, 2);
  EXPECT_EQ(list.resets, 1);  // registered after opening: the name's reset only
  EXPECT_EQ(nameOnDisk(3), "Третья");
}

TEST_F(FormTest, DuplicateCodeOnInsertKeepsTheFormOpenAndCancelGivesTheNumberBack) {
  addFirm(5, "Пятая");
  prime();
  EXPECT_EQ(firms(), 2u);  // the reserved number 6
  EXPECT_EQ(dict::F_NAME().rec.KOD, 6);
  int focus = 0;
  std::string name;
  user.then([&](ScriptedUser& u) {
    ui::Window& w = u.window();
    w.userFocus(kPath);
    u.type(w, "?KOD", "5");
    u.type(w, "?NAME", ansi("Дубль"));
    u.press(w, "?OK");
  });
  user.then([&](ScriptedUser& u) {
    focus = u.window().focus();
    name = text(u.window(), kName);
    u.close(u.window());  // the close box
  });
  EXPECT_EQ(firmForm(request::kInsert), response::kCancelled);
  ASSERT_EQ(boxes.count(), 1u);
  EXPECT_EQ(cp::toUtf8(boxes.last().caption), "Ошибка дублирования в ключе");
  EXPECT_EQ(cp::toUtf8(boxes.last().text), "Добавление этой записи создает дублирование для ключа: FNm:key_1");
  EXPECT_EQ(focus, kCode);
  EXPECT_EQ(name, "Дубль");
  EXPECT_EQ(firms(), 1u);
  EXPECT_EQ(nameOnDisk(5), "Пятая");
}

TEST_F(FormTest, ACancelledInsertThatCannotGiveItsNumberBackStaysOpen) {
  prime();
  int focus = 0;
  bool open = false;
  user.then([&](ScriptedUser& u) {
    otherLocks();
    u.window().userFocus(kPath);
    u.press(u.window(), "?CANCEL");
  });
  user.then([&](ScriptedUser& u) {
    focus = u.window().focus();
    open = u.window().isOpen();
    other.unlock();
    u.press(u.window(), "?CANCEL");
  });
  EXPECT_EQ(firmForm(request::kInsert), response::kCancelled);
  EXPECT_TRUE(open);
  EXPECT_EQ(focus, kCode);
  ASSERT_EQ(boxes.count(), 1u);
  EXPECT_EQ(cp::toUtf8(boxes.last().caption), "Запись не удаляется");
  EXPECT_EQ(firms(), 0u);
}

// Change and delete: what the other station does after the form opened, what the
// user answers, what the user meets, and what is in the file afterwards.
enum class Other { None, Renames, Locks };

struct SaveCase {
  const char* what;
  std::uint8_t request;
  Other other;
  std::string edit;                  // typed into the name entry; "" none
  std::vector<unsigned> answers;     // to the boxes, in order
  std::vector<std::string> boxes;    // the start of each box's text
  std::uint8_t response;
  bool stays;                        // the form was still open after OK, focus on the first field
  std::string onDisk;                // firm 5's name afterwards; "" removed
};

void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.what; }

const char* const kConflict = "Запись была изменена другой рабочей станцией.";
const char* const kRetryChange = "Возникла ошибка при изменений записи. Желаете попробовать записать еще раз?";
const char* const kDeleteFailed = "Возникла ошибка (";
const char* const kRetryDelete = "Возникла ошибка при удалении записи. Желаете попробовать удалить еще раз?";

class SaveTest : public FormTest, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(SaveTest, Case) {
  const SaveCase& c = GetParam();
  addFirm(5, "Пятая");
  current(5);
  bool retried = false;
  watched.onShow = [&](const fw::Box& b) {
    // The other station lets go while the user reads the retry question.
    if (cp::toUtf8(b.text).rfind("Возникла ошибка при", 0) == 0 && !retried && other.isOpen()) {
      retried = true;
      if (!c.answers.empty() && c.answers.back() == fw::kButtonYes) other.unlock();
    }
    // The arrow is back before any box shows.
    std::vector<ui::Cursor> cs = user.cursors();
    EXPECT_TRUE(cs.empty() || cs.back() == ui::Cursor::Arrow);
  };
  for (unsigned a : c.answers) boxes.answer(a);
  bool open = false;
  int focus = 0;
  user.then([&](ScriptedUser& u) {
    u.window().userFocus(kPath);
    if (c.other == Other::Renames) otherRenames(5, "Чужая");
    if (c.other == Other::Locks) otherLocks();
    if (!c.edit.empty()) u.type(u.window(), "?NAME", ansi(c.edit));
    u.press(u.window(), "?OK");
  });
  if (c.stays) {
    user.then([&](ScriptedUser& u) {
      open = u.window().isOpen();
      focus = u.window().focus();
      if (other.isOpen()) other.unlock();
      u.press(u.window(), "?CANCEL");
    });
  }
  EXPECT_EQ(firmForm(c.request), c.response);
  if (c.stays) {
    EXPECT_TRUE(open);
    EXPECT_EQ(focus, kCode);
  }
  std::vector<std::string> shown = boxTexts();
  ASSERT_EQ(shown.size(), c.boxes.size());
  for (std::size_t i = 0; i < shown.size(); ++i) EXPECT_EQ(shown[i].rfind(c.boxes[i], 0), 0u) << shown[i];
  for (const fw::Box& b : boxes.boxes()) {
    if (b.buttons == fw::kButtonOk) continue;
    EXPECT_EQ(b.buttons, fw::kButtonYes | fw::kButtonNo | fw::kButtonCancel);
    EXPECT_EQ(b.defaultButton, fw::kButtonCancel);
  }
  if (other.isOpen()) other.unlock();
  EXPECT_EQ(nameOnDisk(5), c.onDisk);
  // A wait cursor for every write tried, each put back.
  std::vector<ui::Cursor> cs = user.cursors();
  bool wrote = c.request == request::kDelete || !c.edit.empty();
  EXPECT_EQ(std::count(cs.begin(), cs.end(), ui::Cursor::Wait) > 0, wrote);
  EXPECT_EQ(std::count(cs.begin(), cs.end(), ui::Cursor::Wait), std::count(cs.begin(), cs.end(), ui::Cursor::Arrow));
}

const unsigned kOk = fw::kButtonOk, kYes = fw::kButtonYes, kNo = fw::kButtonNo, kCancelButton = fw::kButtonCancel;

INSTANTIATE_TEST_SUITE_P(
    Form, SaveTest,
    ::testing::Values(
        SaveCase{"change written", request::kChange, Other::None, "Новая", {}, {}, response::kCompleted, false,
                 "Новая"},
        SaveCase{"nothing edited: nothing written", request::kChange, Other::Renames, "", {}, {},
                 response::kCompleted, false, "Чужая"},
        SaveCase{"changed by another station", request::kChange, Other::Renames, "Новая", {}, {kConflict},
                 response::kCancelled, true, "Чужая"},
        SaveCase{"write fails, Cancel", request::kChange, Other::Locks, "Новая", {kCancelButton}, {kRetryChange},
                 response::kCancelled, true, "Пятая"},
        SaveCase{"write fails, No", request::kChange, Other::Locks, "Новая", {kNo}, {kRetryChange},
                 response::kCancelled, false, "Пятая"},
        SaveCase{"write fails, Yes", request::kChange, Other::Locks, "Новая", {kYes}, {kRetryChange},
                 response::kCompleted, false, "Новая"},
        SaveCase{"deleted", request::kDelete, Other::None, "", {}, {}, response::kCompleted, false, ""},
        SaveCase{"delete fails, Cancel", request::kDelete, Other::Locks, "", {kOk, kCancelButton},
                 {kDeleteFailed, kRetryDelete}, response::kCancelled, true, "Пятая"},
        SaveCase{"delete fails, No", request::kDelete, Other::Locks, "", {kOk, kNo}, {kDeleteFailed, kRetryDelete},
                 response::kCancelled, false, "Пятая"},
        SaveCase{"delete fails, Yes", request::kDelete, Other::Locks, "", {kOk, kYes},
                 {kDeleteFailed, kRetryDelete}, response::kCompleted, false, ""}),
    [](const ::testing::TestParamInfo<SaveCase>& i) {
      std::string n;
      for (const char* p = i.param.what; *p; ++p) n += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      return n;
    });

TEST_F(FormTest, ChangingTheCodeToOneInUseIsRefusedWithMessage28) {
  addFirm(5, "Пятая");
  addFirm(6, "Шестая");
  current(6);
  int focus = 0;
  user.then([&](ScriptedUser& u) {
    u.window().userFocus(kPath);
    u.type(u.window(), "?KOD", "5");
    u.press(u.window(), "?OK");
  });
  user.then([&](ScriptedUser& u) {
    focus = u.window().focus();
    u.press(u.window(), "?CANCEL");
  });
  EXPECT_EQ(firmForm(request::kChange), response::kCancelled);
  ASSERT_EQ(boxes.count(), 1u);
  EXPECT_EQ(cp::toUtf8(boxes.last().caption), "Запись не обновляется");
  EXPECT_EQ(boxTexts()[0].rfind("Возникла ошибка (", 0), 0u);
  EXPECT_EQ(focus, kCode);
  EXPECT_EQ(nameOnDisk(6), "Шестая");
  EXPECT_EQ(nameOnDisk(5), "Пятая");
}

}  // namespace
}  // namespace zelk::test
