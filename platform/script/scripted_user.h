#pragma once
// The scripted user: a backend without a display that plays the user from a
// script. Whenever a window of the script's thread waits with no event queued, the
// next step of the script runs there; a step acts on windows as a person would
// (presses, types, chooses), on any thread's windows. Windows of other threads
// simply wait for the events the steps queue for them. Every step first lets each
// other thread the script has touched (found, acted on or read a window of) settle:
// take what it was sent until it waits for the user with nothing queued, or end.
//
// Texts given to and read from the user are 1251, as the windows hold them.
// Failures are recorded (failures()), never thrown.
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/ui/window.h"

namespace zelk::fw {
class ScriptedBoxes;
}

namespace zelk::script {

class ScriptedUser : public ui::Backend {
 public:
  using Step = std::function<void(ScriptedUser&)>;

  ScriptedUser() = default;
  ~ScriptedUser() override;  // uninstalls itself
  ScriptedUser(const ScriptedUser&) = delete;
  ScriptedUser& operator=(const ScriptedUser&) = delete;

  // Becomes the process's backend; the calling thread is the script's thread.
  void install();
  void uninstall();

  // Adds a step at the end of the script.
  ScriptedUser& then(Step s);
  // Runs the steps left, one after another, on the calling thread: for a script
  // whose own thread has no window waiting (its procedure returned, or every window
  // is on other threads).
  void play();

  // What a step finds. window(title) waits up to the timeout for an open window
  // whose title (1251) equals title, of another thread only once that thread has
  // settled (so never one that is closing); window() is the innermost window of the
  // script's thread. A missing window fails the script.
  ui::Window& window(std::string_view title);
  ui::Window& window();
  std::chrono::milliseconds timeout{5000};

  // wait(title) is window(title), settled, and made the current window: the one the
  // steps that name no window act on while it stays open; current() falls back to
  // window() when there is none.
  ui::Window& wait(std::string_view title);
  ui::Window& current();
  // Waits (up to the timeout) until the thread of w waits for the user with no
  // event queued; at once for the script's own thread. False when w is closed, and
  // when the thread is still busy at the timeout (a failure).
  bool settle(ui::Window& w);
  // Waits (up to the timeout) until every other thread the script has touched has
  // settled or ended; run before every step. False (a failure) when one is still busy.
  bool settleThreads();

  // What a step does, on a window and a control named like "?OK" (0 for the window).
  // Acting on a window that is closed, or that another window of its thread covers,
  // fails the script.
  void press(ui::Window& w, std::string_view control);          // a button or menu item
  void type(ui::Window& w, std::string_view control, std::string_view text);  // and leave the entry
  void selectRow(ui::Window& w, std::string_view control, int row);
  void doubleClick(ui::Window& w, std::string_view control, int row);
  void rightClick(ui::Window& w, std::string_view control, int row);
  void key(ui::Window& w, std::string_view control, int keyCode);
  void choose(ui::Window& w, std::string_view control);         // a radio or a tab
  void close(ui::Window& w);
  void accept(ui::Window& w, std::string_view control);  // leave or confirm an entry as it is
  void focus(ui::Window& w, std::string_view control);   // click into a control (Selected)
  void menu(ui::Window& w, std::string_view item);       // choose a menu item (fails on anything else)

  // The open-file dialog's answers, in order (nullopt: cancelled; none left: cancelled).
  void answerFile(std::optional<std::string> path);

  // Message boxes, through the scripted box service the script uses (installed by
  // its owner). answerBox gives the button of the next box still unanswered;
  // expectBox checks the oldest box shown that no expectBox has looked at yet
  // (waiting up to the timeout for one): its caption and, when given, its text.
  void useBoxes(fw::ScriptedBoxes& boxes);
  void answerBox(unsigned button);
  bool expectBox(std::string_view caption, std::optional<std::string_view> text = std::nullopt);
  bool expectNoBox();  // every box shown has been looked at

  // Reading, once the window's thread has settled. property() of a control, or of
  // the window when control is empty: "text", "hidden", "disabled", "readonly",
  // "default" ("true" or "false"), "rows", "selected" (the highlighted row, 0 none),
  // "choice" (the chosen tab or radio's name), and of the window "title" and
  // "focus" (the focused control's name). nullopt (and a failure) when unknown.
  std::optional<std::string> property(ui::Window& w, std::string_view control, std::string_view name);
  std::optional<ui::Window::Row> row(ui::Window& w, std::string_view control, int row);

  // Assertions: a mismatch is a failure; each answers whether it held. Texts compare
  // without their trailing blanks; control names without regard to case.
  bool expect(ui::Window& w, std::string_view control, std::string_view name, std::string_view value);
  bool expectRow(ui::Window& w, std::string_view control, int row, const ui::Window::Row& cells);
  bool expectCell(ui::Window& w, std::string_view control, int row, int column, std::string_view text);
  // At the end of a script: fails for steps not run and answers not used.
  bool expectFinished();

  // Failures of the script: a step naming a missing window or control, or a window
  // that waited after the last step (it is then closed with CloseWindow).
  void fail(std::string message);
  std::vector<std::string> failures() const;
  bool finished() const;  // every step has run
  // Called with every failure as it is recorded (on the failing thread).
  void onFailure(std::function<void(const std::string&)> f);

  // What the backend saw.
  int beeps() const;
  std::vector<ui::Backend::FileDialog> fileDialogs() const;
  int printerSetups() const;
  ui::Cursor cursor() const { return cursor_.load(); }  // the cursor the program set last

  // Backend.
  void opened(ui::Window& w) override;
  void closed(ui::Window& w) override;
  void changed(ui::Window& w, int ctl) override;
  void waitForEvent(ui::Window& w) override;
  void eventQueued(ui::Window& w) override;
  void beep() override;
  void setCursor(ui::Cursor c) override;
  std::optional<std::string> askOpenFile(ui::Window& w, const FileDialog& d) override;
  void printerSetup(ui::Window& w) override;

 private:
  enum class Settled { Yes, Closed, Busy };
  Settled settle(ui::Window& w, std::chrono::steady_clock::time_point deadline);
  void busy(std::thread::id thread);  // fails: the thread is still busy at the timeout
  bool ready(ui::Window& w);          // settled; a closed window fails
  void watchThisThread();             // the calling thread leaves threads_ when it ends
  int control(ui::Window& w, std::string_view name);
  int actOn(ui::Window& w, std::string_view name);  // settled, takes input, has the control
  bool takesInput(ui::Window& w);
  bool isOpen(ui::Window& w) const;

  mutable std::mutex m_;
  std::deque<Step> steps_;
  std::deque<std::optional<std::string>> files_;
  std::vector<std::string> failures_;
  std::vector<ui::Backend::FileDialog> dialogs_;
  int beeps_ = 0;
  int printerSetups_ = 0;
  std::atomic<ui::Cursor> cursor_{ui::Cursor::Arrow};
  std::thread::id scriptThread_;
  bool installed_ = false;
  std::function<void(const std::string&)> onFailure_;
  std::set<const ui::Window*> open_;                   // opened and not yet closed
  std::map<std::thread::id, ui::Window*> waiting_;     // other threads' windows waiting for the user
  // Other threads the script has touched, each with the title of the window it
  // touched last; a thread leaves when it ends (under the threads' own lock).
  struct Threads {
    std::mutex m;
    std::map<std::thread::id, std::string> touched;
  };
  std::shared_ptr<Threads> threads_ = std::make_shared<Threads>();
  ui::Window* current_ = nullptr;
  fw::ScriptedBoxes* boxes_ = nullptr;
  std::size_t boxesSeen_ = 0;
};

}  // namespace zelk::script
