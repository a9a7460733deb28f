#pragma once
// Small test lists over the dictionary's real 2.1 files, run by the scripted user:
// a firm list over F_NAME (by FNM:KEY_1, or in record order) and a chart list over
// PLN (by PLN:KEY_2), both with the six buttons of the list pattern, and an update
// procedure that notes each call and answers as the test tells it.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/patterns/list.h"
#include "dictionary/declarations.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "platform/core/codepage.h"
#include "platform/framework/browse.h"
#include "platform/framework/bind.h"
#include "platform/script/scripted_user.h"
#include "support/program.h"

namespace zelk::test {

using app::ListSetup;
using script::ScriptedUser;
using ui::Kind;

// The controls of both test lists.
namespace ctl {
inline constexpr int kList = 1, kSelect = 2, kView = 3, kInsert = 4, kChange = 5, kDelete = 6, kClose = 7,
                     kFind = 8;
}

inline const std::string& firmTitle() {
  static const std::string t = ansi("Фирмы");
  return t;
}
inline const std::string& chartTitle() {
  static const std::string t = ansi("План счетов");
  return t;
}

// A list window: the list, the buttons (attrs by control number), and a search button.
inline ui::WindowDef listDef(std::string title, std::string format, std::vector<std::uint32_t> attrs = {}) {
  attrs.resize(9, 0);
  ui::WindowDef d;
  d.key = "TEST$list";
  d.label = "QUICKWINDOW";
  d.title = std::move(title);
  d.at = {10, 10, 300, 200};
  auto control = [&](Kind kind, const char* name, std::string text, ui::Rect at, std::uint32_t a) {
    ui::ControlDef c;
    c.kind = kind;
    c.name = name;
    c.text = std::move(text);
    c.at = at;
    c.attrs = a;
    return c;
  };
  auto button = [&](int n, const char* name, const char* text) {
    return control(Kind::Button, name, ansi(text), {10 + 45 * (n - 2), 180, 40, 14}, attrs[static_cast<std::size_t>(n)]);
  };
  d.controls = {
      control(Kind::List, "?BROWSE:1", {}, {4, 4, 292, 170}, ui::kImmediate | attrs[1]),
      button(ctl::kSelect, "?SELECT:2", "&Выбрать"),
      button(ctl::kView, "?VIEW:3", "&Смотреть"),
      button(ctl::kInsert, "?INSERT:4", "&Добавить"),
      button(ctl::kChange, "?CHANGE:4", "&Изменить"),
      button(ctl::kDelete, "?DELETE:4", "&Удалить"),
      button(ctl::kClose, "?CLOSE", "&Закрыть"),
      button(ctl::kFind, "?FIND", "поиск"),
  };
  d.controls[0].format = std::move(format);
  return d;
}

// What the update procedure saw at each call.
struct FormCall {
  std::uint8_t request = 0;
  int code = 0;          // FNM:KOD or PLN:KOD in the record buffer
  std::string name;      // FNM:NAME or PLN:NAME (trimmed, 1251)
  std::string path;      // FNM:PATH (not among the list's columns)
};
inline thread_local std::vector<FormCall> formCalls;
// The update procedure's work for a request; it answers GLOBALRESPONSE. Unset: cancelled.
inline thread_local std::function<std::uint8_t(std::uint8_t)> formAction;

inline void firmForm() {
  FormCall c;
  c.request = dict::GLOBALREQUEST;
  dict::GLOBALREQUEST = 0;
  c.code = dict::F_NAME().rec.KOD;
  c.name = dict::F_NAME().rec.NAME.str();
  c.path = dict::F_NAME().rec.PATH.str();
  formCalls.push_back(c);
  dict::GLOBALRESPONSE = formAction ? formAction(c.request) : fw::response::kCancelled;
}

inline void chartForm() {
  FormCall c;
  c.request = dict::GLOBALREQUEST;
  dict::GLOBALREQUEST = 0;
  c.code = dict::PLN().rec.KOD;
  c.name = dict::PLN().rec.NAME.str();
  formCalls.push_back(c);
  dict::GLOBALRESPONSE = formAction ? formAction(c.request) : fw::response::kCancelled;
}

// BRW1 of the test lists: an optional row test of its own and a count of the fillings.
class TestBrowse : public app::ListBrowse {
 public:
  std::function<bool()> keep;  // the list's own row test: false filters the row out
  std::function<void(TestBrowse&)> fromView;
  bool editKeys = false;  // keep Ins, Del, Ctrl+Enter, Shift+Enter on
  int fromViewCalls = 0;

  std::uint8_t ValidateRecord() override {
    if (keep && !keep()) return fw::record::kFiltered;
    return fw::ViewManager::ValidateRecord();
  }
  void ResetFromView() override {
    ++fromViewCalls;
    if (fromView) fromView(*this);
    BrowseClass::ResetFromView();
  }
  void SetAlerts() override {
    if (editKeys) BrowseClass::SetAlerts();
    else ListBrowse::SetAlerts();
  }
};

// ThisWindow of the test lists: counts its resets; the select button copies the pick
// (as the firm list does) before the framework's handling; the search button fills
// the list again at the record in the buffer.
class TestList : public app::ListPattern {
 public:
  using ListPattern::ListPattern;
  void Reset(bool force) override {
    if (!AcceptingAll()) ++resets;
    ListPattern::Reset(force);
  }
  std::uint8_t TakeAccepted() override {
    if (field() == ctl::kSelect && onSelect) onSelect();
    std::uint8_t r = ListPattern::TakeAccepted();
    if (field() == ctl::kFind && onFind) onFind(*this);
    return r;
  }
  void BindNames() override {
    if (bind) bind();
  }
  int resets = 0;
  std::function<void()> onSelect;
  std::function<void(TestList&)> onFind;
  std::function<void()> bind;
  static thread_local TestList* running;
};
inline thread_local TestList* TestList::running = nullptr;

struct ListOptions {
  bool fileLoaded = false;
  bool recordOrder = false;  // the firm list in F_NAME's record order
  bool hideSelect = false;
  std::vector<std::uint32_t> attrs;  // by control number
  ListSetup::Step step = ListSetup::Step::None;
  ListSetup::Locator locator = ListSetup::Locator::None;
  std::string filter;
};

inline app::WindowSetup listWindowSetup(const char* name, app::RelateOf file) {
  app::WindowSetup s;
  s.procedureName = name;
  s.files = {file};
  s.resizer = app::WindowSetup::Resize{2, true, false};
  return s;
}

inline app::ListSetup baseListSetup(const ListOptions& o) {
  app::ListSetup l = app::ListSetup::standardControls();
  l.hideSelect = o.hideSelect;
  l.fileLoaded = o.fileLoaded;
  l.step = o.step;
  l.locator = o.locator;
  l.filter = o.filter;
  return l;
}

inline app::ListSetup firmListSetup(const ListOptions& o) {
  app::ListSetup l = baseListSetup(o);
  l.relate = []() -> fw::RelationManager* { return dict::Relate::F_NAME; };
  l.file = []() -> storage::File& { return dict::F_NAME(); };
  l.key = o.recordOrder ? fw::kRecordOrder : dict::fnm::KEY_1;
  l.stepControls = 1;
  l.locatorField = [] { return ui::use(dict::F_NAME().rec.KOD); };
  l.locatorNoCase = true;
  l.fields = {[] { return ui::use(dict::F_NAME().rec.KOD); }, [] { return ui::use(dict::F_NAME().rec.NAME); }};
  l.updateForm = firmForm;
  return l;
}

inline app::ListSetup chartListSetup(const ListOptions& o) {
  app::ListSetup l = baseListSetup(o);
  l.relate = []() -> fw::RelationManager* { return dict::Relate::PLN; };
  l.file = []() -> storage::File& { return dict::PLN(); };
  l.key = dict::pln::KEY_2;
  l.stepControls = 1;
  l.stepMode = fw::StepStringClass::kRunTime;
  l.locatorField = [] { return ui::use(dict::PLN().rec.NOMER); };
  l.locatorNoCase = true;
  l.fields = {[] { return ui::use(dict::PLN().rec.NOMER); }, [] { return ui::use(dict::PLN().rec.NAME); },
              [] { return ui::use(dict::NAME_P); }, [] { return ui::use(dict::PLN().rec.KOD); }};
  l.updateForm = chartForm;
  return l;
}

inline const char* kFirmFormat = "16L(2)|M~Код~L(0)@n3@161L(2)|M~Имя фирмы~C@s50@";
inline const char* kChartFormat = "85L(2)|M~Номер счета~C@s20@80L(2)|M~Наименование счета~C@s100@";

// Runs a list procedure on the calling thread: its window, BRW1 and ThisWindow, with
// the test's own set-up of the two before the run; the response.
inline std::uint8_t runList(const ui::WindowDef& def, app::WindowSetup ws, app::ListSetup ls,
                            const std::function<void(TestList&, TestBrowse&)>& prepare = {}) {
  ui::Window window(def);
  TestBrowse brw;
  TestList thisWindow(window, std::move(ws), std::move(ls), brw);
  if (prepare) prepare(thisWindow, brw);
  TestList::running = &thisWindow;
  app::respond(thisWindow);
  TestList::running = nullptr;
  return dict::GLOBALRESPONSE;
}

inline std::uint8_t runFirmList(const ListOptions& o = {},
                                const std::function<void(TestList&, TestBrowse&)>& prepare = {}) {
  return runList(listDef(firmTitle(), ansi(kFirmFormat), o.attrs),
                 listWindowSetup("firm_list", []() -> fw::RelationManager* { return dict::Relate::F_NAME; }),
                 firmListSetup(o), prepare);
}

inline std::uint8_t runChartList(const ListOptions& o = {},
                                 const std::function<void(TestList&, TestBrowse&)>& prepare = {}) {
  return runList(listDef(chartTitle(), ansi(kChartFormat), o.attrs),
                 listWindowSetup("chart_list", []() -> fw::RelationManager* { return dict::Relate::PLN; }),
                 chartListSetup(o), prepare);
}

class ListsTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    dict::P_PLN = dir / "pln.dat";
    user.install();
    formCalls.clear();
    formAction = nullptr;
    dict::FIR = 0;
    dict::NAME_P.clear();
    dict::Relate::F_NAME->Open();  // the frame holds the firm file open
    dict::Relate::PLN->Open();
  }
  void TearDown() override {
    dict::Relate::PLN->Close();
    dict::Relate::F_NAME->Close();
    user.uninstall();
    formAction = nullptr;
    for (const std::string& f : user.failures()) ADD_FAILURE() << f;
    ProgramTest::TearDown();
  }

  void addFirm(int code, std::string_view name, std::string_view path = "c:\\base") {
    dict::F_NAME().clearBuffer();
    dict::F_NAME().rec.KOD = static_cast<std::int16_t>(code);
    dict::F_NAME().rec.NAME = ansi(name);
    dict::F_NAME().rec.PATH = ansi(path);
    ASSERT_EQ(dict::F_NAME().add(), 0);
  }
  void clearFirms() {
    while (dict::F_NAME().set() == 0 && dict::F_NAME().next() == 0) ASSERT_EQ(dict::F_NAME().erase(), 0);
  }
  void addFirms(int n) {
    for (int i = 1; i <= n; ++i) addFirm(i, "Фирма " + std::to_string(i));
  }
  void addAccount(int code, std::string_view nomer, std::string_view name, int firm = 1) {
    dict::PLN().clearBuffer();
    dict::PLN().rec.KOD = static_cast<std::int16_t>(code);
    dict::PLN().rec.NOMER = ansi(nomer);
    dict::PLN().rec.NAME = ansi(name);
    dict::PLN().rec.FIR = static_cast<std::int16_t>(firm);
    ASSERT_EQ(dict::PLN().add(), 0);
  }

  // Adds a step at the end of the script.
  void then(std::function<void(ui::Window&)> step) {
    user.then([step = std::move(step)](ScriptedUser& u) { step(u.window()); });
  }

  // The cells of a list row (UTF-8, trailing blanks cut), the first column of every row.
  static std::string cell(ui::Window& w, int row, int column = 0) {
    auto rows = w.rows(ctl::kList);
    if (row < 1 || row > static_cast<int>(rows.size())) return "<none>";
    const auto& r = rows[static_cast<std::size_t>(row) - 1];
    if (column >= static_cast<int>(r.size())) return "<none>";
    std::string_view v = trimRight(r[static_cast<std::size_t>(column)]);
    while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
    return cp::toUtf8(v);
  }
  static std::vector<std::string> column(ui::Window& w, int column = 0) {
    std::vector<std::string> out;
    for (int r = 1; r <= w.rowCount(ctl::kList); ++r) out.push_back(cell(w, r, column));
    return out;
  }
  static std::string highlighted(ui::Window& w, int column = 0) { return cell(w, w.selectedRow(ctl::kList), column); }

  ScriptedUser user;
};

}  // namespace zelk::test
