#pragma once
// The window procedure pattern: a procedure builds its window, makes its ThisWindow
// (a class derived from WindowPattern, overriding only the hooks the procedure
// changes) and leaves ThisWindow.Run's answer in GLOBALRESPONSE:
//
//   void S_XXX() {
//     ui::Window window(definition());
//     ThisWindow thisWindow(window, setup());
//     app::respond(thisWindow);
//   }
//
// Init and Kill run the steps every procedure shares, in their fixed order; the
// protected hooks are where a kind of window (forms, lists) or a procedure adds its
// own steps, each in its place.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/framework/filemanager.h"
#include "platform/framework/resize.h"
#include "platform/framework/windowmanager.h"
#include "platform/ui/window.h"

namespace zelk::app {

// The calling thread's relation manager of a file (Relate::X), read when the window
// opens its files.
using RelateOf = fw::RelationManager* (*)();

// A control as a setup names it ("?BUTTON4", written in UTF-8). The pattern resolves
// the name to the control's number once, when it is built over its window, so a
// definition can change without re-targeting anything; a name the definition does
// not hold stops there (std::logic_error naming it). No name: no control.
class ControlName {
 public:
  ControlName() = default;
  ControlName(const char* name) : name_(name) {}         // NOLINT: a setup names its controls
  ControlName(std::string name) : name_(std::move(name)) {}  // NOLINT
  const std::string& name() const { return name_; }
  int number() const { return number_; }  // once resolved; 0 none
  void resolve(const ui::Window& window);

 private:
  std::string name_;
  int number_ = 0;
};

// What sets one window procedure apart from another.
struct WindowSetup {
  std::string procedureName;        // for the error manager's %Procedure
  std::vector<RelateOf> files;      // opened in this order when the window opens
  ControlName firstField;           // the control that gets the focus first; none: the first
  struct Resize {
    int strategy;
    bool minimumSize, maximumSize;
  };
  std::optional<Resize> resizer;    // none: the window has no resizer
  std::string iniSection;           // the settings section that keeps the place; "" none
  std::vector<std::pair<ControlName, std::uint8_t>> buttons;  // buttons that answer and close
};

class WindowPattern : public fw::WindowManager {
 public:
  WindowPattern(ui::Window& window, WindowSetup setup);

  // Init: the procedure's name; the request taken over; WindowManager::Init; the
  // first field, VCR request and error manager; GLOBALREQUEST and GLOBALRESPONSE
  // cleared; BindNames; RegisterItems; RegisterButtons; the files
  // opened (one that cannot be, as a busy one the user stopped waiting for, ends the
  // opening with its level, the files before it closed again); PrepareRecord (a
  // level other than 0 is returned at once); InitLists; the window opened;
  // DefineListBoxStyle; AfterOpen; SetupLists; the resizer; AfterResizer; the place
  // restored from the settings (the resizer fits the controls to it at once);
  // SetAlerts.
  std::uint8_t Init() override;
  // Kill: the threads started from the window ended (their windows closed, waited
  // for); WindowManager::Kill (a level other than 0 is returned at once); the files
  // closed when they were opened; the place stored when the window was opened; the
  // procedure's name dropped.
  std::uint8_t Kill() override;
  // Reset: outside a completion's check of every control, the procedure's own
  // values (RefreshValues), then the framework's refresh. A forced one asked for
  // during the check is kept for the next.
  void Reset(bool force = false) override;

  const WindowSetup& setup() const { return setup_; }
  ui::Window& win() const { return window_; }
  // The number of the window's control called name ("?BUTTON4"); a procedure resolves
  // the controls it tests once, when it is built. A name the window lacks throws.
  int control(std::string_view name) const;

  fw::WindowResizeClass Resizer;

 protected:
  virtual void BindNames() {}                               // names the window's expressions use
  virtual void RegisterItems() {}                           // forms: history, update file
  virtual void RegisterButtons();                           // setup().buttons
  virtual std::uint8_t PrepareRecord() { return 0; }        // forms: Primary, the OK button, PrimeUpdate
  virtual void InitLists() {}                               // lists: the list objects' Init
  virtual void DefineListBoxStyle() {}                      // the procedure's routine after opening
  virtual void AfterOpen() {}                               // forms: view mode's read-only entries
  virtual void SetupLists() {}                              // lists: order, locator, filter, fields
  virtual void AfterResizer() {}                            // lists: the ask procedure
  virtual void RefreshValues() {}                           // a refresh's own steps, before the framework's

 private:
  void closeFiles(std::size_t count);  // the first count files of the setup

  ui::Window& window_;
  WindowSetup setup_;
};

// GLOBALRESPONSE := thisWindow.Run(): the last step of every procedure.
void respond(fw::WindowManager& thisWindow);

}  // namespace zelk::app
