#pragma once
// The screen: the Qt application of the process and the backend that draws the
// window model and the message boxes with Qt Widgets. Make one on the main thread
// before the program's start-up; while it lives it is the process's window backend
// and box service. This header brings no Qt header with it.
#include <cstdint>
#include <memory>

class QWidget;

namespace zelk::ui {
class Window;
}

namespace zelk::qtui {

class Screen {
 public:
  // argc and argv are handed to the Qt application and must outlive the screen.
  Screen(int& argc, char** argv);
  Screen();
  ~Screen();  // uninstalls itself; windows still open are no longer drawn
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  // The screen of the process, nullptr when none.
  static Screen* instance();

  // Refresh passes so far: each draws one window again from its model.
  std::uint64_t refreshPasses() const;

  // Runs the GUI thread's pending events for about ms milliseconds (GUI thread).
  void processEvents(int ms = 0);

  // GUI thread: the top-level widget that draws an open window, and the widget of one
  // of its controls (a list's is its ListBox); nullptr when there is none.
  QWidget* widgetOf(const ui::Window& w) const;
  QWidget* controlWidget(const ui::Window& w, int ctl) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zelk::qtui
