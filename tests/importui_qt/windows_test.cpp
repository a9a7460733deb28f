// The import menu and the import windows drawn by the screen: the real procedures
// run on the GUI thread while a timer plays the person, the statement chosen in the
// screen's own file dialog. Every text of every window must fit its control. With
// ZELK_SCREENSHOT_DIR set each window is also saved as a PNG.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dictionary/globals.h"
#include "import/windows.h"
#include "platform/core/codepage.h"
#include "platform/qt/screen.h"
#include "platform/ui/window.h"
#include "tests/import/fixture.h"

namespace zelk::test {
namespace {

std::unique_ptr<TempDir> runtimeDir;
qtui::Screen* screen = nullptr;

constexpr const char* kFileDialog = "";  // a step on the screen's open-file dialog

class ImportWindows : public ImportTest {
 protected:
  static void SetUpTestSuite() {
    runtimeDir = std::make_unique<TempDir>();
    std::filesystem::create_directories(runtimeDir->path() / "runtime");
    std::filesystem::permissions(runtimeDir->path() / "runtime", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("XDG_RUNTIME_DIR", (*runtimeDir / "runtime").c_str(), 0);
    screen = new qtui::Screen();
  }
  static void TearDownTestSuite() {
    delete screen;
    screen = nullptr;
    runtimeDir.reset();
  }
  void SetUp() override {
    ImportTest::SetUp();
    const char* d = std::getenv("ZELK_SCREENSHOT_DIR");
    if (d && *d) shots_ = QString::fromLocal8Bit(d);
  }

  // What the person does at each window, in order: when the window with the title is
  // the innermost one and has been drawn (or the file dialog is up), act runs.
  struct Step {
    std::string title;  // UTF-8
    std::function<void(ui::Window*, QWidget*)> act;
  };
  void play(std::vector<Step> steps) {
    std::size_t next = 0;
    QElapsedTimer steady, total;
    total.start();
    bool failed = false;
    QTimer timer;
    timer.setInterval(40);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      if (next >= steps.size()) return;
      if (total.elapsed() > 20000) {
        if (!failed) ADD_FAILURE() << "no window \"" << steps[next].title << "\"";
        failed = true;
        for (QWidget* t : QApplication::topLevelWidgets())
          if (auto* d = qobject_cast<QFileDialog*>(t)) d->reject();
        for (ui::Window* w : ui::allWindows()) w->userClose();
        return;
      }
      ui::Window* found = nullptr;
      QWidget* view = nullptr;
      if (steps[next].title == kFileDialog) {
        for (QWidget* t : QApplication::topLevelWidgets())
          if (qobject_cast<QFileDialog*>(t) && t->isVisible()) view = t;
      } else {
        for (ui::Window* w : ui::allWindows())
          if (w->innermost() && w->title() == ansi(steps[next].title)) found = w;
        view = found ? screen->widgetOf(*found) : nullptr;
      }
      if (!view || !view->isVisible()) {
        steady.invalidate();
        return;
      }
      if (!steady.isValid()) steady.start();
      if (steady.elapsed() < 300) return;  // drawn and settled
      steady.invalidate();
      total.restart();
      steps[next++].act(found, view);
    });
    timer.start();
    import::S_ME();
    timer.stop();
    EXPECT_EQ(next, steps.size());
  }

  // Every text shown fits its control and stays inside the window; the window is
  // saved when pictures are asked for.
  void look(QWidget* view, const char* name) {
    for (QLabel* l : view->findChildren<QLabel*>()) {
      if (!l->isVisible() || l->text().isEmpty()) continue;
      EXPECT_LE(l->sizeHint().width(), l->width()) << name << ": \"" << l->text().toStdString() << "\"";
      EXPECT_LE(l->fontMetrics().height(), l->height()) << name << ": " << l->objectName().toStdString();
    }
    for (QPushButton* b : view->findChildren<QPushButton*>()) {
      if (!b->isVisible() || b->text().isEmpty()) continue;
      int text = b->fontMetrics().horizontalAdvance(b->text().remove(QLatin1Char('&')));
      EXPECT_LE(text + 8, b->width()) << name << ": \"" << b->text().toStdString() << "\"";
    }
    QWidget* client = view->findChild<QWidget*>(QStringLiteral("client"));
    for (QWidget* c : view->findChildren<QWidget*>()) {
      if (!c->isVisible() || !client || c->parentWidget() != client) continue;
      EXPECT_TRUE(client->rect().contains(c->geometry())) << name << ": " << c->objectName().toStdString();
    }
    if (!shots_.isEmpty()) {
      QApplication::processEvents();
      EXPECT_TRUE(view->grab().save(shots_ + "/" + name + ".png")) << name;
    }
  }
  static int item(ui::Window& w, const char* name) { return w.number(ansi(name)); }
  static std::string shown(ui::Window& w, const char* name) {
    return cp::toUtf8(trimRight(w.text(item(w, name))));
  }

  QString shots_;
};

TEST_F(ImportWindows, TheMenuAndTheStatementWindowShowEveryTextWhole) {
  dict::N_KL_A = 1;
  const std::string file =
      write("vypiska.txt", lokoStatement({{"5000.00", "1", "01-03-2024", "100.00", "Оплата", "ООО Альфа", "ООО Мы"},
                                          {"5000.00", "2", "02-03-2024", "-7.00", "Комиссия", "ООО Мы", "Банк"}}));
  std::string count, message, name;
  play({
      {"Реализация импорта",
       [&](ui::Window* w, QWidget* v) {
         EXPECT_NE(v->findChild<QMenuBar*>(), nullptr);
         look(v, "import-menu");
         w->userAccept(item(*w, "?KL1"));
       }},
      {"Предварительный импорт Локо-Банк",
       [&](ui::Window* w, QWidget* v) {
         look(v, "loko-open");
         w->userAccept(item(*w, "?LOOKUPFILE"));
       }},
      {kFileDialog,
       [&](ui::Window*, QWidget* v) {
         auto* d = qobject_cast<QFileDialog*>(v);
         EXPECT_EQ(d->windowTitle().toStdString(), "Выбор файла");
         EXPECT_EQ(d->nameFilters(), QStringList{QStringLiteral("All Files (*.txt)")});
         // The name typed into the dialog's name line.
         auto* line = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
         ASSERT_NE(line, nullptr);
         line->setText(QString::fromStdString(file));
         static_cast<QDialog*>(d)->accept();  // as the Open button does
       }},
      {"Предварительный импорт Локо-Банк",
       [&](ui::Window* w, QWidget*) {
         name = shown(*w, "?PATHZELK");

         w->userAccept(item(*w, "?BUTTON4"));
       }},
      {"Предварительный импорт Локо-Банк",
       [&](ui::Window* w, QWidget* v) {
         count = shown(*w, "?NS");
         message = shown(*w, "?MESSAGE");
         look(v, "loko-done");
         w->userAccept(item(*w, "?CANCELBUTTON"));
       }},
      {"Реализация импорта", [&](ui::Window* w, QWidget*) { w->userClose(); }},
  });
  EXPECT_EQ(name, file);
  EXPECT_EQ(count, "   2");
  EXPECT_EQ(message, "Задание выполнено");
}

TEST_F(ImportWindows, TheRfkWindowShowsEveryTextWhole) {
  dict::N_KL_A = 2;
  ASSERT_EQ(writePayments(dir / "subs_clt.dbf", {{0, day(2024, 3, 1), 0, 100, 0, "1", "ООО Альфа", "Оплата"}}), 0);
  std::string count;
  play({
      {"Реализация импорта", [&](ui::Window* w, QWidget*) { w->userAccept(item(*w, "?KL2")); }},
      {"Предварительный импорт-Клиент-Банк РФК",
       [&](ui::Window* w, QWidget* v) {
         look(v, "rfk-open");
         w->userType(item(*w, "?D1"), "01/03/2024");
         w->userAccept(item(*w, "?D1"));
         w->userType(item(*w, "?D2"), "31/03/2024");
         w->userAccept(item(*w, "?D2"));
         w->userAccept(item(*w, "?BUTTON4"));
       }},
      {"Предварительный импорт-Клиент-Банк РФК",
       [&](ui::Window* w, QWidget* v) {
         count = shown(*w, "?NS");
         look(v, "rfk-done");
         w->userAccept(item(*w, "?CANCELBUTTON"));
       }},
      {"Реализация импорта", [&](ui::Window* w, QWidget*) { w->userClose(); }},
  });
  EXPECT_EQ(count, "   1");
}

}  // namespace
}  // namespace zelk::test
