#include "app/patterns/list.h"

#include "dictionary/globals.h"

namespace zelk::app {

namespace {

Ctl listButton(const char* name, std::string_view text, const char* tip, const char* icon, ui::Rect at) {
  return Ctl(ui::Kind::Button, name, at).text(text).tip(tip).icon(icon);
}

}  // namespace

Ctl selectButton(std::string_view text, ui::Rect at) {
  return listButton("?SELECT:2", text, "Select the Record", "WASELECT.ICO", at);
}
Ctl viewButton(std::string_view text, ui::Rect at) {
  return listButton("?VIEW:3", text, "View Record", "WAVIEW.ICO", at);
}
Ctl insertButton(std::string_view text, ui::Rect at) {
  return listButton("?INSERT:4", text, "Insert a Record", "WAINSERT.ICO", at);
}
Ctl changeButton(std::string_view text, ui::Rect at) {
  return listButton("?CHANGE:4", text, "Change the Record", "WACHANGE.ICO", at);
}
Ctl deleteButton(std::string_view text, ui::Rect at) {
  return listButton("?DELETE:4", text, "Delete the Record", "WADELETE.ICO", at);
}
Ctl closeButton(std::string_view text, ui::Rect at) {
  return listButton("?CLOSE", text, "Close Window", "WACLOSE.ICO", at);
}

ListSetup ListSetup::standardControls() {
  ListSetup l;
  l.listControl = "?BROWSE:1";
  l.selectControl = "?SELECT:2";
  l.viewControl = "?VIEW:3";
  l.insertControl = "?INSERT:4";
  l.changeControl = "?CHANGE:4";
  l.deleteControl = "?DELETE:4";
  l.closeControl = "?CLOSE";
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
