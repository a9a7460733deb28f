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
#include "support/screen_steps.h"
#include "platform/ui/window.h"
#include "tests/import/fixture.h"

namespace zelk::test {
namespace {

constexpr const char* kFileDialog = "";  // a step on the screen's open-file dialog
// The postings list every run opens on its result.
constexpr const char* kPostingsList = "Дополнительная обработка по импорту";
void closeList(ui::Window* w, QWidget*) { w->userAccept(w->number("?CLOSE")); }

class ImportWindows : public ImportTest {
 protected:
  static void SetUpTestSuite() { TestScreen::start(); }
  static void TearDownTestSuite() { TestScreen::stop(); }
  static int item(ui::Window& w, const char* name) { return w.number(ansi(name)); }
  static std::string shown(ui::Window& w, const char* name) {
    return cp::toUtf8(trimRight(w.text(item(w, name))));
  }
};

TEST_F(ImportWindows, TheMenuAndTheStatementWindowShowEveryTextWhole) {
  dict::N_KL_A = 1;
  const std::string file =
      write("vypiska.txt", lokoStatement({{"5000.00", "1", "01-03-2024", "100.00", "Оплата", "ООО Альфа", "ООО Мы"},
                                          {"5000.00", "2", "02-03-2024", "-7.00", "Комиссия", "ООО Мы", "Банк"}}));
  std::string count, message, name;
  playSteps({
      {"Реализация импорта",
       [&](ui::Window* w, QWidget* v) {
         EXPECT_NE(v->findChild<QMenuBar*>(), nullptr);
         lookAt(v, "import-menu");
         w->userAccept(item(*w, "?KL1"));
       }},
      {"Предварительный импорт Локо-Банк",
       [&](ui::Window* w, QWidget* v) {
         lookAt(v, "loko-open");
         w->userAccept(item(*w, "?LOOKUPFILE"));
       }},
      {kFileDialog,
       [&](ui::Window*, QWidget* v) {
         auto* d = qobject_cast<QFileDialog*>(v);
         lookAtScreen("file-dialog");
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
      {kPostingsList,
       [&](ui::Window* w, QWidget* v) {
         lookAtScreen("desktop-postings");  // over the import window that opened it
         closeList(w, v);
       }},
      {"Предварительный импорт Локо-Банк",
       [&](ui::Window* w, QWidget* v) {
         count = shown(*w, "?NS");
         message = shown(*w, "?MESSAGE");
         lookAt(v, "loko-done");
         lookAtScreen("desktop-import");  // over the menu that opened it
         w->userAccept(item(*w, "?CANCELBUTTON"));
       }},
      {"Реализация импорта", [&](ui::Window* w, QWidget*) { w->userClose(); }},
  }, import::S_ME);
  EXPECT_EQ(name, file);
  EXPECT_EQ(count, "    2");
  EXPECT_EQ(message, "Задание выполнено");
}

TEST_F(ImportWindows, TheRfkWindowShowsEveryTextWhole) {
  dict::N_KL_A = 2;
  ASSERT_EQ(writePayments(dir / "subs_clt.dbf", {{0, day(2024, 3, 1), 0, 100, 0, "1", "ООО Альфа", "Оплата"}}), 0);
  std::string count;
  playSteps({
      {"Реализация импорта", [&](ui::Window* w, QWidget*) { w->userAccept(item(*w, "?KL2")); }},
      {"Предварительный импорт-Клиент-Банк РФК",
       [&](ui::Window* w, QWidget* v) {
         lookAt(v, "rfk-open");
         w->userType(item(*w, "?D1"), "01/03/2024");
         w->userAccept(item(*w, "?D1"));
         w->userType(item(*w, "?D2"), "31/03/2024");
         w->userAccept(item(*w, "?D2"));
         w->userAccept(item(*w, "?BUTTON4"));
       }},
      {kPostingsList, closeList},
      {"Предварительный импорт-Клиент-Банк РФК",
       [&](ui::Window* w, QWidget* v) {
         count = shown(*w, "?NS");
         lookAt(v, "rfk-done");
         w->userAccept(item(*w, "?CANCELBUTTON"));
       }},
      {"Реализация импорта", [&](ui::Window* w, QWidget*) { w->userClose(); }},
  }, import::S_ME);
  EXPECT_EQ(count, "    1");
}

TEST_F(ImportWindows, TheBssWindowShowsEveryTextWhole) {
  dict::N_KL_A = 3;
  const std::string file = write(
      "vypiska.txt", crlfLines({dos("ВЫПИСКА"), bssHeader("01.03.2024", "5000,00"),
                                bssDocument({"01.03.2024", "1", "40702810000000009999", "ООО Альфа", "ООО Мы",
                                             "100,00", "Оплата"})}));
  std::string count;
  playSteps({
      {"Реализация импорта", [&](ui::Window* w, QWidget*) { w->userAccept(item(*w, "?KL3")); }},
      {"Предварительный импорт Клиент-Банка BSS",
       [&](ui::Window* w, QWidget* v) {
         lookAt(v, "bss-open");
         w->userAccept(item(*w, "?LOOKUPFILE"));
       }},
      {kFileDialog,
       [&](ui::Window*, QWidget* v) {
         auto* d = qobject_cast<QFileDialog*>(v);
         d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QString::fromStdString(file));
         static_cast<QDialog*>(d)->accept();
       }},
      {"Предварительный импорт Клиент-Банка BSS",
       [&](ui::Window* w, QWidget*) { w->userAccept(item(*w, "?BUTTON4")); }},
      {kPostingsList, closeList},
      {"Предварительный импорт Клиент-Банка BSS",
       [&](ui::Window* w, QWidget* v) {
         count = shown(*w, "?NS");
         lookAt(v, "bss-done");
         w->userAccept(item(*w, "?CANCELBUTTON"));
       }},
      {"Реализация импорта", [&](ui::Window* w, QWidget*) { w->userClose(); }},
  }, import::S_ME);
  EXPECT_EQ(count, "    1");
}

}  // namespace
}  // namespace zelk::test
