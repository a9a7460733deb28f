#include "app/startup.h"

#include <pthread.h>

#include <algorithm>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

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

// A thread START started that has not ended.
struct Started {
  std::uint64_t from;  // the window it was started from; 0 none
  std::thread::id id;  // once it runs
};
std::mutex startedMutex;
std::list<Started> started;  // under startedMutex

struct Job {
  std::function<void()> procedure;
  std::uint64_t from = 0;
  std::list<Started>::iterator self;
};

// Closes the windows of the started threads chosen and waits until they have ended,
// calling pump meanwhile; asked again now and then, so a window that opened meanwhile
// closes too. Gives up after limit (none: never); answers whether they all ended.
bool endThreads(const std::function<bool(const Started&)>& chosen, const std::function<void()>& pump,
                std::optional<std::chrono::milliseconds> limit) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  constexpr auto kAskAgain = std::chrono::milliseconds(500);
  auto nextAsk = start;
  for (;;) {
    std::vector<std::thread::id> left;
    {
      std::lock_guard g(startedMutex);
      for (const Started& s : started)
        if (chosen(s)) left.push_back(s.id);
    }
    if (left.empty()) return true;
    const auto now = Clock::now();
    if (limit && now - start >= *limit) return false;
    if (now >= nextAsk) {
      for (std::thread::id id : left)
        if (id != std::thread::id{}) ui::postToThread(id, ui::Event::CloseWindow);
      nextAsk = now + kAskAgain;
    }
    if (pump) pump();
    else std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

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
  // The new thread's windows are opened from the window that started it, which
  // owns the thread.
  const std::uint64_t from = ui::threadStarter();
  auto job = std::make_unique<Job>();
  job->procedure = std::move(procedure);
  job->from = from;
  {
    std::lock_guard g(startedMutex);
    job->self = started.insert(started.end(), Started{from, {}});
  }
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, std::max(stackSize, kMinimumStack));
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  pthread_t t;
  Job* const handed = job.release();  // the thread's once it runs
  const int rc = pthread_create(
      &t, &attr,
      [](void* p) -> void* {
        std::unique_ptr<Job> job(static_cast<Job*>(p));
        {
          std::lock_guard g(startedMutex);
          job->self->id = std::this_thread::get_id();
        }
        threadStart();
        ui::setThreadStarter(job->from);
        job->procedure();
        threadEnd();
        const auto self = job->self;
        job.reset();
        std::lock_guard g(startedMutex);
        started.erase(self);
        return nullptr;
      },
      handed);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    job.reset(handed);
    {
      std::lock_guard g(startedMutex);
      started.erase(job->self);
    }
    reportThreadNotStarted(rc);
  }
}

int startedThreads() {
  std::lock_guard g(startedMutex);
  return static_cast<int>(started.size());
}

bool endStartedThreads(const std::function<void()>& pump, std::chrono::milliseconds limit) {
  return endThreads([](const Started&) { return true; }, pump, limit);
}

void endThreadsStartedFrom(std::uint64_t window) {
  if (window == 0) return;
  endThreads([window](const Started& s) { return s.from == window; },
             [] { ui::backend().pause(std::chrono::milliseconds(10)); }, std::nullopt);
}

}  // namespace zelk::app
