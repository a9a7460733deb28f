#include "app/patterns/window.h"

#include <stdexcept>

#include "app/patterns/procedures.h"
#include "dictionary/globals.h"
#include "platform/core/codepage.h"
#include "platform/framework/errors.h"
#include "platform/framework/ini.h"

namespace zelk::app {

void ControlName::resolve(const ui::Window& window) {
  if (name_.empty()) return;
  number_ = window.number(ansi(name_));
  if (number_ == 0) throw std::logic_error("window " + window.def().key + " has no control " + name_);
}

WindowPattern::WindowPattern(ui::Window& window, WindowSetup setup) : window_(window), setup_(std::move(setup)) {
  setup_.firstField.resolve(window_);
  for (auto& button : setup_.buttons) button.first.resolve(window_);
}

int WindowPattern::control(std::string_view name) const {
  ControlName c{std::string(name)};
  c.resolve(window_);
  return c.number();
}

void WindowPattern::RegisterButtons() {
  for (const auto& [control, resp] : setup_.buttons) AddItem(control.number(), resp);
}

std::uint8_t WindowPattern::Init() {
  fw::globalErrors().SetProcedureName(setup_.procedureName);
  Request = dict::GLOBALREQUEST;
  if (std::uint8_t r = fw::WindowManager::Init(); r != 0) return r;
  FirstField = setup_.firstField.number() != 0 ? setup_.firstField.number() : 1;
  VCRRequest = &dict::VCRREQUEST;
  Errors = &fw::globalErrors();
  dict::GLOBALREQUEST = 0;
  dict::GLOBALRESPONSE = 0;
  BindNames();
  RegisterItems();
  RegisterButtons();
  // A file that stays busy ends the opening: the files opened so far are given back.
  for (std::size_t i = 0; i < setup_.files.size(); ++i) {
    fw::RelationManager* r = setup_.files[i]();
    if (!r) continue;
    if (std::uint8_t level = r->Open(); level != 0) {
      closeFiles(i + 1);
      return level;
    }
  }
  FilesOpened = true;
  if (std::uint8_t r = PrepareRecord(); r != 0) return r;
  InitLists();
  Open(window_);
  DefineListBoxStyle();
  AfterOpen();
  SetupLists();
  if (setup_.resizer) {
    Resizer.Init(setup_.resizer->strategy, setup_.resizer->minimumSize, setup_.resizer->maximumSize);
    Resizer.SetParentDefaults();
    AddItem(Resizer);
  }
  AfterResizer();
  if (!setup_.iniSection.empty()) {
    fw::globalIni().Fetch(setup_.iniSection, window_);
    // The controls laid out at once for the restored size.
    if (setup_.resizer) Resizer.Resize();
  }
  SetAlerts();
  return 0;
}

std::uint8_t WindowPattern::Kill() {
  // The look-ups started from the window close with it, before it goes.
  if (!Dead) endProceduresStartedFrom(window_.serial());
  if (std::uint8_t r = fw::WindowManager::Kill(); r != 0) return r;
  if (FilesOpened) closeFiles(setup_.files.size());
  if (!setup_.iniSection.empty() && Opened) fw::globalIni().Update(setup_.iniSection, window_);
  fw::globalErrors().SetProcedureName();
  return 0;
}

void WindowPattern::Reset(bool force) {
  ForcedReset += force ? 1 : 0;
  if (AcceptingAll()) return;
  RefreshValues();
  fw::WindowManager::Reset(force);
}

void WindowPattern::closeFiles(std::size_t count) {
  for (std::size_t i = 0; i < count && i < setup_.files.size(); ++i)
    if (fw::RelationManager* r = setup_.files[i]()) r->Close();
}

void respond(fw::WindowManager& thisWindow) { dict::GLOBALRESPONSE = thisWindow.Run(); }

}  // namespace zelk::app
