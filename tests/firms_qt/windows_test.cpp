// The frame, the firm list, the firm form and the firm choice drawn by the screen:
// the real procedures run on the GUI thread while a timer plays the person. Every
// text of every window must fit its control. With ZELK_SCREENSHOT_DIR set (as
// scripts/screenshots sets it under Xvfb) each window is also saved as a PNG.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/frame.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "platform/core/codepage.h"
#include "platform/qt/screen.h"
#include "platform/ui/window.h"
#include "support/program.h"

namespace zelk::test {
namespace {

std::unique_ptr<TempDir> runtimeDir;
qtui::Screen* screen = nullptr;

class FirmWindows : public ProgramTest {
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
    ProgramTest::SetUp();
    const char* d = std::getenv("ZELK_SCREENSHOT_DIR");
    if (d && *d) shots_ = QString::fromLocal8Bit(d);
    addFirms();
  }

  void addFirms() {
    storage::TypedFile<dict::FnmRecord> f{dict::F_NAME_DECL};
    dict::Relate::F_NAME->Open();  // creates the file
    ASSERT_EQ(f.open(storage::mode::kReadWrite | storage::mode::kDenyNone), 0);
    struct Firm {
      int code;
      const char *name, *path, *schB;
    } firms[] = {
        {1, "ООО \"Ромашка\"", "C:\\ZELK\\ROMASHKA", "51"},
        {2, "ЗАО \"Северный торговый дом\"", "\\\\SERVER\\ZELK\\SEVER", "51.1"},
        {3, "ИП Иванов Иван Иванович", "D:\\BASES\\IVANOV", "51.2"},
        {12, "ООО \"Техноснаб-Поволжье\"", "E:\\ZELK\\TEHNOSNAB\\2005", "51"},
    };
    for (const Firm& x : firms) {
      f.clearBuffer();
      f.rec.KOD = static_cast<std::int16_t>(x.code);
      f.rec.NAME = ansi(x.name);
      f.rec.PATH = ansi(x.path);
      f.rec.PATH_PLN = ansi("C:\\ZELK\\PLAN");
      f.rec.SCH_B = ansi(x.schB);
      f.rec.RFKPATH = ansi("C:\\RFK\\PAY");
      f.rec.N_SC_P = ansi("40702810900000001234");
      f.rec.N_KL = static_cast<std::uint8_t>(x.code % 3 + 1);
      ASSERT_EQ(f.add(), 0);
    }
    f.close();
    dict::Relate::F_NAME->Close();
  }

  // What the person does at each window, in order: when the window with the title
  // is the innermost one of the GUI thread and has been drawn, act runs.
  struct Step {
    std::string title;  // UTF-8
    std::function<void(ui::Window&, QWidget*)> act;
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
        for (ui::Window* w : ui::allWindows()) w->userClose();
        return;
      }
      ui::Window* found = nullptr;
      for (ui::Window* w : ui::allWindows())
        if (w->innermost() && w->title() == ansi(steps[next].title)) found = w;
      QWidget* view = found ? screen->widgetOf(*found) : nullptr;
      if (!view || !view->isVisible()) {
        steady.invalidate();
        return;
      }
      if (!steady.isValid()) steady.start();
      if (steady.elapsed() < 300) return;  // drawn and settled
      steady.invalidate();
      total.restart();
      steps[next++].act(*found, view);
    });
    timer.start();
    app::MAIN();
    timer.stop();
    EXPECT_EQ(next, steps.size());
  }

  // Every text shown fits its control; the window is saved when pictures are asked for.
  void look(QWidget* view, const char* name) {
    for (QLabel* l : view->findChildren<QLabel*>()) {
      if (!l->isVisible() || l->text().isEmpty()) continue;
      QSize need = l->sizeHint();
      EXPECT_LE(need.width(), l->width()) << name << ": " << l->objectName().toStdString() << " \""
                                          << l->text().toStdString() << "\"";
      EXPECT_LE(l->fontMetrics().height(), l->height()) << name << ": " << l->objectName().toStdString();
    }
    for (QAbstractButton* b : view->findChildren<QAbstractButton*>()) {
      if (!b->isVisible() || b->text().isEmpty()) continue;
      if (!qobject_cast<QPushButton*>(b) && !qobject_cast<QRadioButton*>(b)) continue;
      QSize need = b->sizeHint();
      // A push button's hint carries a minimum width of its own; its text needs less.
      int text = b->fontMetrics().horizontalAdvance(b->text().remove(QLatin1Char('&')));
      EXPECT_LE(qobject_cast<QRadioButton*>(b) ? need.width() : text + 8, b->width())
          << name << ": " << b->objectName().toStdString() << " \"" << b->text().toStdString() << "\"";
      EXPECT_LE(b->fontMetrics().height(), b->height()) << name << ": " << b->objectName().toStdString();
    }
    for (QGroupBox* g : view->findChildren<QGroupBox*>()) {
      if (!g->isVisible()) continue;
      EXPECT_LE(g->fontMetrics().horizontalAdvance(g->title()) + 16, g->width()) << name;
    }
    // The controls stay inside the window.
    for (QWidget* c : view->findChildren<QWidget*>()) {
      if (!c->isVisible() || c->parentWidget() != view->findChild<QWidget*>(QStringLiteral("client"))) continue;
      EXPECT_TRUE(c->parentWidget()->rect().contains(c->geometry()))
          << name << ": " << c->objectName().toStdString() << " leaves the window";
    }
    if (!shots_.isEmpty()) {
      QApplication::processEvents();
      EXPECT_TRUE(view->grab().save(shots_ + "/" + name + ".png")) << name;
    }
  }
  // The whole screen, for a menu that is open.
  void lookAtScreen(const char* name) {
    if (shots_.isEmpty()) return;
    if (QScreen* s = QGuiApplication::primaryScreen()) s->grabWindow(0).save(shots_ + "/" + name + ".png");
  }

  QString shots_;
};

TEST_F(FirmWindows, FrameListFormAndChoiceShowEveryTextWhole) {
  auto item = [](ui::Window& w, const char* name) { return w.number(ansi(name)); };
  play({
      {"Иморт выписок из систем Клиент-Банк",
       [&](ui::Window& w, QWidget* v) {
         look(v, "frame");
         if (!shots_.isEmpty()) {
           // The settings menu, open.
           if (auto* bar = v->findChild<QMenuBar*>()) {
             QMenu* menu = bar->actions().at(0)->menu();
             menu->popup(v->mapToGlobal(bar->geometry().bottomLeft()));
             QElapsedTimer t;
             t.start();
             while (t.elapsed() < 300) QApplication::processEvents();
             lookAtScreen("frame-menu");
             menu->hide();
           }
         }
         w.userAccept(item(w, "?НАСТРОЙКИНАСТРОЙКАПУТЕЙКБАЗЕ"));
       }},
      {"Настройка фирм для иморта",
       [&](ui::Window& w, QWidget* v) {
         EXPECT_EQ(w.rowCount(1), 4);
         w.userSelectRow(1, 2);
         look(v, "firm-list");
         w.userAccept(item(w, "?CHANGE:4"));
       }},
      {"Изменить ???",
       [&](ui::Window& w, QWidget* v) {
         look(v, "firm-form");
         w.userAccept(item(w, "?CANCEL"));
       }},
      {"Настройка фирм для иморта", [&](ui::Window& w, QWidget*) { w.userAccept(item(w, "?CLOSE")); }},
      {"Иморт выписок из систем Клиент-Банк", [&](ui::Window& w, QWidget*) { w.userAccept(item(w, "?PASTE")); }},
      {"Выбор фирмы для иморта",
       [&](ui::Window& w, QWidget* v) {
         look(v, "firm-choice-open");
         w.userAccept(item(w, "?BUTTON3"));
       }},
      {"Настройка фирм для иморта",
       [&](ui::Window& w, QWidget*) {
         w.userSelectRow(1, 2);
         w.userAccept(item(w, "?SELECT:2"));
       }},
      {"Выбор фирмы для иморта",
       [&](ui::Window& w, QWidget* v) {
         EXPECT_FALSE(w.hidden(item(w, "?BUTTON4")));
         look(v, "firm-choice");
         w.userClose();
       }},
      {"Иморт выписок из систем Клиент-Банк", [&](ui::Window& w, QWidget*) { w.userAccept(item(w, "?EXIT")); }},
  });
  EXPECT_EQ(dict::FIR, 2);
  EXPECT_EQ(cp::toUtf8(dict::N_FIR_A.str()), "ЗАО \"Северный торговый дом\"");
}

}  // namespace
}  // namespace zelk::test
