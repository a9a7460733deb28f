#include "platform/framework/viewmanager.h"

#include "platform/core/text.h"
#include "platform/framework/errors.h"
#include "platform/framework/listqueue.h"

namespace zelk::fw {
namespace {

const char* kBadExpressionText = "Bad Expression Syntax";
const char* kUnknownNameText = "Unknown Identifier in Expression";

}  // namespace

ViewManager::~ViewManager() = default;

void ViewManager::Init(storage::File& view, RelationManager& relation) {
  View = &view;
  Primary = &relation;
}

void ViewManager::Kill() { filter_.reset(); }

void ViewManager::SetOrder(int key) { order_ = key; }

void ViewManager::SetFilter(std::string_view expression) {
  filterText_ = std::string(expression);
  filter_.reset();
  filterChanged_ = true;
}

void ViewManager::prepareFilter() {
  if (!filterChanged_) return;
  filterChanged_ = false;
  filter_.reset();
  std::string_view t = trim(filterText_);
  if (t.empty()) return;
  Filter::Error err;
  filter_ = Filter::compile(t, &err);
  if (filter_) return;
  // The list goes on without the filter.
  ErrorStatusClass& st = globalErrorStatus();
  st.errorCode = err.code;
  st.errorText = err.code == kUnknownName ? kUnknownNameText : kBadExpressionText;
  st.fileErrorCode = 0;
  st.fileErrorText = err.text;
  ErrorClass* errors = access() && access()->Errors ? access()->Errors : &globalErrors();
  if (access()) st.file = access()->GetName();
  errors->Throw(msg::kViewFilter);
}

std::uint8_t ViewManager::Reset() {
  prepareFilter();
  FileManager* fm = access();
  if (fm && fm->UseFile(kUseOpen) != kLevelOk) return kNotify;
  int r = order_ == kRecordOrder ? View->set() : View->set(order_);
  if (r == 0) return kLevelOk;
  if (fm) fm->Throw(msg::kRecordAccess);
  return kFatal;
}

std::uint8_t ViewManager::ResetToBuffer() {
  if (order_ == kRecordOrder) {
    std::string p = View->position();
    return p.empty() ? Reset() : ResetAt(p);
  }
  prepareFilter();
  FileManager* fm = access();
  if (fm && fm->UseFile(kUseOpen) != kLevelOk) return kNotify;
  int r = View->setAt(order_);
  if (r == 0) return kLevelOk;
  if (fm) fm->Throw(msg::kRecordAccess);
  return kFatal;
}

std::uint8_t ViewManager::ResetAt(std::string_view position) {
  prepareFilter();
  FileManager* fm = access();
  if (fm && fm->UseFile(kUseOpen) != kLevelOk) return kNotify;
  return View->reset(position) == 0 ? kLevelOk : std::uint8_t{kNotify};
}

std::uint8_t ViewManager::RegetAt(std::string_view position) {
  prepareFilter();
  FileManager* fm = access();
  if (fm && fm->UseFile(kUseOpen) != kLevelOk) return kNotify;
  if ((fm ? fm->TryReget(position) : View->reget(position)) != 0) return kNotify;
  ++Reads;
  if (filter_ && !filter_->test()) return kNotify;
  return ValidateRecord() == record::kOk ? kLevelOk : std::uint8_t{kNotify};
}

std::uint8_t ViewManager::read(bool forward) {
  FileManager* fm = access();
  for (;;) {
    int r = fm ? (forward ? fm->TryNext() : fm->TryPrevious()) : (forward ? View->next() : View->previous());
    if (r == storage::kRecordNotAvailable) return kNotify;
    if (r != 0) {
      if (fm) fm->Throw(msg::kRecordAccess);
      return kFatal;
    }
    ++Reads;
    if (filter_ && !filter_->test()) continue;
    switch (ValidateRecord()) {
      case record::kOk: return kLevelOk;
      case record::kOutOfRange: return kNotify;
      default: break;
    }
  }
}

std::uint8_t ViewManager::Next() { return read(true); }
std::uint8_t ViewManager::Previous() { return read(false); }

std::string ViewManager::Position() {
  std::string p = View->position();
  if (p.size() > ListQueue::kPositionSize) p.resize(ListQueue::kPositionSize);
  return p;
}

std::uint8_t ViewManager::ValidateRecord() { return record::kOk; }

}  // namespace zelk::fw
