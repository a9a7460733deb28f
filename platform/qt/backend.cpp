#include "platform/qt/backend.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QGuiApplication>
#include <QHeaderView>
#include <QTreeView>
#include <QScreen>
#include <QPrinter>
#include <QThread>
#include <QTimer>
#include <future>

#include "platform/qt/boxes.h"
#include "platform/qt/printsetup.h"
#include "platform/qt/units.h"
#include "platform/qt/view.h"

namespace zelk::qtui {

// Peer.

Peer::Peer(std::uint64_t id_, int first_, int last)
    : id(id_), first(first_), listDirty(static_cast<std::size_t>(last - first_ + 1)) {}

void Peer::markList(int ctl) {
  std::size_t i = static_cast<std::size_t>(ctl - first);
  if (ctl >= first && i < listDirty.size()) listDirty[i].store(true, std::memory_order_relaxed);
}

bool Peer::takeList(int ctl) {
  std::size_t i = static_cast<std::size_t>(ctl - first);
  return ctl >= first && i < listDirty.size() && listDirty[i].exchange(false, std::memory_order_acq_rel);
}

// The backend.

QtBackend::QtBackend() : gui_(std::this_thread::get_id()) {}

QtBackend::~QtBackend() {
  std::vector<View*> left;
  for (auto& [id, v] : views_) left.push_back(v);
  views_.clear();
  {
    std::lock_guard g(peersMutex_);
    peers_.clear();
  }
  for (View* v : left) v->detach();
  for (View* v : left) {
    // Inner windows are children of outer ones: delete only what is still there.
    bool child = false;
    for (View* o : left)
      if (o != v && o->isAncestorOf(v)) child = true;
    if (!child) delete v;
  }
}

template <class F>
void QtBackend::onGuiBlocking(F&& f) {
  // Never a blocking call from the GUI thread to itself.
  if (QThread::currentThread() == thread()) f();
  else QMetaObject::invokeMethod(this, std::forward<F>(f), Qt::BlockingQueuedConnection);
}

View* QtBackend::viewOf(const ui::Window* w) const {
  if (!w) return nullptr;
  for (auto& [id, v] : views_)
    if (v->window() == w) return v;
  return nullptr;
}

QWidget* QtBackend::parentFor(const ui::Window* w) const { return viewOf(w); }  // GUI thread

void QtBackend::opened(ui::Window& w) {
  // The window it was opened from owns it: its view is the new view's parent, so the
  // window manager keeps the new one above it. On the same thread the owner waits
  // for it (only the innermost window of a thread takes input); a window of another
  // thread leaves its owner usable.
  ui::Window* outer = w.opener();
  onGuiBlocking([&] { create(w, outer); });
}

void QtBackend::closed(ui::Window& w) {
  onGuiBlocking([&] { destroy(w); });
}

void QtBackend::create(ui::Window& w, ui::Window* outer) {
  if (viewOf(&w)) return;
  auto peer = std::make_shared<Peer>(nextId_++, w.first(), w.last());
  for (int n = w.first(); n <= w.last(); ++n)
    if (n != 0 && w.control(n).kind == ui::Kind::List) peer->markList(n);
  auto* view = new View(*this, w, *peer, parentFor(outer));
  peer->view = view;
  int cascade = static_cast<int>(views_.size());
  views_[peer->id] = view;
  {
    std::lock_guard g(peersMutex_);
    peers_[&w] = peer;
  }
  std::uint64_t id = peer->id;
  connect(&view->delay(), &QTimer::timeout, this, [this, id] { runScheduled(id); });
  view->pass();
  view->showFirst(cascade, outer && outer->owner() == w.owner());
  view->pass();
}

void QtBackend::destroy(ui::Window& w) {
  std::shared_ptr<Peer> peer;
  {
    std::lock_guard g(peersMutex_);
    auto it = peers_.find(&w);
    if (it == peers_.end()) return;
    peer = it->second;
    peers_.erase(it);
  }
  View* view = peer->view;
  views_.erase(peer->id);
  if (!view) return;
  view->detach();
  // A window closed before the windows it opened leaves them standing on their own.
  for (auto& [id, other] : views_)
    if (other->parentWidget() == view) {
      bool visible = other->isVisible();
      other->setParent(nullptr, (other->windowFlags() & ~Qt::WindowType_Mask) | Qt::Window);
      if (visible) other->show();
    }
  // The window it was opened over becomes the active one again.
  QWidget* outer = view->parentWidget();
  bool wasActive = view->isActiveWindow();
  view->hide();
  if (wasActive && outer && outer->isVisible()) outer->activateWindow();
  if (acting_ > 0) view->deleteLater();
  else delete view;
}

void QtBackend::changed(ui::Window& w, int ctl) {
  std::shared_ptr<Peer> p;
  {
    std::lock_guard g(peersMutex_);
    auto it = peers_.find(&w);
    if (it == peers_.end()) return;
    p = it->second;
  }
  // The person's own actions never change a list's rows (a new highlight does not
  // need the rows read again).
  const bool echo = onGuiThread() && acting_ > 0;
  if (!echo && ctl != 0 && w.exists(ctl) && w.control(ctl).kind == ui::Kind::List) p->markList(ctl);
  if (onGuiThread() && acting_ == 0 && p->view) {
    // The GUI thread's own procedure is busy and not waiting: a long loop shows its
    // progress at a steady rate instead of not at all.
    View* v = p->view;
    if (std::chrono::steady_clock::now() - v->lastPass() >= kLiveInterval) {
      v->pass();
      if (v->isVisible()) v->repaint();
      return;
    }
  }
  requestPass(*p);
}

void QtBackend::requestPass(Peer& p) {
  if (p.scheduled.exchange(true)) return;
  std::uint64_t id = p.id;
  QMetaObject::invokeMethod(this, [this, id] { runScheduled(id); }, Qt::QueuedConnection);
}

bool QtBackend::passesPending() const {
  std::lock_guard g(peersMutex_);
  for (const auto& [window, peer] : peers_)
    if (peer->scheduled.load()) return true;
  return false;
}

void QtBackend::runScheduled(std::uint64_t id) {
  auto it = views_.find(id);
  if (it == views_.end()) return;
  View* v = it->second;
  std::shared_ptr<Peer> p;
  {
    std::lock_guard g(peersMutex_);
    if (ui::Window* w = v->window()) {
      auto pit = peers_.find(w);
      if (pit != peers_.end()) p = pit->second;
    }
  }
  if (!p) return;
  auto since = std::chrono::steady_clock::now() - v->lastPass();
  if (since < kMinInterval) {
    if (!v->delay().isActive())
      v->delay().start(std::chrono::duration_cast<std::chrono::milliseconds>(kMinInterval - since) +
                       std::chrono::milliseconds(1));
    return;
  }
  p->scheduled.store(false);
  v->pass();
}

void QtBackend::waitForEvent(ui::Window& w) {
  if (!onGuiThread()) {
    w.waitQueued();
    return;
  }
  if (w.hasEvents()) return;
  QEventLoop loop;
  waiters_.push_back({&w, &loop});
  loop.exec();
  for (auto it = waiters_.begin(); it != waiters_.end(); ++it)
    if (it->loop == &loop) {
      waiters_.erase(it);
      break;
    }
}

void QtBackend::wakeWaiters() {
  for (Waiter& x : waiters_)
    if (x.w->hasEvents()) x.loop->quit();
}

void QtBackend::eventQueued(ui::Window& w) {
  if (w.owner() != gui_) return;  // its owner sleeps on the window's own queue
  if (onGuiThread()) wakeWaiters();
  else QMetaObject::invokeMethod(this, [this] { wakeWaiters(); }, Qt::QueuedConnection);
}

// The GUI thread goes on serving the other threads' windows meanwhile.
void QtBackend::pause(std::chrono::milliseconds ms) {
  if (!onGuiThread()) {
    std::this_thread::sleep_for(ms);
    return;
  }
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

void QtBackend::beep() {
  if (onGuiThread()) QApplication::beep();
  else QMetaObject::invokeMethod(this, [] { QApplication::beep(); }, Qt::QueuedConnection);
}

void QtBackend::setCursor(ui::Cursor c) {
  auto apply = [this, c] {
    if (c == ui::Cursor::Wait && !waitCursor_) {
      QApplication::setOverrideCursor(Qt::WaitCursor);
      waitCursor_ = true;
    } else if (c == ui::Cursor::Arrow && waitCursor_) {
      QApplication::restoreOverrideCursor();
      waitCursor_ = false;
    }
  };
  if (onGuiThread()) apply();
  else QMetaObject::invokeMethod(this, apply, Qt::QueuedConnection);
}

namespace {

// Wide enough for the name, size, type and date columns of the detail view, within
// the screen it opens on.
void fitFileDialog(QFileDialog& d) {
  constexpr int kWidthChars = 140, kHeightLines = 28;
  const QFontMetrics fm(d.font());
  QSize want(fm.averageCharWidth() * kWidthChars, fm.height() * kHeightLines);
  if (QScreen* s = d.parentWidget() ? d.parentWidget()->screen() : QGuiApplication::primaryScreen())
    want = want.boundedTo(s->availableGeometry().size() * 9 / 10);
  d.resize(want.expandedTo(d.sizeHint()));
  // The name takes what the size, type and date leave.
  if (auto* details = d.findChild<QTreeView*>(QStringLiteral("treeView"))) {
    QHeaderView* h = details->header();
    h->setStretchLastSection(false);
    h->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int c = 1; c < h->count(); ++c) h->setSectionResizeMode(c, QHeaderView::ResizeToContents);
  }
}

// The file dialog's sizes, dates and folder type in the program's language: the file
// system model gives them in the system locale's (the environment's), which the
// program leaves as it is.
class RussianFileTexts : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;
  QVariant data(const QModelIndex& index, int role) const override {
    auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || !files || !index.isValid()) return QIdentityProxyModel::data(index, role);
    const QModelIndex at = mapToSource(index);
    enum { kSize = 1, kType = 2, kDate = 3 };
    switch (index.column()) {
      case kSize:
        return files->isDir(at) ? QString() : QLocale().formattedDataSize(files->size(at));
      case kType:
        if (files->isDir(at)) return QFileDialog::tr("Folder");
        break;
      case kDate:
        return QLocale().toString(files->lastModified(at), QLocale::ShortFormat);
      default:
        break;
    }
    return QIdentityProxyModel::data(index, role);
  }
};

// Runs a dialog for the calling thread: on the GUI thread in its own nested loop; for
// another thread it is opened on the GUI thread without a nested loop there (the
// GUI thread's own windows go on) and the calling thread waits for its answer.
template <class R, class Make, class Answer>
R runDialog(QObject* gui, bool onGui, Make make, Answer answer, R cancelled) {
  if (onGui) {
    QDialog* d = make();
    d->exec();
    R r = answer(d);
    delete d;
    return r;
  }
  auto promise = std::make_shared<std::promise<R>>();
  std::future<R> result = promise->get_future();
  QMetaObject::invokeMethod(
      gui,
      [make, answer, promise] {
        QDialog* d = make();
        d->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(d, &QDialog::finished, d, [d, answer, promise](int) { promise->set_value(answer(d)); });
        d->open();
      },
      Qt::QueuedConnection);
  try {
    return result.get();
  } catch (const std::future_error&) {
    return cancelled;  // the screen went away
  }
}

}  // namespace

unsigned QtBackend::show(const fw::Box& box) {
  std::vector<ui::Window*> mine = ui::threadWindows();
  ui::Window* inner = mine.empty() ? nullptr : mine.back();
  return runDialog<unsigned>(
      this, onGuiThread(), [this, box, inner] { return new BoxDialog(box, parentFor(inner)); },
      [](QDialog* d) { return static_cast<BoxDialog*>(d)->answer(); }, box.defaultButton);
}

std::optional<std::string> QtBackend::askOpenFile(ui::Window& w, const FileDialog& d) {
  ui::Window* win = &w;
  auto make = [this, win, d]() -> QDialog* {
    auto* dlg = new QFileDialog(parentFor(win), qs(d.title));
    dlg->setOption(QFileDialog::DontUseNativeDialog);
    dlg->setFileMode(d.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dlg->setAcceptMode(QFileDialog::AcceptOpen);
    QStringList filters;
    for (const auto& [desc, patterns] : d.filters) {
      QString p = qs(patterns);
      p.replace(QLatin1Char(';'), QLatin1Char(' '));
      filters << QStringLiteral("%1 (%2)").arg(qs(desc), p);
    }
    if (!filters.isEmpty()) dlg->setNameFilters(filters);
    dlg->setViewMode(QFileDialog::Detail);
    dlg->setProxyModel(new RussianFileTexts(dlg));
    dlg->setWindowModality(Qt::WindowModal);
    fitFileDialog(*dlg);
    return dlg;
  };
  auto answer = [](QDialog* dlg) -> std::optional<std::string> {
    auto* f = static_cast<QFileDialog*>(dlg);
    if (f->result() != QDialog::Accepted || f->selectedFiles().isEmpty()) return std::nullopt;
    return ansiOf(QFileInfo(f->selectedFiles().front()).absoluteFilePath());
  };
  return runDialog<std::optional<std::string>>(this, onGuiThread(), make, answer, std::nullopt);
}

void QtBackend::printerSetup(ui::Window& w) {
  ui::Window* win = &w;
  auto make = [this, win]() -> QDialog* {
    if (!printer_) printer_ = std::make_unique<QPrinter>();
    auto* dlg = new PrinterSetupDialog(*printer_, parentFor(win));
    dlg->setWindowModality(Qt::WindowModal);
    return dlg;
  };
  runDialog<int>(this, onGuiThread(), make, [](QDialog* d) { return d->result(); }, 0);
}

}  // namespace zelk::qtui
