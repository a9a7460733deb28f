#include "app/startup.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <memory>

#include "app/messages.h"
#include "platform/core/codepage.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "platform/framework/errors.h"
#include "platform/framework/fuzzy.h"
#include "platform/framework/ini.h"
#include "platform/storage/sharelock.h"
#include "platform/ui/window.h"

namespace zelk::app {
namespace {

class NoDragSetting : public DragSetting {
 public:
  int get() override { return 0; }
  void set(int) override {}
};

NoDragSetting systemDrag;
DragSetting* drag = &systemDrag;

std::function<void()> frameProcedure;

thread_local std::unique_ptr<dict::Dictionary> dictionary;

std::atomic<int> running{0};  // threads START started that have not ended

// The arguments of the two dragging calls, as the desktop service takes them.
constexpr int kDragOn = 1;

// A thread that could not be started is said so, with the system's reason.
void reportThreadNotStarted(int err) {
  fw::Box b;
  b.caption = ansi(kThreadNotStartedCaption);
  b.text = ansi(kThreadNotStartedText) + std::strerror(err) + " (" + std::to_string(err) + ").";
  b.icon = fw::Icon::Exclamation;
  fw::boxService().show(b);
}

}  // namespace

void setDragSetting(DragSetting* s) { drag = s ? s : &systemDrag; }
DragSetting& dragSetting() { return *drag; }
void setFrame(std::function<void()> frame) { frameProcedure = std::move(frame); }

void processStart() {
  fw::threadNumber();  // the process's first thread is thread 1
  dict::blankProcessVariables();
  dict::registerDrivers();
  // The fuzzy matcher, the error manager and the settings manager are objects of
  // the process that their constructors only prepare.
  fw::globalFuzzy();
  fw::globalErrors();
  fw::globalIni();
  storage::setLockBusyQuestion(&fw::askToWaitForBusyFile);
}

void threadStart() {
  dict::makeFileInstances();
  fw::globalErrorStatus() = fw::ErrorStatusClass{};
  dict::GLOBALREQUEST = 0;
  dict::GLOBALRESPONSE = 0;
  dict::VCRREQUEST = 0;
  dictionary = std::make_unique<dict::Dictionary>();
}

void threadEnd() {
  dictionary.reset();
  fw::globalErrorStatus() = fw::ErrorStatusClass{};
  dict::releaseFileInstances();
}

void processEnd() {}

void _main() {
  fw::globalErrors().Init(defaultErrors());
  fw::globalFuzzy().Init();
  fw::globalFuzzy().SetOption(1, 1);
  fw::globalFuzzy().SetOption(2, 0);
  fw::globalIni().Init("ZELK.INI", 0, 0);
  dict::DCTINIT();
  dict::LCURRENTFDSETTING = dragSetting().get();
  if (dict::LCURRENTFDSETTING == kDragOn) dragSetting().set(0);
  if (frameProcedure) frameProcedure();
  fw::globalIni().Update();
  if (dict::LCURRENTFDSETTING == kDragOn) dragSetting().set(1);
  fw::globalIni().Kill();
  fw::globalFuzzy().Kill();
}

void START(std::function<void()> procedure, std::size_t stackSize) {
  // The requested stack is a floor: the library code under a procedure needs more
  // than the original platform did.
  constexpr std::size_t kMinimumStack = std::size_t{8} << 20;
  // The new thread's windows are opened from the window that started it.
  auto* job = new std::function<void()>([procedure = std::move(procedure), starter = ui::threadStarter()] {
    ui::setThreadStarter(starter);
    procedure();
  });
  ++running;
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, std::max(stackSize, kMinimumStack));
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  pthread_t t;
  int rc = pthread_create(
      &t, &attr,
      [](void* p) -> void* {
        std::unique_ptr<std::function<void()>> fn(static_cast<std::function<void()>*>(p));
        threadStart();
        (*fn)();
        threadEnd();
        --running;
        return nullptr;
      },
      job);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    delete job;
    --running;
    reportThreadNotStarted(rc);
  }
}

int startedThreads() { return running.load(); }

bool endStartedThreads(const std::function<void()>& pump, std::chrono::milliseconds limit) {
  using Clock = std::chrono::steady_clock;
  const auto until = Clock::now() + limit;
  // Asked again now and then: a window that opened meanwhile closes too.
  constexpr auto kAskAgain = std::chrono::milliseconds(500);
  auto nextAsk = Clock::now();
  while (running.load() > 0) {
    const auto now = Clock::now();
    if (now >= until) return false;
    if (now >= nextAsk) {
      ui::postToOtherThreads(ui::Event::CloseWindow);
      nextAsk = now + kAskAgain;
    }
    if (pump) pump();
    else std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace zelk::app
