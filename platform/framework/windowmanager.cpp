#include "platform/framework/windowmanager.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <utility>

#include "platform/core/text.h"
#include "platform/framework/bind.h"
#include "platform/framework/resize.h"
#include "platform/storage/file.h"
#include "platform/storage/sharelock.h"

namespace zelk::fw {

struct WindowManager::Lists {
  std::vector<WindowComponent*> components;
  std::vector<std::pair<int, std::uint8_t>> buttons;  // control, response
  WindowResizeClass* resizer = nullptr;
  bool scope = false;  // a scope of bound names is open
  bool openTaken = false;
  int sized = 0;
  bool closing = false;  // the close event was taken: the window closes after it
  // Forms.
  FileManager* updateFile = nullptr;
  int savedBuffer = 0;
  char* record = nullptr;
  char* history = nullptr;
  std::size_t historySize = 0;
  std::vector<std::pair<int, int>> historyFields;  // control, field number (1 for the first)
  std::vector<char> snapshot;                       // the record as the form started
};

namespace {

using ui::Event;

// A required control left blank: a text of blanks, a number or date of 0.
bool blank(const ui::Window& w, int ctl) {
  const ui::Use& u = w.control(ctl).use;
  if (!u) return trimRight(w.text(ctl)).empty();
  if (u.type == ui::Use::Type::Text) return trimRight(u.getText()).empty();
  return u.getNumber() == 0;
}

// The change's write: the storage code, with the wait cursor shown meanwhile.
int tryChange(ui::Window* w, FileManager& fm) {
  ui::WaitCursor wait(w);  // the arrow again on every way out
  return fm.TryUpdate();
}

// The delete of the current record, likewise. With no relations declared the
// relation manager's delete is its file manager's; it is split here so that the
// cursor is back before the file manager's message.
int tryDelete(ui::Window* w, FileManager& fm) {
  ui::WaitCursor wait(w);  // the arrow again on every way out
  if (fm.UseFile(kUseOpen) != kLevelOk) return storage::kFileNotOpen;
  return fm.File->erase();
}

// The level of a failed change: the file manager's message for a record another
// station changed (7) or a key value another record has (28), kNotify; any other
// failure kUser, for the form's question whether to try again.
std::uint8_t changeFailed(FileManager& fm, int code) {
  if (code == storage::kRecordChanged) {
    fm.Throw(msg::kConcurrency);
    return kNotify;
  }
  if (code == storage::kDuplicateKey) {
    fm.Throw(msg::kPutFailed);
    return kNotify;
  }
  globalErrorStatus().takeFileError();
  globalErrorStatus().file = fm.GetName();
  return kUser;
}

}  // namespace

WindowManager::Lists& WindowManager::lists() {
  if (!lists_) lists_ = std::make_shared<Lists>();
  return *lists_;
}

// Hooks.

std::uint8_t WindowManager::Init() {
  lists_ = std::make_shared<Lists>();
  Response = response::kNone;
  Opened = false;
  Dead = false;
  FilesOpened = false;
  ForcedReset = 0;
  acceptAll_ = false;
  pushBindScope();
  lists_->scope = true;
  return kLevelOk;
}

std::uint8_t WindowManager::Kill() {
  if (Dead) return kNotify;
  Dead = true;
  acceptAll_ = false;
  if (lists_) {
    Lists& l = *lists_;
    std::vector<WindowComponent*> components = std::move(l.components);
    l.components.clear();
    for (WindowComponent* c : components) c->Kill();
    if (l.updateFile && l.savedBuffer) l.updateFile->RestoreBuffer(l.savedBuffer, false);
    l.savedBuffer = 0;
    l.snapshot.clear();
    if (l.resizer) l.resizer->Kill();
    l.resizer = nullptr;
    if (l.scope) popBindScope();
    l.scope = false;
  }
  if (window_) window_->close();
  return kLevelOk;
}

void WindowManager::Reset(bool force) {
  if (acceptAll_) return;
  bool f = force || ForcedReset != 0;
  ForcedReset = 0;
  if (lists_) {
    std::vector<WindowComponent*> components = lists_->components;
    for (WindowComponent* c : components) c->Reset(f);
    for (WindowComponent* c : components) c->UpdateWindow();
  }
  if (!window_) return;
  for (int n = window_->first(); n <= window_->last(); ++n)
    if (n != 0 && window_->control(n).use) window_->display(n);
}

std::uint8_t WindowManager::Run() {
  if (Init() == kLevelOk) Ask();
  Kill();
  return Response != response::kNone ? Response : response::kCancelled;
}

std::uint8_t WindowManager::Run(std::uint16_t number, std::uint8_t req) {
  (void)number;
  (void)req;
  return response::kCancelled;
}

void WindowManager::Ask() {
  if (Dead || !window_) return;
  while (window_->isOpen()) {
    event_ = window_->wait();
    // Each event is an action of the user of its own; the window's opening goes on
    // with the action that called the window.
    storage::BusyAction action(event_.event == Event::OpenWindow ? storage::BusyAction::Begin::Within
                                                                 : storage::BusyAction::Begin::Afresh);
    TakeEvent();
    if (!window_->isOpen()) break;
    bool reset = false;
    if (lists_) {
      std::vector<WindowComponent*> components = lists_->components;
      for (WindowComponent* c : components) reset = c->ResetRequired() || reset;
    }
    if (reset) Reset(false);
  }
}

std::uint8_t WindowManager::TakeEvent() {
  std::uint8_t r = kLevelOk;
  switch (event_.event) {
    case Event::Accepted:
      r = TakeAccepted();
      break;
    case Event::Selected:
      r = TakeSelected();
      break;
    case Event::NewSelection:
      r = TakeNewSelection();
      break;
    case Event::Completed:
      acceptAll_ = false;
      r = TakeCompleted();
      break;
    case Event::CloseWindow:
      r = TakeCloseEvent();
      break;
    case Event::AlertKey:
      if (HistoryKey != 0 && event_.key == HistoryKey)
        RestoreField(event_.control != 0 ? event_.control : (window_ ? window_->focus() : 0));
      break;
    default:
      r = TakeWindowEvent();
      break;
  }
  Lists& l = lists();
  if (r == kLevelOk) {
    std::vector<WindowComponent*> components = l.components;
    for (WindowComponent* c : components)
      if (c->TakeEvent(event_) != kLevelOk) break;
  }
  if (l.closing) {
    l.closing = false;
    acceptAll_ = false;
    if (window_) window_->close();
  }
  return r;
}

std::uint8_t WindowManager::TakeWindowEvent() {
  Lists& l = lists();
  switch (event_.event) {
    case Event::OpenWindow:
      if (!l.openTaken) {
        l.openTaken = true;
        Reset(false);
        if (window_ && FirstField != 0) window_->select(FirstField);
      }
      break;
    case Event::GainFocus:
      Reset(false);
      break;
    case Event::Sized:
      // The first one comes with opening.
      if (l.resizer) l.resizer->Resize();
      if (++l.sized > 1) Reset(false);
      break;
    default:
      break;
  }
  return kLevelOk;
}

std::uint8_t WindowManager::TakeCloseEvent() {
  // A form closed without completing is cancelled; an insert gives its reserved
  // number back first, and stays open when it cannot.
  if (Primary && Response != response::kCompleted) {
    if (Request == request::kInsert && Primary->CancelAutoInc() != kLevelOk) {
      if (window_) window_->select(FirstField);
      return kNotify;
    }
    Response = response::kCancelled;
  }
  lists().closing = true;
  return kLevelOk;
}

std::uint8_t WindowManager::TakeAccepted() {
  int c = field();
  // The standard actions that menu items and buttons carry.
  if (window_ && c != 0 && window_->exists(c)) {
    switch (window_->control(c).action) {
      case ui::StdAction::Close:
        PostClose();
        return kLevelOk;
      case ui::StdAction::PrintSetup:
        ui::backend().printerSetup(*window_);
        return kLevelOk;
      case ui::StdAction::None:
        break;
    }
  }
  for (const auto& [control, resp] : lists().buttons) {
    if (control == c) {
      Response = resp;
      PostClose();
      return kLevelOk;
    }
  }
  if (OkControl != 0 && c == OkControl && !acceptAll_) {
    switch (Request) {
      case request::kInsert:
      case request::kChange:
        if (AcceptAllControls() == kLevelOk) PostCompleted();
        break;
      case request::kDelete:
        PostCompleted();
        break;
      default:
        break;
    }
  }
  return kLevelOk;
}

// The accept-all check of a completion: every entry and option box in turn is taken
// into its variable and handed to TakeAccepted; a refused text, a non-zero level or
// a required entry left blank stops it with the focus there. On success the state
// lasts until the completion event is taken.
std::uint8_t WindowManager::AcceptAllControls() {
  if (!window_) return kLevelOk;
  acceptAll_ = true;
  window_->display();
  for (int n = 1; n <= window_->last(); ++n) {
    ui::Kind k = window_->control(n).kind;
    if (k != ui::Kind::Entry && k != ui::Kind::Option) continue;
    if (window_->hidden(n) || window_->disabled(n)) continue;
    std::uint8_t r = kLevelOk;
    if (!window_->update(n)) {
      ui::backend().beep();
      window_->display(n);
      r = kNotify;
    } else {
      ui::EventRec saved = event_;
      event_ = ui::EventRec{Event::Accepted, n};
      r = TakeAccepted();
      event_ = saved;
      if (r == kLevelOk && (window_->control(n).attrs & ui::kRequired) && blank(*window_, n)) r = kNotify;
    }
    if (r != kLevelOk) {
      acceptAll_ = false;
      window_->select(n);
      return r;
    }
  }
  return kLevelOk;
}

std::uint8_t WindowManager::TakeSelected() { return kLevelOk; }

std::uint8_t WindowManager::TakeNewSelection() {
  if (window_ && window_->control(field()).kind == ui::Kind::Sheet) Reset(false);
  return kLevelOk;
}

std::uint8_t WindowManager::TakeCompleted() {
  Lists& l = lists();
  // The history copy takes the record only once it is written: a refused OK leaves
  // it as it was.
  std::vector<char> record;
  auto completed = [this, &l, &record] {
    if (!record.empty()) std::memcpy(l.history, record.data(), record.size());
    Response = response::kCompleted;
    PostClose();
    return kLevelOk;
  };
  auto stay = [this]() -> std::uint8_t {
    if (window_) {
      window_->display();
      window_->select(FirstField);
    }
    return kNotify;
  };
  FileManager* fm = Primary && Primary->Me ? Primary->Me : l.updateFile;
  if (!Primary || !fm) return completed();
  if (l.record && l.history) record.assign(l.record, l.record + l.historySize);
  ErrorClass& errors = Errors ? *Errors : globalErrors();
  // A write tried until attempt answers a level: each failure it answers none for
  // asks question; Yes tries again, No closes the form unwritten, Cancel keeps it open.
  auto retried = [&](std::uint16_t question,
                     const std::function<std::optional<std::uint8_t>()>& attempt) -> std::uint8_t {
    for (;;) {
      if (const std::optional<std::uint8_t> r = attempt()) return *r;
      const unsigned b = errors.Message(question, kButtonYes | kButtonNo | kButtonCancel, kButtonCancel);
      if (b == kButtonYes) continue;
      if (b == kButtonNo) {
        PostClose();
        return std::uint8_t{kNotify};
      }
      return stay();
    }
  };

  switch (Request) {
    case request::kInsert:
      if (fm->Insert() == kLevelOk) return completed();
      return stay();

    case request::kChange:
      if (!l.snapshot.empty() && l.snapshot.size() == fm->File->decl().recordSize &&
          std::memcmp(fm->Buffer, l.snapshot.data(), l.snapshot.size()) == 0)
        return completed();  // nothing to write
      return retried(msg::kRetryUpdate, [&]() -> std::optional<std::uint8_t> {
        const int code = tryChange(window_, *fm);
        if (code == storage::kNoError) return completed();
        if (changeFailed(*fm, code) != kUser) return stay();
        return std::nullopt;
      });

    case request::kDelete:
      return retried(msg::kRetryDelete, [&]() -> std::optional<std::uint8_t> {
        if (tryDelete(window_, *fm) == storage::kNoError) return completed();
        fm->Throw(msg::kDeleteFailed);
        return std::nullopt;
      });

    default:
      return completed();
  }
}

// Operations.

void WindowManager::AddItem(int control, std::uint8_t resp) { lists().buttons.emplace_back(control, resp); }

void WindowManager::AddItem(WindowResizeClass& r) {
  lists().resizer = &r;
  if (window_) r.attach(*window_);
}

void WindowManager::AddItem(WindowComponent& c) {
  auto& v = lists().components;
  if (std::find(v.begin(), v.end(), &c) == v.end()) v.push_back(&c);
}

void WindowManager::RemoveItem(WindowComponent& c) {
  auto& v = lists().components;
  v.erase(std::remove(v.begin(), v.end(), &c), v.end());
}

void WindowManager::Open(ui::Window& w) {
  window_ = &w;
  if (lists().resizer) lists().resizer->attach(w);
  w.open();
  Opened = true;
}

void WindowManager::SetAlerts() {
  Lists& l = lists();
  if (window_ && HistoryKey != 0 && !l.historyFields.empty()) window_->alert(HistoryKey);
  std::vector<WindowComponent*> components = l.components;
  for (WindowComponent* c : components) c->SetAlerts();
}

void WindowManager::Update() {
  std::vector<WindowComponent*> components = lists().components;
  for (WindowComponent* c : components) c->Update();
}

void WindowManager::PostCompleted() {
  if (window_) window_->post(Event::Completed);
}

void WindowManager::PostClose() {
  if (window_) window_->post(Event::CloseWindow);
}

// Forms.

void WindowManager::AddUpdateFile(FileManager* fm) {
  Lists& l = lists();
  l.updateFile = fm;
  l.savedBuffer = fm && fm->File && fm->Buffer ? fm->SaveBuffer() : 0;
}

void WindowManager::AddHistoryFile(char* record, char* history, std::size_t size) {
  Lists& l = lists();
  l.record = record;
  l.history = history;
  l.historySize = size;
}

void WindowManager::AddHistoryField(int control, int fieldNumber) {
  lists().historyFields.emplace_back(control, fieldNumber);
}

std::uint8_t WindowManager::PrimeUpdate() {
  Lists& l = lists();
  FileManager* fm = Primary && Primary->Me ? Primary->Me : l.updateFile;
  if (!fm || !fm->File || !fm->Buffer) return kLevelOk;
  fm->UseFile(kUseOpen);
  if (Request == request::kChange) {
    // The record is read again, watched: writing it fails when another station
    // changes it meanwhile. A record no longer there opens no form.
    std::string at = fm->File->position();
    if (!at.empty()) {
      int id = fm->SaveBuffer();
      fm->File->watch();
      const std::uint8_t read = fm->Reget(at);
      fm->RestoreBuffer(id, read != kLevelOk);
      if (read != kLevelOk) return kNotify;
    }
  }
  l.snapshot.assign(fm->Buffer, fm->Buffer + fm->File->decl().recordSize);
  return kLevelOk;
}

void WindowManager::RestoreField(int control) {
  Lists& l = lists();
  if (!l.record || !l.history || !window_) return;
  FileManager* fm = l.updateFile ? l.updateFile : (Primary ? Primary->Me : nullptr);
  if (!fm || !fm->File) return;
  const auto& fields = fm->File->decl().fields;
  for (const auto& [ctl, number] : l.historyFields) {
    if (ctl != control || number < 1 || static_cast<std::size_t>(number) > fields.size()) continue;
    const storage::FieldDesc& f = fields[static_cast<std::size_t>(number) - 1];
    if (f.offset + f.size > l.historySize) return;
    std::memcpy(l.record + f.offset, l.history + f.offset, f.size);
    window_->display(control);
    return;
  }
}

}  // namespace zelk::fw
