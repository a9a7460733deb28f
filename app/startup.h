#pragma once
// Start-up and shutdown: the steps the platform runs at process and thread start and
// end, and the program's main procedure.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace zelk::app {

// The desktop's full-window-dragging setting. On Linux there is no such setting:
// the service reads it as off and the program leaves it alone.
class DragSetting {
 public:
  virtual ~DragSetting() = default;
  virtual int get() = 0;              // 1 = on
  virtual void set(int on) = 0;       // written to the user's profile and announced
};
void setDragSetting(DragSetting* s);  // nullptr: this system's
DragSetting& dragSetting();

// The application frame, run by _main until the user closes it.
void setFrame(std::function<void()> frame);

void processStart();
void threadStart();
void threadEnd();
void processEnd();

// The main procedure: error manager, fuzzy matcher, settings manager, the main
// thread's file managers, dragging off, the frame, and the shutdown tail.
void _main();

// START: runs procedure on a thread of its own, with the thread's start and end
// steps around it, without waiting for it. A thread the system cannot start is
// reported in a notice (kThreadNotStarted...). The thread belongs to the window it
// was started from (the starting thread's innermost), if any.
void START(std::function<void()> procedure, std::size_t stackSize);
// Threads started by START that have not ended yet.
int startedThreads();
// At the program's end: closes the windows still open on the threads START started
// (a form among them cancels, giving back what it reserved) and waits for those
// threads to end, calling pump meanwhile (the screen's events). Gives up after
// limit; answers whether every such thread has ended.
bool endStartedThreads(const std::function<void()>& pump, std::chrono::milliseconds limit);
// When a window closes: closes the windows of the threads started from it (serial;
// a form among them cancels, as above) and waits, the screen staying live, until
// those threads have ended.
void endThreadsStartedFrom(std::uint64_t window);
inline constexpr std::string_view kThreadNotStartedCaption = "Процедура не запущена";
inline constexpr std::string_view kThreadNotStartedText = "Не удалось запустить поток процедуры.  Ошибка: ";

}  // namespace zelk::app
