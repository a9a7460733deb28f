#include "import/import_window.h"

#include <utility>

#include "app/patterns/controls.h"
#include "app/patterns/procedures.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "platform/core/codepage.h"

namespace zelk::import {

using app::Ctl;
using ui::Kind;

std::vector<ui::ControlDef> runControls(ImportLocals& locals, int y, bool startHidden) {
  return {
      Ctl(Kind::Button, "?BUTTON4", {8, y, 72, 14})
          .text("Запуск импорта")
          .attrs(startHidden ? std::uint32_t{ui::kHidden} : 0u),
      Ctl(Kind::String, "?MESSAGE", {86, y + 2, 124, 10}).picture("s30").use(ui::use(locals.message)),
      // Wide enough for the whole count a run can reach (32767).
      Ctl(Kind::String, "?NS", {214, y + 2, 30, 10}).picture("n_5b").use(ui::useNumber(locals.count)),
      Ctl(Kind::Button, "?OKBUTTON", {156, y + 20, 44, 14}).text("&OK").attrs(ui::kHidden),
      Ctl(Kind::Button, "?CANCELBUTTON", {208, y + 20, 52, 14}).text("&Закрыть"),
  };
}

ui::WindowDef statementWindow(std::string_view key, std::string_view titleUtf8, ImportLocals& locals) {
  ui::WindowDef d;
  d.key = key;
  d.label = "WINDOW";
  d.title = ansi(titleUtf8);
  d.icon = "QVT5.ICO";
  d.at = {10, 10, 268, 82};
  d.controls = {
      Ctl(Kind::String, "?STRING1", {8, 9, 140, 10}).text("Выбор файла с имортируемой выпиской:"),
      Ctl(Kind::Button, "?LOOKUPFILE", {152, 6, 50, 14}).text("Выбрать"),
      Ctl(Kind::String, "?PATHZELK", {8, 24, 252, 10}).picture("s60").use(ui::use(dict::PATHZELK)),
  };
  for (ui::ControlDef& c : runControls(locals, 40, true)) d.controls.push_back(std::move(c));
  return d;
}

std::vector<app::RelateOf> postingFiles() {
  return {[]() -> fw::RelationManager* { return dict::Relate::DBI; },
          []() -> fw::RelationManager* { return dict::Relate::LVO; },
          []() -> fw::RelationManager* { return dict::Relate::PRT; }};
}

ImportWindow::ImportWindow(ui::Window& window, ImportLocals& locals, ImportSetup setup)
    : WindowPattern(window, setup.window), locals_(locals), import_(std::move(setup)) {
  if (import_.fileChoice) lookup_ = control("?LOOKUPFILE");
  start_ = control("?BUTTON4");
  close_ = control("?CANCELBUTTON");
}

void ImportWindow::DefineListBoxStyle() {
  if (!import_.fileChoice) return;
  dict::PATHZELK.clear();
  statement_.clear();
}

void ImportWindow::AfterOpen() {
  if (!import_.fileChoice) return;
  FILELOOKUP1.Init();
  FILELOOKUP1.Flags |= fw::SelectFileClass::kClearOnCancel | fw::SelectFileClass::kLongName;
  FILELOOKUP1.SetMask("All Files", "*.txt");
}

std::uint8_t ImportWindow::TakeSelected() {
  const std::uint8_t r = WindowPattern::TakeSelected();
  if (field() == start_) locals_.message = ansi(kMessageRunning);
  return r;
}

std::uint8_t ImportWindow::TakeAccepted() {
  const int c = field();
  if (c == start_) runImport();
  const std::uint8_t r = WindowPattern::TakeAccepted();
  if (lookup_ != 0 && c == lookup_) {
    chooseFile();
  } else if (c == start_) {
    Update();
    app::procedure("DBI_TAB")();
    Reset(false);
  } else if (c == close_) {
    Update();
    PostClose();
  }
  return r;
}

// The whole run inside the button's event: the window only redraws meanwhile.
void ImportWindow::runImport() {
  const Progress progress = [this](std::int16_t n) {
    locals_.count = n;
    refresh();
  };
  const Accounts accounts{dict::N_SC_P.get(), dict::N_SC_B.get()};
  const ImportResult result = import_.run(statement_, accounts, progress);
  locals_.message = result.message;
  if (result.count) locals_.count = *result.count;
  if (import_.showResultAtOnce) refresh();
  if (result.failure) raiseFailure(*result.failure);
}

// Once pressed, the start button stays, whatever the dialog answers. The name is
// kept whole, so the run never opens another file whose name is a cut of it; the
// window shows its first 60 characters.
void ImportWindow::chooseFile() {
  Update();
  win().unhide(start_);
  statement_ = FILELOOKUP1.Ask(win());
  dict::PATHZELK = statement_;
  win().display();
}

void ImportWindow::refresh() {
  if (import_.redrawDirectly) win().display();
  else Reset(false);
}

}  // namespace zelk::import
