#pragma once
// The window manager: the event loop of a window procedure with the framework's
// standard handling, and the hooks a procedure overrides (Init, Kill, Reset, Run,
// Ask, TakeAccepted, TakeSelected, TakeCompleted). Forms add their record's saving,
// changing and deleting, and the history key.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/framework/errors.h"
#include "platform/framework/filemanager.h"
#include "platform/ui/window.h"

namespace zelk::fw {

// Request codes passed to a window, and its response codes.
namespace request {
inline constexpr std::uint8_t kNone = 0, kInsert = 1, kChange = 2, kDelete = 3, kSelect = 4, kView = 6;
}
namespace response {
inline constexpr std::uint8_t kNone = 0, kCompleted = 1, kCancelled = 2;
}

// The forms' retry questions.
class WindowManager;

// A part of a window that the manager keeps in step with it: a list. The manager's
// Reset calls every component's Reset, then every component's UpdateWindow; each
// event goes to the components after the procedure's hook, unless the hook answered
// a level other than 0; after each event a component's ResetRequired asks for a
// Reset(false) of the window.
class WindowComponent {
 public:
  virtual ~WindowComponent() = default;
  virtual void Kill() {}
  virtual void Reset(bool force) { (void)force; }   // refresh from the files and redisplay
  virtual void Update() {}                          // take the highlighted row into the record buffer
  virtual bool ResetRequired() { return false; }    // asks for a window Reset after the event
  virtual void SetAlerts() {}
  virtual void UpdateWindow() {}                    // bring the component's controls up to date
  // The component's handling of an event, after the procedure's own; 0 carries on.
  virtual std::uint8_t TakeEvent(const ui::EventRec& e) { (void)e; return 0; }
};

class WindowResizeClass;

class WindowManager {
 public:
  WindowManager() = default;
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;
  virtual ~WindowManager() = default;

  // Attributes.
  std::uint8_t Request = 0;
  int FirstField = 1;
  std::int32_t* VCRRequest = nullptr;
  ErrorClass* Errors = nullptr;
  bool FilesOpened = false;
  std::uint8_t Response = response::kNone;
  bool Opened = false;  // the window was opened
  bool Dead = false;    // Kill has run
  int ForcedReset = 0;
  // Forms.
  RelationManager* Primary = nullptr;
  int HistoryKey = 0;
  int OkControl = 0;

  ui::Window* window() const { return window_; }

  // Hooks.
  virtual std::uint8_t Init();
  virtual std::uint8_t Kill();
  virtual void Reset(bool force = false);
  virtual std::uint8_t Run();                                        // Init, Ask, Kill; the response
  virtual std::uint8_t Run(std::uint16_t number, std::uint8_t req);  // cancelled; the lists override it
  virtual void Ask();
  virtual std::uint8_t TakeAccepted();
  virtual std::uint8_t TakeSelected();
  virtual std::uint8_t TakeCompleted();
  virtual std::uint8_t TakeNewSelection();
  virtual std::uint8_t TakeWindowEvent();
  virtual std::uint8_t TakeCloseEvent();
  virtual std::uint8_t TakeEvent();  // dispatches the current event to the hooks above

  // The current event of the loop (valid inside the hooks).
  const ui::EventRec& event() const { return event_; }
  int field() const { return event_.control; }

  // Operations.
  void AddItem(int control, std::uint8_t response);  // a button that sets the response and closes
  void AddItem(WindowResizeClass& r);
  void AddItem(WindowComponent& c);
  void RemoveItem(WindowComponent& c);
  void Open(ui::Window& w);
  void SetAlerts();
  void Update();  // every component takes its highlighted row into its record buffer
  void PostCompleted();
  void PostClose();
  bool AcceptingAll() const { return acceptAll_; }

  // Forms.
  void AddUpdateFile(FileManager* fm);
  void AddHistoryFile(char* record, char* history, std::size_t size);
  void AddHistoryField(int control, int field);
  std::uint8_t PrimeUpdate();
  void RestoreField(int control);

 protected:
  ui::Window* window_ = nullptr;
  ui::EventRec event_;
  bool acceptAll_ = false;
  // The implementation keeps its lists here.
  struct Lists;
  std::shared_ptr<Lists> lists_;

 private:
  Lists& lists();  // made on first use
  std::uint8_t AcceptAllControls();
};

}  // namespace zelk::fw
