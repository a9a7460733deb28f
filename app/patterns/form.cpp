#include "app/patterns/form.h"

#include <stdexcept>
#include <string>

#include "platform/core/codepage.h"
#include "platform/storage/file.h"

namespace zelk::app {
namespace {

namespace request = fw::request;

constexpr std::size_t kActionMessageSize = 39;

// The number of the record's field called name (1 for the first); a name the record
// (or a form without a file) lacks throws.
int fieldNumber(const ui::Window& window, const storage::FileDecl* d, std::string_view name) {
  if (d)
    for (std::size_t i = 0; i < d->fields.size(); ++i)
      if (d->fields[i].name == name) return static_cast<int>(i) + 1;
  throw std::logic_error("form " + window.def().key + " has no field " + std::string(name));
}

}  // namespace

Ctl okButton(ui::Rect at) {
  return Ctl(ui::Kind::Button, "?OK", at).text("&OK").tip("Accept data and close the window").icon("WAOK.ICO");
}

Ctl cancelButton(ui::Rect at) {
  return Ctl(ui::Kind::Button, "?CANCEL", at).text("&Закрыть").tip("Cancel operation").icon("WACANCEL.ICO");
}

WindowSetup formWindowSetup(std::string procedureName, std::vector<RelateOf> files, ControlName firstField) {
  WindowSetup s;
  s.procedureName = std::move(procedureName);
  s.files = std::move(files);
  s.firstField = std::move(firstField);
  s.resizer = WindowSetup::Resize{2, true, false};
  s.buttons = {{"?CANCEL", fw::response::kCancelled}};
  return s;
}

FormPattern::FormPattern(ui::Window& window, WindowSetup setup, FormSetup form)
    : WindowPattern(window, std::move(setup)), form_(std::move(form)) {
  form_.okControl.resolve(window);
  for (ControlName& c : form_.readOnlyInView) c.resolve(window);
  fw::FileManager* fm = form_.access ? form_.access() : nullptr;
  const storage::FileDecl* d = fm && fm->File ? &fm->File->decl() : nullptr;
  for (auto& [control, name] : form_.historyFields) {
    control.resolve(window);
    historyFields_.emplace_back(control.number(), fieldNumber(window, d, name));
  }
  // The form's first call on this thread clears its history copy.
  if (!form_.history || !d) return;
  HistoryCopy& h = form_.history();
  if (h.started) return;
  h.record.assign(d->recordSize, 0);
  storage::clearRecord(*d, h.record.data());
  h.started = true;
}

void FormPattern::RegisterItems() {
  HistoryKey = ui::key::kCtrlH;
  fw::FileManager* fm = form_.access ? form_.access() : nullptr;
  if (form_.history && fm) {
    HistoryCopy& h = form_.history();
    AddHistoryFile(fm->Buffer, h.record.data(), h.record.size());
  }
  for (const auto& [control, field] : historyFields_) AddHistoryField(control, field);
  if (fm) AddUpdateFile(fm);
}

std::uint8_t FormPattern::PrepareRecord() {
  Primary = form_.relate ? form_.relate() : nullptr;
  if (Request == request::kView) {
    OkControl = 0;
    return 0;
  }
  OkControl = form_.okControl.number();
  if (PrimeUpdate() != 0) return fw::kNotify;
  return 0;
}

void FormPattern::AfterOpen() {
  if (Request != request::kView) return;
  ui::Window& w = win();
  if (!form_.readOnlyInView.empty()) {
    for (const ControlName& c : form_.readOnlyInView) w.setReadOnly(c.number(), true);
    return;
  }
  for (int n = 1; n <= w.last(); ++n)
    if (w.control(n).kind == ui::Kind::Entry) w.setReadOnly(n, true);
}

void FormPattern::Ask() {
  switch (Request) {
    case request::kView: ActionMessage = form_.viewTitle; break;
    case request::kInsert: ActionMessage = ansi("Добавить ???"); break;
    case request::kChange: ActionMessage = ansi("Изменить ???"); break;
    case request::kDelete: ActionMessage = ansi("Удалить ???"); break;
    default: ActionMessage.clear(); break;
  }
  if (ActionMessage.size() > kActionMessageSize) ActionMessage.resize(kActionMessageSize);
  win().setTitle(ActionMessage);
  WindowPattern::Ask();
}

std::uint8_t FormPattern::Run() {
  std::uint8_t r = WindowPattern::Run();
  return Request == request::kView ? fw::response::kCancelled : r;
}

std::uint8_t FormPattern::TakeAccepted() {
  std::uint8_t r = WindowPattern::TakeAccepted();
  if (form_.okControl.number() != 0 && field() == form_.okControl.number()) {
    Update();
    if (Request == request::kView) PostClose();
  }
  return r;
}

}  // namespace zelk::app
