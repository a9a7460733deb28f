#pragma once
// The form pattern: a window procedure showing one record of one file for a request
// (insert, change, delete, view). On top of the window pattern: the history copy and
// its key, the update file, the OK button per request, PrimeUpdate, view mode's
// read-only entries, the title from the request and view mode's cancelled answer.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/patterns/controls.h"
#include "app/patterns/window.h"

namespace zelk::app {

// The history copy of a form's record: one per form and thread, which the form
// keeps in a function of its own (thread_local). The form's first call on a thread
// clears it (blank texts, zero numbers); from then on it holds the record as it was
// when OK was last pressed in that form on that thread.
struct HistoryCopy {
  std::vector<char> record;
  bool started = false;
};

// A form's own history copy: one per form type and thread. A form names itself,
// e.g. `f.history = app::historyOf<ThisWindow>;`.
template <class Form>
HistoryCopy& historyOf() {
  thread_local HistoryCopy h;
  return h;
}

// The form's accept and cancel buttons at their places.
Ctl okButton(ui::Rect at);
Ctl cancelButton(ui::Rect at);

// The window settings every form shares: the resizer, and ?CANCEL answering cancelled.
WindowSetup formWindowSetup(std::string procedureName, std::vector<RelateOf> files, ControlName firstField);

// What sets one form apart from another.
struct FormSetup {
  fw::FileManager* (*access)() = nullptr;   // the form's file manager (Access::X)
  fw::RelationManager* (*relate)() = nullptr;  // Primary (Relate::X)
  HistoryCopy& (*history)() = nullptr;      // the thread's history copy of the form
  // The entries Ctrl+H restores from the history copy: a control and the field of the
  // form's record it shows, by name ({"?PLN:NOMER", "NOMER"}). Resolved when the form
  // is built; a field the record lacks stops there (std::logic_error naming it).
  std::vector<std::pair<ControlName, std::string>> historyFields;
  ControlName okControl;
  std::string viewTitle;                    // 1251
  std::vector<ControlName> readOnlyInView;  // entries read-only in view mode; empty: every entry
};

class FormPattern : public WindowPattern {
 public:
  // The cancel button goes among setup's buttons, with cancelled.
  FormPattern(ui::Window& window, WindowSetup setup, FormSetup form);

  // The title from the request, then the event loop.
  void Ask() override;
  // View mode answers cancelled, whatever the window answered.
  std::uint8_t Run() override;
  // The framework's handling first (OK starts the completion in the edit modes);
  // then for OK: Update, and in view mode the close event.
  std::uint8_t TakeAccepted() override;

  const FormSetup& form() const { return form_; }
  std::string ActionMessage;  // the title of the request, at most 39 characters

 protected:
  void RegisterItems() override;
  std::uint8_t PrepareRecord() override;
  void AfterOpen() override;

 private:
  FormSetup form_;
  std::vector<std::pair<int, int>> historyFields_;  // control, field number (1 for the first)
};

}  // namespace zelk::app
