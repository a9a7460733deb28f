// KLIENTRFK: the RFK payments-table import window. No file choice: the payments
// dated within the interval typed in the window are taken.
#include <utility>

#include "app/patterns/controls.h"
#include "app/patterns/window.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "import/import_window.h"
#include "import/rfk.h"
#include "import/windows.h"
#include "platform/core/codepage.h"

namespace zelk::import {
namespace {

using app::Ctl;
using ui::Kind;

// D1 and D2 are the program's: the interval stays as typed last.
ui::WindowDef definition(ImportLocals& locals) {
  ui::WindowDef d;
  d.key = "ZELK$zelk018";
  d.label = "WINDOW";
  d.title = ansi("Предварительный импорт-Клиент-Банк РФК");
  d.icon = "QVT5.ICO";
  d.at = {10, 10, 268, 70};
  d.controls = {
      Ctl(Kind::String, "?STRING4", {8, 10, 92, 10}).text("Задайте интервал дат от:"),
      Ctl(Kind::Entry, "?D1", {102, 8, 52, 12}).picture("D6b").use(ui::useDate(dict::D1)),
      Ctl(Kind::String, "?STRING5", {160, 10, 14, 10}).text("до:"),
      Ctl(Kind::Entry, "?D2", {176, 8, 52, 12}).picture("D6b").use(ui::useDate(dict::D2)),
  };
  for (ui::ControlDef& c : runControls(locals, 28, false)) d.controls.push_back(std::move(c));
  return d;
}

ImportSetup rfkSetup() {
  ImportSetup s;
  s.window.procedureName = "klientrfk";
  s.window.files = {[]() -> fw::RelationManager* { return dict::Relate::SUBS_CLT; }};
  for (app::RelateOf f : postingFiles()) s.window.files.push_back(f);
  s.showResultAtOnce = true;
  s.run = [](std::string_view, const Accounts& accounts, const Progress& progress) {
    return runRfk(dict::D1, dict::D2, accounts, progress);
  };
  return s;
}

}  // namespace

void KLIENTRFK() {
  ImportLocals locals;
  ui::Window window(definition(locals));
  ImportWindow thisWindow(window, locals, rfkSetup());
  app::respond(thisWindow);
}

}  // namespace zelk::import
