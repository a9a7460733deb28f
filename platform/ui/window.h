#pragma once
// The window model: a window built from its definition, with the controls' live
// properties, the events of its loop, and the stack of windows of each thread.
//
// Threads: a window belongs to the thread that built it (its procedure's thread),
// which alone changes its properties and waits for its events. A backend (the
// screen or the scripted user) reads the properties to draw them and reports the
// user's actions through the user...() operations, from any thread; those only
// change what the user can change (an entry's text, a list's highlighted row, the
// window's place) and queue the events for the owner. Every operation takes the
// window's lock; none calls the backend while holding it.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/ui/defs.h"

namespace zelk::ui {

enum class Event : std::uint8_t {
  None,
  OpenWindow,    // the window was opened (queued by open())
  GainFocus,     // the window became the active one
  Sized,         // the window was resized (the first one comes with opening)
  Moved,
  Accepted,      // a button or menu item was pressed, an entry left or confirmed, a radio chosen
  Selected,      // a control received the input focus
  NewSelection,  // a list's highlighted row or a sheet's tab changed by the user
  AlertKey,      // an alerted key was pressed (key in EventRec::key)
  Completed,     // posted by the framework: the completion of a form
  CloseWindow,   // the close box, or posted by the program
  // A paged list's scrolling past the rows it holds (control in EventRec::control).
  ScrollUp, ScrollDown, PageUp, PageDown, ScrollTop, ScrollBottom, ScrollDrag,
};

// Key codes of the alert keys.
namespace key {
inline constexpr int kEnter = 0x10D, kEsc = 0x11B, kInsert = 0x12D, kDelete = 0x12E;
inline constexpr int kCtrlEnter = 0x20D, kShiftEnter = 0x40D;
inline constexpr int kCtrlH = 0x248;        // Ctrl+H
inline constexpr int kMouseLeft2 = 0x302;   // double click of the left button
inline constexpr int kMouseRightUp = 0x305; // release of the right button
// A typed character is its 1251 byte (1..255).
}  // namespace key

struct EventRec {
  Event event = Event::None;
  int control = 0;  // the control concerned, 0 for the window
  int key = 0;      // AlertKey: the key
  int row = 0;      // list events: the row concerned (1-based), 0 none
  int thumb = 0;    // ScrollDrag: thumb position 0..100
};

enum class Cursor : std::uint8_t { Arrow, Wait };

class Window;

// What a backend does for the model. Calls come from the window's owner thread;
// the backend marshals them to its own thread where it must.
class Backend {
 public:
  virtual ~Backend() = default;
  virtual void opened(Window& w) = 0;  // the window is shown
  virtual void closed(Window& w) = 0;  // the window is gone; no later call names it
  // Properties of the window or of its control ctl (0: the window) changed. Cheap
  // and non-blocking: the backend redraws at its own pace.
  virtual void changed(Window& w, int ctl) = 0;
  // Blocks the owner thread until w has an event queued (w.hasEvents()).
  virtual void waitForEvent(Window& w) = 0;
  // An event was queued for w (from any thread): wake its owner if it waits.
  virtual void eventQueued(Window& w) { (void)w; }
  virtual void beep() = 0;
  virtual void setCursor(Cursor c) = 0;
  // The open-file dialog: the chosen full name (1251), or nullopt when cancelled.
  struct FileDialog {
    std::string title;
    std::vector<std::pair<std::string, std::string>> filters;  // description, patterns
    bool mustExist = true;
  };
  virtual std::optional<std::string> askOpenFile(Window& w, const FileDialog& d) = 0;
  virtual void printerSetup(Window& w) = 0;
  // The calling thread waits about ms while the screen stays live: a window of
  // another thread may need the screen's thread meanwhile (to open, draw or close).
  virtual void pause(std::chrono::milliseconds ms);
};

// The backend of the process (the screen's, or the scripted user's in tests).
void setBackend(Backend* b);
Backend& backend();

class Window {
 public:
  explicit Window(const WindowDef& def);
  ~Window();  // closes the window if it is open
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  const WindowDef& def() const { return def_; }
  std::thread::id owner() const { return owner_; }
  std::uint64_t serial() const { return serial_; }  // the window's own number, never reused

  // Control numbers: first() .. last() (a frame's menus are negative), 0 none.
  int first() const;
  int last() const;
  bool exists(int ctl) const;
  const ControlDef& control(int ctl) const;
  int number(std::string_view name) const;  // by name ("?OK", case-insensitive); 0 none

  // Showing and closing (owner thread). open() queues OpenWindow and the first Sized.
  void open();
  void close();
  bool isOpen() const;
  // Whether this is the innermost open window of its thread: only that one takes input.
  bool innermost() const;
  // The open window this one was opened from, which owns it on the screen: the outer
  // window of its own thread, else the window its thread was started from (see
  // threadStarter); nullptr when there is none or it has closed.
  Window* opener() const;

  // Properties (owner thread).
  void setTitle(std::string title);
  std::string title() const;
  void setText(int ctl, std::string text);  // the control's shown text
  std::string text(int ctl) const;
  void hide(int ctl, bool hidden = true);
  void unhide(int ctl) { hide(ctl, false); }
  bool hidden(int ctl) const;
  void disable(int ctl, bool disabled = true);
  void enable(int ctl) { disable(ctl, false); }
  bool disabled(int ctl) const;
  void setReadOnly(int ctl, bool on);
  bool readOnly(int ctl) const;
  void setDefault(int ctl, bool on);
  bool isDefault(int ctl) const;
  void setLineHeight(int ctl, int h);  // a list's line height; 0 the font's
  int lineHeight(int ctl) const;
  void setRect(int ctl, Rect r);       // the control's place (the resizer moves controls)
  Rect rect(int ctl) const;
  void select(int ctl);                // give ctl the input focus
  int focus() const;                   // the control with the focus, 0 none
  void setCursor(Cursor c);

  // The window's place and state, in dialog units. The place is the window's when it
  // is neither maximised nor minimised (restore gives it back).
  Rect place() const;
  void setPlace(Rect r);
  bool maximized() const;
  bool minimized() const;
  void setMaximized(bool on);
  void setMinimized(bool on);
  // The size of the window's client area as shown: the maximised size while it is
  // maximised (once the backend has said it), else the place's.
  Rect area() const;

  // USE variables: display copies variables into their controls (all when ctl is 0:
  // only the controls whose variable changed since it was last shown); update copies
  // the controls' texts into their variables (all entries when ctl is 0), through
  // their pictures. update() answers false when a picture refuses a text.
  void display(int ctl = 0);
  bool update(int ctl = 0);

  // A list's rows: formatted cells, one vector per row; the highlighted row is 1-based.
  using Row = std::vector<std::string>;
  void setRows(int ctl, std::vector<Row> rows);
  // The rows cut or grown to count, and the given ones (0-based, each below count) put
  // in their places; a row grown is to be among them. The backend is told only when a
  // row differs from what the list held.
  void setRows(int ctl, std::size_t count, std::vector<std::pair<std::size_t, Row>> changed);
  std::vector<Row> rows(int ctl) const;
  int rowCount(int ctl) const;
  void setSelectedRow(int ctl, int row);
  int selectedRow(int ctl) const;
  void setPaged(int ctl, bool paged);  // paged: scrolling past the rows is reported as Scroll events
  bool paged(int ctl) const;
  void setThumb(int ctl, int percent);
  int thumb(int ctl) const;
  int visibleRows(int ctl) const;      // rows the list shows at once (the backend says)
  const std::vector<ListColumn>& columns(int ctl) const;

  // A sheet's chosen tab (its control number), an option box's chosen value.
  void setChoice(int ctl, int choice);
  int choice(int ctl) const;

  // Alerted keys: the window reports them as AlertKey events.
  void alert(int keyCode);
  void unalert(int keyCode);
  bool alerted(int keyCode) const;

  // Events (owner thread): post() queues one; wait() returns the next, first
  // redisplaying the variables that changed; an Accepted entry is first taken into
  // its variable, and one its picture refuses beeps, is redisplayed, gets the focus
  // back and is not reported.
  void post(EventRec e);
  void post(Event e, int ctl = 0) { post(EventRec{e, ctl}); }
  EventRec wait();
  bool hasEvents() const;
  // Blocks until an event is queued: for backends whose owner threads simply sleep.
  void waitQueued();

  // What the user does (any thread): each changes what the user can change and queues
  // the event it causes. A window that is not its thread's innermost ignores them.
  void userType(int ctl, std::string text);      // edits an entry's text (no event)
  void userAccept(int ctl);                      // leaves or confirms an entry, presses a button or item
  void userFocus(int ctl);                       // Selected
  void userSelectRow(int ctl, int row);          // NewSelection
  void userScroll(int ctl, Event scroll, int thumb = 0);
  void userKey(int ctl, int keyCode, int row = 0);  // AlertKey when alerted
  void userChoose(int ctl, int choice);          // a tab (NewSelection) or a radio (Accepted on its option)
  void userActivate();                           // GainFocus
  // Sized; area: the client area's size while maximised (none: the place's).
  void userResize(Rect place, bool maximized, bool minimized, Rect area = {});
  void userClose();                              // CloseWindow
  void setVisibleRows(int ctl, int n);           // the backend reports the list's height in rows

  // Backend data, for the backend's own bookkeeping.
  void* peer = nullptr;

 private:
  struct Control;
  Control& at(int ctl);
  const Control& at(int ctl) const;
  void notify(int ctl);  // tells the backend, outside the lock
  // Sets what m_ guards to value; when that changed it, tells the backend of ctl
  // (0: the window).
  template <class T, class V>
  void change(int ctl, T& member, V&& value);
  void queue(EventRec e);  // under m_
  bool userMayAct() const;

  WindowDef def_;
  std::thread::id owner_;
  mutable std::mutex m_;
  std::condition_variable cv_;
  std::vector<Control> controls_;
  int menus_ = 0;  // controls numbered negative
  std::deque<EventRec> events_;
  std::string title_;
  Rect place_;
  Rect maximizedArea_;  // the backend's, while maximized_
  bool maximized_ = false, minimized_ = false;
  bool open_ = false;
  int focus_ = 0;
  std::vector<int> alerts_;
  std::uint64_t serial_ = 0;
  Window* opener_ = nullptr;  // under the registry's lock
};

// The wait cursor while it lives, for work done for a window (none for a null
// window); nested ones, also of other threads, show it from the first to the last.
class WaitCursor {
 public:
  explicit WaitCursor(const Window* w);
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  bool on_;
};

// The arrow while it lives, where the calling thread shows the wait cursor (a
// message box in the middle of the work); the wait cursor again after it.
class ArrowMeanwhile {
 public:
  ArrowMeanwhile();
  ~ArrowMeanwhile();
  ArrowMeanwhile(const ArrowMeanwhile&) = delete;
  ArrowMeanwhile& operator=(const ArrowMeanwhile&) = delete;

 private:
  int depth_;
};

// The window a new thread's windows are opened from: threadStarter() on the starting
// thread names its innermost open window; the new thread hands that to
// setThreadStarter() before it opens any (0: none).
std::uint64_t threadStarter();
void setThreadStarter(std::uint64_t starter);

// The windows open on the calling thread, innermost last.
std::vector<Window*> threadWindows();
// Every open window of every thread (for the backends), oldest first.
std::vector<Window*> allWindows();
// Posts e to every open window of thread t (none of them closes meanwhile); answers
// how many there were.
int postToThread(std::thread::id t, Event e);

}  // namespace zelk::ui
