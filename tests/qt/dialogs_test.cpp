// The open-file dialog, the printer set-up dialog and the wait cursor.
#include <QFileDialog>
#include <QPrintDialog>
#include <QTimer>
#include <atomic>
#include <fstream>
#include <optional>
#include <thread>

#include "demo_windows.h"
#include "support/tempdir.h"
#include "qt_support.h"

namespace zelk::test {
namespace {

template <class T>
T* openDialog() {
  for (QWidget* t : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<T*>(t); d && d->isVisible()) return d;
  return nullptr;
}

ui::Backend::FileDialog statementDialog() {
  ui::Backend::FileDialog d;
  d.title = ansi("Выберите файл выписки");
  d.filters = {{"All Files", "*.txt"}};
  return d;
}

TEST(QtDialogs, OpenFileAnswersTheChosenFullNameIn1251) {
  TempDir dir;
  std::string file = dir / "выписка.txt";
  std::ofstream(file) << "x";
  ui::Window w(listWindow("Импорт"));
  w.open();
  QString title;
  QStringList filters;
  QFileDialog::FileMode mode{};
  QTimer::singleShot(0, [&] {
    ASSERT_TRUE(pumpUntil([] { return openDialog<QFileDialog>() != nullptr; }));
    QFileDialog* d = openDialog<QFileDialog>();
    title = d->windowTitle();
    filters = d->nameFilters();
    mode = d->fileMode();
    d->selectFile(QString::fromStdString(file));
    static_cast<QDialog*>(d)->accept();  // as its Open button does
  });
  std::optional<std::string> chosen = ui::backend().askOpenFile(w, statementDialog());
  EXPECT_EQ(title, u("Выберите файл выписки"));
  EXPECT_EQ(filters, QStringList{QStringLiteral("All Files (*.txt)")});
  EXPECT_EQ(mode, QFileDialog::ExistingFile);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(*chosen, ansi(file));
  w.close();
}

TEST(QtDialogs, DialogsOfAnotherThreadAnswerCancelled) {
  std::atomic<bool> fileDone{false}, printDone{false}, closed{false};
  std::optional<std::string> chosen = std::string("not asked");
  std::thread worker([&] {
    ui::Window w(listWindow("Поиск"));
    w.open();
    chosen = ui::backend().askOpenFile(w, statementDialog());
    fileDone = true;
    ui::backend().printerSetup(w);
    printDone = true;
    w.close();
    closed = true;
  });
  ASSERT_TRUE(pumpUntil([] { return openDialog<QFileDialog>() != nullptr; }));
  openDialog<QFileDialog>()->reject();
  ASSERT_TRUE(pumpUntil([&] { return fileDone.load(); }));
  ASSERT_TRUE(pumpUntil([] { return openDialog<QPrintDialog>() != nullptr; }, 15000));
  openDialog<QPrintDialog>()->reject();
  // The worker's close goes through the GUI thread: never join before it is done.
  ASSERT_TRUE(pumpUntil([&] { return closed.load(); }));
  worker.join();
  EXPECT_TRUE(printDone);
  EXPECT_FALSE(chosen.has_value());
}

TEST(QtDialogs, WaitCursor) {
  ui::Window w(listWindow("Импорт"));
  w.open();
  w.setCursor(ui::Cursor::Wait);
  w.setCursor(ui::Cursor::Wait);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  w.setCursor(ui::Cursor::Arrow);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  w.close();
}

}  // namespace
}  // namespace zelk::test
