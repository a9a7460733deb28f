// FNM_TAB: the firm list, every firm of F_NAME in the order of its code, with the
// buttons that run the firm form and the select button that sets FIR.
#include "app/patterns/controls.h"
#include "app/patterns/list.h"
#include "dictionary/declarations.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "firms/firms.h"
#include "platform/core/codepage.h"
#include "platform/ui/window.h"

namespace zelk::firms {
namespace {

using app::Ctl;
using ui::Kind;

// The code column is a little wider than the name leaves it, so that its heading
// shows whole in the screen's font; the four columns keep their total width.
constexpr const char* kFormat =
    "20L(2)|M~Код~L(0)@n3@157L(2)|M~Имя фирмы~C@s50@80L(2)|M~Расчетный счет~C@s20@80L(2)|M~Путь к базам ЗЕЛК~C@s60@";

ui::WindowDef definition() {
  ui::WindowDef d;
  d.key = "ZELK$zelk006";
  d.label = "QUICKWINDOW";
  d.title = ansi("Настройка фирм для иморта");
  d.icon = "QVT5.ICO";
  d.at = {ui::kDefaultPosition, ui::kDefaultPosition, 358, 188};
  d.resizable = true;
  d.controls = {
      Ctl(Kind::List, "?BROWSE:1", {8, 20, 342, 122})
          .tip("Browsing the f_name file")
          .attrs(ui::kImmediate | ui::kVScroll)
          .format(kFormat),
      app::selectButton("&Выбрать", {88, 146, 50, 15}),
      app::viewButton("&Смотреть", {141, 146, 50, 15}),
      app::insertButton("&Добавить", {194, 146, 50, 15}),
      app::changeButton("&Изменить", {247, 146, 50, 15}),
      app::deleteButton("&Удалить", {300, 146, 50, 15}),
      Ctl(Kind::Sheet, "?CURRENTTAB", {4, 4, 350, 162}),
      Ctl(Kind::Tab, "?TAB:2").parent("?CURRENTTAB"),
      app::closeButton("&Закрыть", {300, 170, 50, 15}),
      app::helpButton({246, 170, 50, 15}),
  };
  return d;
}

app::WindowSetup windowSetup() {
  app::WindowSetup s;
  s.procedureName = "fnm_tab";
  s.files = {[]() -> fw::RelationManager* { return dict::Relate::F_NAME; }};
  s.resizer = app::WindowSetup::Resize{2, true, false};
  return s;
}

app::ListSetup listSetup() {
  app::ListSetup l = app::ListSetup::standardControls();
  l.relate = []() -> fw::RelationManager* { return dict::Relate::F_NAME; };
  l.file = []() -> storage::File& { return dict::F_NAME(); };
  l.key = dict::fnm::KEY_1;
  l.step = app::ListSetup::Step::Long;
  l.stepControls = 1;
  l.locator = app::ListSetup::Locator::Step;
  l.locatorField = [] { return ui::use(dict::F_NAME().rec.KOD); };
  l.locatorNoCase = true;
  l.fields = {
      [] { return ui::use(dict::F_NAME().rec.KOD); },
      [] { return ui::use(dict::F_NAME().rec.NAME); },
      [] { return ui::use(dict::F_NAME().rec.SCH_B); },
      [] { return ui::use(dict::F_NAME().rec.PATH); },
  };
  l.updateForm = UPDATEF_NAME;
  return l;
}

class ThisWindow : public app::ListPattern {
 public:
  ThisWindow(ui::Window& w, fw::BrowseClass& brw) : ListPattern(w, windowSetup(), listSetup(), brw) {}

  // The highlighted firm (the record buffer follows the highlight; with no rows it
  // is cleared, so the code is 0) becomes FIR before the list closes.
  std::uint8_t TakeAccepted() override {
    if (field() == list().selectControl.number()) dict::FIR = dict::F_NAME().rec.KOD.get();
    return ListPattern::TakeAccepted();
  }
};

}  // namespace

void FNM_TAB() {
  ui::Window window(definition());
  app::ListBrowse brw;
  ThisWindow thisWindow(window, brw);
  app::respond(thisWindow);
}

}  // namespace zelk::firms
