#pragma once
// The screen for the tests: one Qt application for the test program (offscreen,
// with its runtime and configuration folders in a temporary folder), and helpers
// that run the GUI thread's events and wait in a window's loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <functional>
#include <ostream>
#include <string_view>

#include "platform/core/codepage.h"
#include "platform/qt/screen.h"
#include "platform/qt/units.h"
#include "platform/ui/window.h"

// Readable failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace zelk::test {

qtui::Screen& screen();

// Runs the GUI thread's events for ms milliseconds, or until done() holds.
void pump(int ms = 0);
bool pumpUntil(const std::function<bool()>& done, int ms = 5000);

// The next event e of w (others are skipped), taken from w.wait() on this thread;
// Event::None when none came within ms.
ui::EventRec nextEvent(ui::Window& w, ui::Event e, int ms = 5000);

// The widget of control ctl of an open window, as T.
template <class T>
T* widget(const ui::Window& w, int ctl) {
  return qobject_cast<T*>(screen().controlWidget(w, ctl));
}

// Clicks a widget the way the window system does: through its top-level window, so
// that a window blocked by a modal one does not get the click.
void clickAsSystem(QWidget* w);

// Types text into a widget key by key (any letters, not only ASCII ones).
void typeText(QWidget* w, const QString& text);

inline QString u(std::string_view utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

}  // namespace zelk::test
