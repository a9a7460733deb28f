// PLN_TAB, PLN_TAB1: the chart lists. The current firm's rows of PLN by account
// number, narrowed by a fragment of the account name; the chart form keeps them, and
// "&Выбрать" hands the highlighted row's number to the posting form. The two lists
// are one window; the table of their differences is ChartList.
#include <atomic>
#include <cstdint>

#include "app/patterns/controls.h"
#include "app/patterns/list.h"
#include "dictionary/declarations.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "platform/core/codepage.h"
#include "platform/framework/bind.h"
#include "platform/framework/casetables.h"
#include "platform/ui/window.h"
#include "review/chart.h"

namespace zelk::review {
namespace {

using app::Ctl;
using ui::Kind;

// What sets the two lists apart.
struct ChartList {
  const char* key;            // window definition
  const char* procedureName;  // for the error manager
  bool blankFragment;         // NAME_P blanked when the list opens, else kept from the last list
  bool fileLoaded;            // every row at once without a thumb step, else page by page with one
  bool defaultLineHeight;     // the list's line height set to the font's
  std::atomic<std::int32_t>& pick;  // written by "&Выбрать"
};

const ChartList kPlnTab{"ZELK$zelk008", "pln_tab", true, false, false, dict::PLN_AD};
const ChartList kPlnTab1{"ZELK$zelk014", "pln_tab1", false, true, true, dict::PLN_AK};

constexpr const char* kFormat = "85L(2)|M~Номер счета~C@s20@80L(2)|M~Наименование счета~C@s100@";

ui::WindowDef definition(const ChartList& list) {
  ui::WindowDef d;
  d.key = list.key;
  d.label = "QUICKWINDOW";
  d.title = ansi("Фрагмент плана счетов для корреспонденции с расчетным счетом");
  d.at = {ui::kDefaultPosition, ui::kDefaultPosition, 336, 234};
  d.resizable = true;
  auto onTab = [](Ctl c) { return std::move(c.parent("?TAB:2")); };
  d.controls = {
      Ctl(Kind::List, "?BROWSE:1", {10, 64, 316, 118})
          .tip("Browsing the pln file")
          .attrs(ui::kImmediate | ui::kHScroll | ui::kVScroll)
          .format(kFormat),
      app::selectButton("&Выбрать", {10, 188, 50, 15}),
      app::viewButton("&Смотреть", {63, 188, 50, 15}),
      app::insertButton("&Добавить", {116, 188, 50, 15}),
      app::changeButton("&Изменить", {169, 188, 50, 15}),
      app::deleteButton("&Удалить", {222, 188, 50, 15}),
      Ctl(Kind::Sheet, "?SHEET1", {4, 18, 328, 192}),
      Ctl(Kind::Tab, "?TAB:2").parent("?SHEET1"),
      onTab(Ctl(Kind::Button, "?BUTTON9", {208, 45, 118, 14}).text("Сбросить результаты поиска")),
      onTab(Ctl(Kind::String, "?STRING1", {10, 34, 240, 10}).text("Поиск по фрагменту наименования(маленькие буквы):")),
      onTab(Ctl(Kind::Button, "?BUTTON8", {164, 45, 40, 14}).text("поиск")),
      onTab(Ctl(Kind::Entry, "?NAME_P", {10, 46, 150, 11}).picture("s50").use(ui::use(dict::NAME_P))),
      app::closeButton("&Закрыть", {282, 214, 50, 15}),
      Ctl(Kind::String, "?FIR", {42, 6, 16, 10}).picture("n3").use(ui::useNumber(dict::FIR)),
      Ctl(Kind::String, "?N_FIR_A", {62, 6, 200, 10}).picture("s50").use(ui::use(dict::N_FIR_A)),
      Ctl(Kind::String, "?STRING4", {8, 6, 32, 10}).text("Фирма №"),
      app::helpButton({228, 214, 50, 15}),
  };
  return d;
}

app::WindowSetup windowSetup(const ChartList& list) {
  app::WindowSetup s;
  s.procedureName = list.procedureName;
  s.files = {[]() -> fw::RelationManager* { return dict::Relate::PLN; }};
  s.resizer = app::WindowSetup::Resize{2, true, false};
  return s;
}

app::ListSetup listSetup(const ChartList& list) {
  app::ListSetup l = app::ListSetup::standardControls();
  l.fileLoaded = list.fileLoaded;
  l.defaultLineHeight = list.defaultLineHeight;
  l.relate = []() -> fw::RelationManager* { return dict::Relate::PLN; };
  l.file = []() -> storage::File& { return dict::PLN(); };
  l.key = dict::pln::KEY_2;
  if (!list.fileLoaded) {
    l.step = app::ListSetup::Step::String;
    l.stepControls = 1;
    l.stepMode = fw::StepStringClass::kRunTime;
  }
  l.locator = app::ListSetup::Locator::Incremental;
  l.locatorField = [] { return ui::use(dict::PLN().rec.NOMER); };
  l.locatorNoCase = true;
  l.filter = "(pln:fir=fir)";
  l.fields = {
      [] { return ui::use(dict::PLN().rec.NOMER); },
      [] { return ui::use(dict::PLN().rec.NAME); },
      [] { return ui::use(dict::NAME_P); },
      [] { return ui::use(dict::PLN().rec.KOD); },
  };
  l.updateForm = UPDATEPLN;
  return l;
}

// BRW1: a row shows when its name holds the fragment NAME_P.
class Brw1 : public app::ListBrowse {
 public:
  std::uint8_t ValidateRecord() override {
    const Text<50> fragment = dict::NAME_P.get();
    if (!fw::nameHasFragment(dict::PLN().rec.NAME.view(), fragment.view())) return fw::record::kFiltered;
    return app::ListBrowse::ValidateRecord();
  }
};

class ThisWindow : public app::ListPattern {
 public:
  ThisWindow(ui::Window& w, fw::BrowseClass& brw, const ChartList& list)
      : ListPattern(w, windowSetup(list), listSetup(list), brw),
        list_(list),
        select_(control("?SELECT:2")),
        find_(control("?BUTTON8")),
        resetFind_(control("?BUTTON9")) {}

  // The case tables are read from "qvt.env" before the first row is tested; once a
  // file has been loaded in the process they stay as they are.
  std::uint8_t Init() override {
    fw::loadCaseTables();
    return ListPattern::Init();
  }

  std::uint8_t TakeAccepted() override {
    const int f = field();
    // The record buffer holds the highlighted row, or a cleared record (0) with none.
    if (f == select_) list_.pick = dict::PLN().rec.KOD.get();
    if (f == find_) BRW1.ResetFromBuffer();
    if (f == resetFind_) {
      dict::NAME_P.clear();
      BRW1.ResetFromBuffer();
    }
    return ListPattern::TakeAccepted();
  }

 protected:
  void BindNames() override {
    fw::bindName("fir", {nullptr, nullptr, {}, [] { return static_cast<double>(dict::FIR.load()); }});
    fw::bindName("n_sc_b", {nullptr, nullptr, [] { return dict::N_SC_B.str(); }, {}});
    fw::bindName("name_p", {nullptr, nullptr, [] { return dict::NAME_P.str(); }, {}});
  }
  void DefineListBoxStyle() override {
    if (list_.blankFragment) dict::NAME_P.clear();
  }

 private:
  const ChartList& list_;
  const int select_, find_, resetFind_;
};

void chartList(const ChartList& list) {
  ui::Window window(definition(list));
  Brw1 brw;
  ThisWindow thisWindow(window, brw, list);
  app::respond(thisWindow);
}

}  // namespace

void PLN_TAB() { chartList(kPlnTab); }
void PLN_TAB1() { chartList(kPlnTab1); }

}  // namespace zelk::review
