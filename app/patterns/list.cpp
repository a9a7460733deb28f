#include "app/patterns/list.h"

#include "dictionary/globals.h"

namespace zelk::app {

namespace {

// A list window's standard button: the name standardControls() gives it, its tip
// and its icon.
struct StandardButton {
  const char* name;
  const char* tip;
  const char* icon;
};
constexpr StandardButton kSelect{"?SELECT:2", "Select the Record", "WASELECT.ICO"},
    kView{"?VIEW:3", "View Record", "WAVIEW.ICO"}, kInsert{"?INSERT:4", "Insert a Record", "WAINSERT.ICO"},
    kChange{"?CHANGE:4", "Change the Record", "WACHANGE.ICO"}, kDelete{"?DELETE:4", "Delete the Record", "WADELETE.ICO"},
    kClose{"?CLOSE", "Close Window", "WACLOSE.ICO"};

Ctl listButton(const StandardButton& b, std::string_view text, ui::Rect at) {
  return Ctl(ui::Kind::Button, b.name, at).text(text).tip(b.tip).icon(b.icon);
}

}  // namespace

Ctl selectButton(std::string_view text, ui::Rect at) { return listButton(kSelect, text, at); }
Ctl viewButton(std::string_view text, ui::Rect at) { return listButton(kView, text, at); }
Ctl insertButton(std::string_view text, ui::Rect at) { return listButton(kInsert, text, at); }
Ctl changeButton(std::string_view text, ui::Rect at) { return listButton(kChange, text, at); }
Ctl deleteButton(std::string_view text, ui::Rect at) { return listButton(kDelete, text, at); }
Ctl closeButton(std::string_view text, ui::Rect at) { return listButton(kClose, text, at); }

ListSetup ListSetup::standardControls() {
  ListSetup l;
  l.listControl = "?BROWSE:1";
  l.selectControl = kSelect.name;
  l.viewControl = kView.name;
  l.insertControl = kInsert.name;
  l.changeControl = kChange.name;
  l.deleteControl = kDelete.name;
  l.closeControl = kClose.name;
  return l;
}

void ListBrowse::SetAlerts() {
  EditViaPopup = false;
  fw::BrowseClass::SetAlerts();
}

ListPattern::ListPattern(ui::Window& window, WindowSetup setup, ListSetup list, fw::BrowseClass& browse)
    : WindowPattern(window, std::move(setup)), BRW1(browse), list_(std::move(list)) {
  for (ControlName* c : {&list_.listControl, &list_.selectControl, &list_.viewControl, &list_.insertControl,
                         &list_.changeControl, &list_.deleteControl, &list_.closeControl, &list_.locatorControl})
    c->resolve(window);
}

int ListPattern::listControl() const { return list_.listControl.number() != 0 ? list_.listControl.number() : 1; }

void ListPattern::RegisterButtons() {
  if (list_.closeControl.number() != 0)
    AddItem(list_.closeControl.number(), Request == fw::request::kSelect ? fw::response::kCancelled : fw::response::kCompleted);
  WindowPattern::RegisterButtons();
}

void ListPattern::InitLists() {
  BRW1.SelectControl = list_.selectControl.number();
  BRW1.HideSelect = list_.hideSelect;
  fw::RelationManager* relate = list_.relate ? list_.relate() : nullptr;
  if (relate && list_.file) BRW1.Init(listControl(), list_.file(), Queue, *relate, *this);
  if (Request != fw::request::kView) {
    BRW1.InsertControl = list_.insertControl.number();
    BRW1.ChangeControl = list_.changeControl.number();
    BRW1.DeleteControl = list_.deleteControl.number();
  }
  BRW1.ViewControl = list_.viewControl.number();
  if (!list_.usePopup) BRW1.SetUsePopup(false);
}

void ListPattern::AfterOpen() {
  if (list_.defaultLineHeight) win().setLineHeight(listControl(), 0);
}

void ListPattern::SetupLists() {
  BRW1.FileLoaded = list_.fileLoaded;
  fw::StepClass* step = nullptr;
  switch (list_.step) {
    case ListSetup::Step::Long:
      stepLong_.Init(list_.stepControls);
      step = &stepLong_;
      break;
    case ListSetup::Step::String:
      stepString_.Init(list_.stepControls, list_.stepMode);
      step = &stepString_;
      break;
    case ListSetup::Step::None:
      break;
  }
  BRW1.AddSortOrder(step, list_.key);
  fw::LocatorClass* locator = nullptr;
  if (list_.locator == ListSetup::Locator::Step) locator = &stepLocator_;
  if (list_.locator == ListSetup::Locator::Incremental) locator = &incrementalLocator_;
  if (locator && list_.locatorField) {
    BRW1.AddLocator(*locator);
    locator->Init(list_.locatorControl.number(), list_.locatorField(), list_.locatorNoCase, BRW1);
  }
  if (!list_.filter.empty()) BRW1.SetFilter(list_.filter);
  AddFields();
}

void ListPattern::AddFields() {
  for (const auto& source : list_.fields) BRW1.AddField(source());
}

void ListPattern::AfterResizer() { BRW1.AskProcedure = 1; }

std::uint8_t ListPattern::Run(std::uint16_t number, std::uint8_t req) {
  std::uint8_t r = fw::WindowManager::Run(number, req);
  if (Request == fw::request::kView) return fw::response::kCancelled;
  dict::GLOBALREQUEST = req;
  if (list_.updateForm) list_.updateForm();
  r = dict::GLOBALRESPONSE;
  return r;
}

}  // namespace zelk::app
