#include "platform/framework/browse.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

#include "platform/core/numtext.h"
#include "platform/core/picture.h"
#include "platform/core/text.h"
#include "platform/framework/locator.h"
#include "platform/framework/step.h"

namespace zelk::fw {
namespace {

}  // namespace

BrowseClass::~BrowseClass() = default;

void BrowseClass::Init(int listControl, storage::File& view, ListQueue& queue, RelationManager& relation,
                       WindowManager& window) {
  ListControl = listControl;
  queue_ = &queue;
  queue.clearColumns();
  for (const ui::Use& u : pairs_) queue.addColumn(u.type == ui::Use::Type::Text, u.width);
  manager_ = &window;
  ViewManager::Init(view, relation);
  Selecting = window.Request == request::kSelect;
  loaded_ = false;
  killed_ = false;
  rowsChanged_ = true;
  choice_ = -1;
  window.AddItem(*this);
}

void BrowseClass::Kill() {
  if (killed_) return;
  killed_ = true;
  ViewManager::Kill();
  locator_ = nullptr;
  step_ = nullptr;
}

void BrowseClass::AddSortOrder(StepClass* step, int key) {
  SetOrder(key);
  step_ = key == kRecordOrder ? nullptr : step;
  if (step_) {
    const storage::KeyDecl& k = View->decl().keys[static_cast<std::size_t>(key)];
    if (!k.components.empty())
      step_->bind(View->decl().fields[static_cast<std::size_t>(k.components[0].field)],
                  (k.attrs & storage::kNoCase) != 0);
  }
  loaded_ = false;
}

void BrowseClass::AddLocator(LocatorClass& locator) { locator_ = &locator; }

void BrowseClass::AddField(ui::Use source) {
  if (queue_) queue_->addColumn(source.type == ui::Use::Type::Text, source.width);
  pairs_.push_back(std::move(source));
}

void BrowseClass::copySources(ListQueue::Row& row) const {
  row.values.resize(queue_->rowSize());
  for (std::size_t i = 0; i < pairs_.size(); ++i) {
    const ui::Use& u = pairs_[i];
    if (u.type == ui::Use::Type::Text) queue_->setText(row, i, u.getText());
    else if (u) queue_->setNumber(row, i, u.getNumber());
  }
}

void BrowseClass::SetQueueRecord() {
  if (queue_) copySources(record_);
}

int BrowseClass::pageSize() const {
  ui::Window* w = window();
  return std::max(1, w ? w->visibleRows(ListControl) : 1);
}

int BrowseClass::readRows(std::vector<ListQueue::Row>& out, Direction d, int max, const std::string& skip,
                          std::vector<std::size_t>* changed) {
  int n = 0;
  bool first = true;
  ListQueue::Row row;
  while (max < 0 || n < max) {
    if (const std::uint8_t r = d == Direction::Forward ? Next() : Previous(); r != kLevelOk) {
      if (r == kFatal) readFailed_ = true;
      (d == Direction::Forward ? atBottom_ : atTop_) = true;
      break;
    }
    std::string pos = Position();
    if (first && !skip.empty() && pos == skip) {
      first = false;
      continue;
    }
    first = false;
    row.values.clear();  // a row read anew: no value left from the row this one held
    copySources(row);
    row.position = std::move(pos);
    row.thumb = step_ ? step_->GetPercentile(View->buffer()) : 0;
    const auto at = static_cast<std::size_t>(n);
    if (!changed || at >= out.size()) {
      if (changed) changed->push_back(at);
      out.push_back(std::move(row));
    } else if (out[at] != row) {
      changed->push_back(at);
      std::swap(out[at], row);
    }
    ++n;
  }
  if (changed) out.resize(static_cast<std::size_t>(n));
  return n;
}

void BrowseClass::setLimits() {
  if (!step_ || Order() == kRecordOrder) return;
  FileManager* fm = access();
  std::size_t size = View->decl().recordSize;
  std::vector<char> first(size), last(size);
  auto edge = [&](bool forward, std::vector<char>& into) {
    if (View->set(Order()) != 0) return false;
    int r = fm ? (forward ? fm->TryNext() : fm->TryPrevious()) : (forward ? View->next() : View->previous());
    if (r != 0) return false;
    ++Reads;
    std::memcpy(into.data(), View->buffer(), size);
    return true;
  };
  if (edge(true, first) && edge(false, last)) step_->SetLimit(first.data(), last.data());
}

std::string BrowseClass::locate(Anchor a, const std::string& position) {
  std::uint8_t r;
  if (a == Anchor::Buffer) {
    r = ResetToBuffer();
  } else {
    // The row's own record while it is there and still a row of the view; else the
    // first row after the place where it stood.
    if (RegetAt(position) == kLevelOk) return Position();
    r = ResetAt(position);
    if (r != kLevelOk) r = Reset();  // a position the file no longer knows: from the start
  }
  if (r == kLevelOk) r = Next();
  if (r == kFatal) readFailed_ = true;
  if (r != kLevelOk) return {};
  return Position();
}

void BrowseClass::readPage(const std::string& start) {
  auto& rows = queue_->rows;
  int page = pageSize();
  if (ResetAt(start) == kLevelOk) readRows(rows, Direction::Forward, page, {});
  choice_ = 0;
  if (static_cast<int>(rows.size()) < page) {
    std::vector<ListQueue::Row> before;
    std::string edge = rows.empty() ? start : rows.front().position;
    if (ResetAt(edge) == kLevelOk)
      readRows(before, Direction::Backward, page - static_cast<int>(rows.size()), rows.empty() ? std::string() : edge);
    std::reverse(before.begin(), before.end());
    choice_ = static_cast<int>(before.size());
    rows.insert(rows.begin(), std::make_move_iterator(before.begin()), std::make_move_iterator(before.end()));
  }
  if (rows.empty()) choice_ = -1;
  else choice_ = std::min(choice_, static_cast<int>(rows.size()) - 1);
}

void BrowseClass::refill(Anchor a, std::string position) {
  ui::Window* w = window();
  if (!w || !queue_ || killed_) return;
  ui::WaitCursor wait(w);  // the reading and ResetFromView's work
  prepareFilter();
  readFailed_ = false;
  std::string start;
  if (a == Anchor::Position || a == Anchor::Buffer) {
    start = locate(a, position);
    if (start.empty()) a = Anchor::Bottom;  // nothing at or after it: the last rows
  }
  setLimits();
  auto& rows = queue_->rows;
  // The whole view read again over the rows the window shows as they are: only the
  // rows that differ are formatted and passed on.
  const bool over = FileLoaded && !rowsChanged_;
  changedRows_.clear();
  rowsReread_ = over;
  if (!over) {
    rows.clear();
    rowsChanged_ = true;
  }
  choice_ = -1;
  atTop_ = atBottom_ = false;
  if (FileLoaded) {
    atTop_ = true;
    rows.reserve(static_cast<std::size_t>(View->records()));
    const bool hint = QuickScan && Primary;
    if (hint) Primary->SetQuickScan(true);
    const std::uint8_t r = Reset();
    if (r == kLevelOk) readRows(rows, Direction::Forward, -1, {}, over ? &changedRows_ : nullptr);
    else rows.clear();
    if (r == kFatal) readFailed_ = true;
    if (hint) Primary->SetQuickScan(false);
    atBottom_ = true;
    if (!rows.empty()) {
      int last = static_cast<int>(rows.size()) - 1;
      choice_ = a == Anchor::Bottom ? last : a == Anchor::Top ? 0 : std::max(0, findRow(start));
    }
  } else if (a == Anchor::Top || a == Anchor::Bottom) {
    bool forward = a == Anchor::Top;
    (forward ? atTop_ : atBottom_) = true;
    if (const std::uint8_t r = Reset(); r == kLevelOk)
      readRows(rows, forward ? Direction::Forward : Direction::Backward, pageSize(), {});
    else if (r == kFatal) readFailed_ = true;
    if (!forward) std::reverse(rows.begin(), rows.end());
    if (!rows.empty()) choice_ = forward ? 0 : static_cast<int>(rows.size()) - 1;
  } else {
    readPage(start);
  }
  loaded_ = true;
  if (readFailed_) {
    // The error was reported (message 1): the list closes, showing nothing of the
    // part of the view read before it, and its owner computes nothing from that part.
    rows.clear();
    rowsChanged_ = true;
    choice_ = -1;
    show();
    UpdateWindow();
    manager_->PostClose();
    return;
  }
  ResetFromView();
  takeRow();
  show();
  UpdateWindow();
  if (!rows.empty()) {
    ++ownSelections_;
    w->post(ui::EventRec{ui::Event::NewSelection, ListControl, 0, choice_ + 1});
  }
}

int BrowseClass::findRow(const std::string& position) const {
  if (position.empty()) return -1;
  const auto& rows = queue_->rows;
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (rows[i].position == position) return static_cast<int>(i);
  return -1;
}

void BrowseClass::takeRow() {
  if (choice_ < 0 || choice_ >= Records()) {
    View->clearBuffer();  // the variables among the sources keep their values
    return;
  }
  const ListQueue::Row& row = queue_->rows[static_cast<std::size_t>(choice_)];
  for (std::size_t i = 0; i < pairs_.size(); ++i) {
    const ui::Use& u = pairs_[i];
    if (u.type == ui::Use::Type::Text) u.setText(queue_->text(row, i));
    else if (u) u.setNumber(queue_->number(row, i));
  }
}

void BrowseClass::show() {
  ui::Window* w = window();
  if (!w) return;
  const auto& rows = queue_->rows;
  if (rowsChanged_ || rowsReread_) {
    const std::vector<ui::ListColumn>& cols = w->columns(ListControl);
    const std::size_t shown = std::min(cols.size(), pairs_.size());
    std::vector<std::optional<Picture>> pics(shown);
    for (std::size_t c = 0; c < shown; ++c)
      if (!cols[c].picture.empty()) pics[c] = Picture::parse(cols[c].picture);
    auto cellsOf = [&](const ListQueue::Row& row) {
      ui::Window::Row out(shown);
      for (std::size_t c = 0; c < shown; ++c) {
        if (queue_->columns()[c].text) {
          std::string_view t = queue_->text(row, c);
          out[c] = pics[c] ? pics[c]->formatText(t) : std::string(trimRight(t));
        } else {
          double v = queue_->number(row, c);
          out[c] = pics[c] ? pics[c]->format(v) : numberText(v);
        }
      }
      return out;
    };
    w->setPaged(ListControl, !FileLoaded);
    if (rowsChanged_) {
      std::vector<ui::Window::Row> cells;
      cells.reserve(rows.size());
      for (const ListQueue::Row& row : rows) cells.push_back(cellsOf(row));
      w->setRows(ListControl, std::move(cells));
    } else {
      std::vector<std::pair<std::size_t, ui::Window::Row>> changed;
      for (std::size_t i : changedRows_) changed.emplace_back(i, cellsOf(rows[i]));
      w->setRows(ListControl, rows.size(), std::move(changed));
    }
    rowsChanged_ = rowsReread_ = false;
    changedRows_.clear();
  }
  w->setSelectedRow(ListControl, choice_ + 1);
  int thumb = 0;
  int n = Records();
  if (n > 0 && choice_ >= 0) {
    if (!FileLoaded && step_) thumb = rows[static_cast<std::size_t>(choice_)].thumb;
    else if (FileLoaded || (atTop_ && atBottom_)) thumb = n > 1 ? choice_ * 100 / (n - 1) : 0;
    else if (atTop_) thumb = 0;
    else if (atBottom_) thumb = 100;
    else thumb = 50;
  }
  w->setThumb(ListControl, thumb);
}

void BrowseClass::changed() {
  takeRow();
  show();
  UpdateWindow();
  needReset_ = true;
}

void BrowseClass::ResetFromBuffer() {
  if (locator_) locator_->Clear();
  if (Order() == kRecordOrder) {
    std::string p = View->position();
    refill(p.empty() ? Anchor::Top : Anchor::Position, p);
  } else {
    refill(Anchor::Buffer);
  }
}

int BrowseClass::fetch(Direction d, int max) {
  auto& rows = queue_->rows;
  if (rows.empty()) return 0;
  std::string edge = d == Direction::Forward ? rows.back().position : rows.front().position;
  if (ResetAt(edge) != kLevelOk) return 0;
  std::vector<ListQueue::Row> got;
  int n = readRows(got, d, max, edge);
  if (n == 0) return 0;
  rowsChanged_ = true;
  int page = FileLoaded ? static_cast<int>(rows.size() + got.size()) : pageSize();
  if (d == Direction::Forward) {
    rows.insert(rows.end(), std::make_move_iterator(got.begin()), std::make_move_iterator(got.end()));
    int drop = std::max(0, static_cast<int>(rows.size()) - page);
    if (drop > 0) {
      rows.erase(rows.begin(), rows.begin() + drop);
      choice_ -= drop;
      atTop_ = false;
    }
  } else {
    std::reverse(got.begin(), got.end());
    rows.insert(rows.begin(), std::make_move_iterator(got.begin()), std::make_move_iterator(got.end()));
    choice_ += n;
    int drop = std::max(0, static_cast<int>(rows.size()) - page);
    if (drop > 0) {
      rows.erase(rows.end() - drop, rows.end());
      atBottom_ = false;
    }
  }
  choice_ = std::clamp(choice_, 0, static_cast<int>(rows.size()) - 1);
  return n;
}

void BrowseClass::Fetch(Direction d) { fetched_ = fetch(d, FileLoaded ? -1 : pageSize()); }

void BrowseClass::Ask(std::uint8_t req) {
  for (;;) {
    if (manager_->VCRRequest) *manager_->VCRRequest = 0;
    std::string saved = choice_ >= 0 && choice_ < Records() ? queue_->rows[static_cast<std::size_t>(choice_)].position
                                                           : std::string();
    std::uint8_t answer = response::kCancelled;
    bool primed = true;
    if (req == request::kInsert) {
      FileManager* fm = access();
      primed = fm && fm->PrimeRecord() == kLevelOk;
    }
    if (primed && AskProcedure != 0) answer = manager_->Run(AskProcedure, req);
    if (locator_) locator_->Clear();
    if (answer == response::kCompleted && req != request::kView) {
      if (Order() != kRecordOrder) {
        refill(Anchor::Buffer);
      } else {
        // In record order the saved or added record is the file's current one.
        std::string p = req == request::kDelete ? saved : View->position();
        refill(p.empty() ? Anchor::Top : Anchor::Position, p);
      }
    } else {
      refill(saved.empty() ? Anchor::Top : Anchor::Position, saved);
    }
    if (ui::Window* w = window()) w->select(ListControl);
    if (!manager_->VCRRequest || *manager_->VCRRequest == 0) break;
  }
}

// WindowComponent.

void BrowseClass::Reset(bool force) {
  if (!window() || killed_ || !queue_) return;
  if (!loaded_) {
    refill(Anchor::Top);
  } else if (force) {
    std::string p = choice_ >= 0 && choice_ < Records() ? queue_->rows[static_cast<std::size_t>(choice_)].position
                                                       : std::string();
    refill(p.empty() ? Anchor::Top : Anchor::Position, p);
  } else {
    UpdateWindow();
  }
}

void BrowseClass::Update() {
  lost_ = 0;
  if (killed_ || !queue_) return;
  if (choice_ < 0 || choice_ >= Records()) {
    View->clearBuffer();
    return;
  }
  takeRow();
  // The row's own record, whole and as it is in the file now, for the form that
  // follows; when it is no longer there the buffer keeps the row's values.
  FileManager* fm = access();
  const std::string& pos = queue_->rows[static_cast<std::size_t>(choice_)].position;
  View->watch();
  const int r = fm ? fm->TryReget(pos) : View->reget(pos);
  if (r == 0) {
    ++Reads;
    return;
  }
  lost_ = r;
  takeRow();
}

void BrowseClass::rowLost() {
  const std::string saved = queue_->rows[static_cast<std::size_t>(choice_)].position;
  const int code = std::exchange(lost_, 0);
  if (FileManager* fm = access()) fm->RegetFailed(code);
  if (locator_) locator_->Clear();
  refill(Anchor::Position, saved);
  if (ui::Window* w = window()) w->select(ListControl);
}

bool BrowseClass::ResetRequired() { return std::exchange(needReset_, false); }

void BrowseClass::SetAlerts() {
  ui::Window* w = window();
  if (!w) return;
  w->alert(ui::key::kMouseLeft2);
  w->alert(ui::key::kMouseRightUp);
  if (EditViaPopup) {
    w->alert(ui::key::kInsert);
    w->alert(ui::key::kDelete);
    w->alert(ui::key::kCtrlEnter);
    w->alert(ui::key::kShiftEnter);
  }
}

void BrowseClass::UpdateWindow() {
  ui::Window* w = window();
  if (!w || killed_) return;
  bool any = Records() > 0;
  for (int c : {ChangeControl, DeleteControl, ViewControl})
    if (c != 0) w->disable(c, !any);
  if (SelectControl != 0) {
    if (Selecting) {
      w->disable(SelectControl, !any);
      w->setDefault(SelectControl, any);
    } else if (HideSelect) {
      w->hide(SelectControl);
      w->disable(SelectControl);
    }
  }
  if (locator_ && locator_->control() != 0) w->setText(locator_->control(), locator_->text());
}

std::uint8_t BrowseClass::TakeEvent(const ui::EventRec& e) {
  ui::Window* w = window();
  if (killed_ || !w || !queue_) return kLevelOk;
  switch (e.event) {
    case ui::Event::Accepted:
      TakeAccepted(e.control);
      break;
    case ui::Event::NewSelection:
      if (e.control == ListControl) TakeNewSelection(e.row != 0 ? e.row : w->selectedRow(ListControl));
      break;
    case ui::Event::AlertKey:
      if (e.control == ListControl) TakeKey(e.key, e.row);
      break;
    case ui::Event::ScrollUp:
    case ui::Event::ScrollDown:
    case ui::Event::PageUp:
    case ui::Event::PageDown:
    case ui::Event::ScrollTop:
    case ui::Event::ScrollBottom:
    case ui::Event::ScrollDrag:
      if (e.control == ListControl) TakeScroll(e);
      break;
    default:
      break;
  }
  return kLevelOk;
}

void BrowseClass::TakeAccepted(int control) {
  if (control == 0) return;
  if (control == SelectControl) {
    // The procedure's own handling has already taken the pick.
    manager_->Response = response::kCompleted;
    manager_->PostClose();
    return;
  }
  std::uint8_t req = control == ViewControl     ? request::kView
                     : control == InsertControl ? request::kInsert
                     : control == ChangeControl ? request::kChange
                     : control == DeleteControl ? request::kDelete
                                                : request::kNone;
  if (req == request::kNone) return;
  manager_->Update();
  // The record of the row is gone: no form opens on it, nor on another in its place.
  if (lost_ != 0 && req != request::kInsert) return rowLost();
  Ask(req);
}

void BrowseClass::TakeNewSelection(int row) {
  bool own = ownSelections_ > 0;
  if (own) --ownSelections_;
  if (row < 1 || row > Records()) return;
  choice_ = row - 1;
  if (!own && locator_) locator_->Clear();
  changed();
}

void BrowseClass::press(int control) {
  ui::Window* w = window();
  if (control != 0 && w->exists(control) && !w->disabled(control)) w->post(ui::Event::Accepted, control);
}

void BrowseClass::TakeKey(int key, int row) {
  ui::Window* w = window();
  int n = Records();
  switch (key) {
    case ui::key::kMouseLeft2:
      if (n == 0) return;
      if (Selecting) {
        press(SelectControl);
      } else if (row >= 1 && row <= n) {
        // The change button is pressed even when it is hidden.
        press(ChangeControl);
      }
      return;
    case ui::key::kMouseRightUp:
      // The row becomes the highlighted one; the popup offers nothing; no reset.
      if (row >= 1 && row <= n) {
        choice_ = row - 1;
        if (locator_) locator_->Clear();
        takeRow();
        w->setSelectedRow(ListControl, row);
      }
      return;
    case ui::key::kInsert:
    case ui::key::kDelete:
    case ui::key::kCtrlEnter:
    case ui::key::kShiftEnter:
      if (!EditViaPopup) return;
      if (key == ui::key::kInsert) press(InsertControl);
      else if (n == 0) return;
      else if (key == ui::key::kDelete) press(DeleteControl);
      else if (key == ui::key::kCtrlEnter) press(ChangeControl);
      else press(ViewControl);
      return;
    default:
      break;
  }
  // A typed character goes to the locator.
  if (!locator_ || Order() == kRecordOrder || !locator_->TakeKey(key)) return;
  locator_->Set();
  if (FileLoaded) {
    if (n == 0) return;
    std::string p = locate(Anchor::Buffer, {});
    int i = p.empty() ? n - 1 : findRow(p);
    choice_ = i < 0 ? n - 1 : i;
    changed();
  } else {
    refill(Anchor::Buffer);
  }
}

void BrowseClass::TakeScroll(const ui::EventRec& e) {
  if (FileLoaded) return;  // the control scrolls the rows it holds
  if (locator_) locator_->Clear();
  int n = Records();
  switch (e.event) {
    case ui::Event::ScrollTop:
      refill(Anchor::Top);
      return;
    case ui::Event::ScrollBottom:
      refill(Anchor::Bottom);
      return;
    case ui::Event::ScrollDrag:
      if (step_) {
        step_->SetValue(View->buffer(), e.thumb);
        refill(Anchor::Buffer);
      } else if (e.thumb <= 0) {
        refill(Anchor::Top);
      } else if (e.thumb >= 100) {
        refill(Anchor::Bottom);
      }
      return;
    default:
      break;
  }
  if (n == 0) return;
  int old = choice_;
  switch (e.event) {
    case ui::Event::ScrollDown:
      if (choice_ < n - 1) ++choice_;
      else if (fetch(Direction::Forward, 1) > 0) choice_ = Records() - 1;
      break;
    case ui::Event::ScrollUp:
      if (choice_ > 0) --choice_;
      else if (fetch(Direction::Backward, 1) > 0) choice_ = 0;
      break;
    case ui::Event::PageDown:
      fetched_ = 0;
      Fetch(Direction::Forward);
      choice_ = fetched_ > 0 ? std::min(old, Records() - 1) : Records() - 1;
      break;
    case ui::Event::PageUp:
      fetched_ = 0;
      Fetch(Direction::Backward);
      choice_ = fetched_ > 0 ? std::min(old, Records() - 1) : 0;
      break;
    default:
      break;
  }
  changed();
}

}  // namespace zelk::fw
