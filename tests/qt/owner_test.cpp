// Windows opened from others: owned by them on the screen (kept above them by the
// window manager), and centred over them when their definition gives no place.
#include <QWindow>
#include <atomic>

#include "app/startup.h"
#include "demo_windows.h"
#include "qt_support.h"

namespace zelk::test {
namespace {

ui::WindowDef placed(const std::string& title, ui::Rect at) {
  ui::WindowDef d = listWindow(title);
  d.at.x = at.x;
  d.at.y = at.y;
  d.resizable = false;
  return d;
}

int offCentre(const QWidget* w, const QWidget* over) {
  return (w->frameGeometry().center() - over->frameGeometry().center()).manhattanLength();
}

TEST(QtOwners, AWindowOpenedFromAnotherIsOwnedByItAndCentredOverIt) {
  const ui::Rect unplaced{ui::kDefaultPosition, ui::kDefaultPosition, 0, 0};
  ui::Window outer(placed("Внешнее", {20, 30, 0, 0}));
  outer.open();
  ui::Window inner(placed("Внутреннее", unplaced));
  inner.open();
  ui::Window third(placed("Третье", {5, 5, 0, 0}));
  third.open();
  QWidget* o = screen().widgetOf(outer);
  QWidget* i = screen().widgetOf(inner);
  QWidget* t = screen().widgetOf(third);
  ASSERT_TRUE(o && i && t);
  EXPECT_EQ(inner.opener(), &outer);
  EXPECT_EQ(i->parentWidget(), o);
  EXPECT_TRUE(i->isWindow());
  // Transient for its owner, of a type the window system keeps above it.
  EXPECT_EQ(i->windowType(), Qt::Dialog);
  ASSERT_NE(i->windowHandle(), nullptr);
  EXPECT_EQ(i->windowHandle()->transientParent(), o->windowHandle());
  EXPECT_EQ(o->windowType(), Qt::Window);
  EXPECT_EQ(i->windowModality(), Qt::WindowModal);  // its owner waits for it
  EXPECT_LE(offCentre(i, o), 4);  // rounding of the halves
  // A place the definition gives stays.
  EXPECT_EQ(t->parentWidget(), i);
  const qtui::Units units(t->findChild<QWidget*>(QStringLiteral("client"))->font());
  EXPECT_EQ(t->pos(), QPoint(units.x(5), units.y(5)));

  // A window of a thread started from the innermost window is owned by that window,
  // which stays usable.
  std::atomic<ui::Window*> other{nullptr};
  std::atomic<bool> done{false};
  app::START(
      [&] {
        ui::Window w(placed("Другой поток", unplaced));
        w.open();
        other = &w;
        while (w.wait().event != ui::Event::CloseWindow) {
        }
        w.close();
        other = nullptr;
        done = true;
      },
      0);
  ASSERT_TRUE(pumpUntil([&] { return other.load() && screen().widgetOf(*other.load()); }));
  QWidget* a = screen().widgetOf(*other.load());
  EXPECT_EQ(other.load()->opener(), &third);
  EXPECT_EQ(a->parentWidget(), t);
  EXPECT_TRUE(a->isWindow());
  EXPECT_EQ(a->windowType(), Qt::Dialog);
  EXPECT_EQ(a->windowHandle()->transientParent(), t->windowHandle());
  EXPECT_EQ(a->windowModality(), Qt::NonModal);
  EXPECT_LE(offCentre(a, t), 4);
  other.load()->userClose();
  ASSERT_TRUE(pumpUntil([&] { return done.load(); }));

  third.close();
  inner.close();
  outer.close();
}

}  // namespace
}  // namespace zelk::test
