#pragma once
// The list pattern: a window procedure that shows one file as a list with buttons.
// On top of the window pattern: the close button (cancelled when the window was
// asked to select, else completed), the list object's Init with the buttons, the
// row height, the sort order with its thumb step, the locator, the filter, the field
// pairs, the update procedure and the list's alerts. A procedure derives its
// ThisWindow from ListPattern and its BRW1 from ListBrowse and overrides only the
// hooks it changes:
//
//   void S_LIST() {
//     ui::Window window(definition());
//     Brw1 brw;                                    // : app::ListBrowse
//     ThisWindow thisWindow(window, windowSetup(), listSetup(), brw);  // : app::ListPattern
//     app::respond(thisWindow);
//   }
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/patterns/controls.h"
#include "app/patterns/window.h"
#include "platform/framework/browse.h"
#include "platform/framework/locator.h"
#include "platform/framework/step.h"
#include "platform/storage/file.h"
#include "platform/ui/defs.h"

namespace zelk::app {

// What sets one list apart from another.
struct ListSetup {
  ControlName listControl;  // none: the first control
  // The buttons (none: the list has none of that kind). Insert, change and delete are
  // wired only when the window's own request is not view.
  ControlName selectControl, viewControl, insertControl, changeControl, deleteControl;
  ControlName closeControl;  // answers cancelled when selecting, else completed
  bool hideSelect = false;
  bool usePopup = true;
  bool fileLoaded = false;         // the whole view at once, else page by page
  bool defaultLineHeight = false;  // the list's line height set to the font's after opening

  RelateOf relate = nullptr;               // the file's relation manager (Relate::X)
  storage::File& (*file)() = nullptr;      // the view's file (the thread's instance)
  int key = fw::kRecordOrder;              // the sort order

  enum class Step : std::uint8_t { None, Long, String };
  Step step = Step::None;
  unsigned stepControls = 0;  // StepLongClass / StepStringClass set-up values
  int stepMode = 0;

  enum class Locator : std::uint8_t { None, Step, Incremental };
  Locator locator = Locator::None;
  std::function<ui::Use()> locatorField;  // resolved on the list's thread
  bool locatorNoCase = false;
  ControlName locatorControl;

  std::string filter;  // over bound names; "" none
  std::vector<std::function<ui::Use()>> fields;  // the field pairs' sources, in queue order
  void (*updateForm)() = nullptr;                // the update procedure, called by Run

  // A set-up with the list and its buttons under the names list windows give them:
  // ?BROWSE:1, ?SELECT:2, ?VIEW:3, ?INSERT:4, ?CHANGE:4, ?DELETE:4 and ?CLOSE.
  static ListSetup standardControls();
};

// A list window's standard buttons under the names standardControls() gives them,
// with their tips and icons; the text and place are the window's own.
Ctl selectButton(std::string_view text, ui::Rect at);
Ctl viewButton(std::string_view text, ui::Rect at);
Ctl insertButton(std::string_view text, ui::Rect at);
Ctl changeButton(std::string_view text, ui::Rect at);
Ctl deleteButton(std::string_view text, ui::Rect at);
Ctl closeButton(std::string_view text, ui::Rect at);

// BRW1's base: the lists switch edit-via-popup off before the framework's alerts.
class ListBrowse : public fw::BrowseClass {
 public:
  void SetAlerts() override;
};

class ListPattern : public WindowPattern {
 public:
  ListPattern(ui::Window& window, WindowSetup setup, ListSetup list, fw::BrowseClass& browse);

  // The update procedure: cancelled when the list itself was opened to view; else
  // GLOBALREQUEST := request, the list's update form, and its GLOBALRESPONSE.
  std::uint8_t Run(std::uint16_t number, std::uint8_t req) override;
  using fw::WindowManager::Run;

  const ListSetup& list() const { return list_; }
  int listControl() const;  // the list's control number

  fw::BrowseClass& BRW1;
  fw::ListQueue Queue;  // QUEUE:BROWSE:1

 protected:
  void RegisterButtons() override;  // the close button, then the window setup's buttons
  void InitLists() override;        // BRW1.Init with the buttons
  void AfterOpen() override;        // the row height
  void SetupLists() override;       // FileLoaded, step, sort order, locator, filter, fields
  void AfterResizer() override;     // the update procedure is number 1
  // The field pairs: the list setup's, in order. A procedure with sources of its own
  // (locals of the call) adds them here.
  virtual void AddFields();

 private:
  ListSetup list_;
  fw::StepLongClass stepLong_;
  fw::StepStringClass stepString_;
  fw::StepLocatorClass stepLocator_;
  fw::IncrementalLocatorClass incrementalLocator_;
};

}  // namespace zelk::app
