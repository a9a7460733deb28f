#pragma once
// The screen's backend of the window model: draws every open window with Qt
// Widgets on the GUI thread and draws the message boxes.
//
// Threads: widgets live on the GUI thread (the thread that made the backend). A
// window of another thread is shown and closed through blocking calls to the GUI
// thread; its changes only mark it dirty and schedule a refresh pass there; its owner
// waits on the window's own queue, to which the person's actions go. A window of the
// GUI thread waits in a nested event loop. Dialogs and boxes asked for by another
// thread are opened on the GUI thread without a nested loop, and the asking thread
// waits for the answer.
#include <QEventLoop>
#include <QObject>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/framework/errors.h"
#include "platform/ui/window.h"

class QPrinter;
class QWidget;

namespace zelk::qtui {

class View;

// What the backend keeps for one open window, shared by the owner thread (marks)
// and the GUI thread (passes).
struct Peer {
  Peer(std::uint64_t id, int first, int last);
  std::uint64_t id;
  int first;
  View* view = nullptr;  // GUI thread only
  std::atomic<bool> scheduled{false};
  std::vector<std::atomic<bool>> listDirty;  // by control, from first
  void markList(int ctl);
  bool takeList(int ctl);
};

class QtBackend : public QObject, public ui::Backend, public fw::BoxService {
  Q_OBJECT
 public:
  QtBackend();
  ~QtBackend() override;

  // ui::Backend
  void opened(ui::Window& w) override;
  void closed(ui::Window& w) override;
  void changed(ui::Window& w, int ctl) override;
  void waitForEvent(ui::Window& w) override;
  void eventQueued(ui::Window& w) override;
  void beep() override;
  void setCursor(ui::Cursor c) override;
  std::optional<std::string> askOpenFile(ui::Window& w, const FileDialog& d) override;
  void printerSetup(ui::Window& w) override;
  void pause(std::chrono::milliseconds ms) override;

  // fw::BoxService
  unsigned show(const fw::Box& box) override;

  bool onGuiThread() const { return std::this_thread::get_id() == gui_; }
  // Runs a report of the person's action (GUI thread): the refreshes it causes wait
  // for the event loop.
  template <class F>
  void act(F&& f) {
    ++acting_;
    f();
    --acting_;
  }
  void requestPass(Peer& p);
  void countPass() { ++passes_; }
  std::uint64_t passes() const { return passes_; }

  // GUI thread: the view of an open window, nullptr when none.
  View* viewOf(const ui::Window* w) const;
  // Whether some window still waits for its redraw from the model (GUI thread).
  bool passesPending() const;

  // A pass runs at most this often; a loop of the GUI thread that changes its
  // window without waiting sees one pass (and a repaint) this often.
  static constexpr std::chrono::milliseconds kMinInterval{16};
  static constexpr std::chrono::milliseconds kLiveInterval{40};

 private:
  template <class F>
  void onGuiBlocking(F&& f);
  void create(ui::Window& w, ui::Window* outer);
  void destroy(ui::Window& w);
  void runScheduled(std::uint64_t id);
  void wakeWaiters();
  QWidget* parentFor(const ui::Window* w) const;

  std::thread::id gui_;
  mutable std::mutex peersMutex_;
  std::map<const ui::Window*, std::shared_ptr<Peer>> peers_;  // under peersMutex_
  std::map<std::uint64_t, View*> views_;                      // GUI thread
  struct Waiter {
    ui::Window* w;
    QEventLoop* loop;
  };
  std::vector<Waiter> waiters_;  // GUI thread, innermost last
  int acting_ = 0;               // GUI thread
  std::atomic<std::uint64_t> passes_{0};
  std::uint64_t nextId_ = 1;     // GUI thread
  bool waitCursor_ = false;      // GUI thread
  std::unique_ptr<QPrinter> printer_;
};

}  // namespace zelk::qtui
