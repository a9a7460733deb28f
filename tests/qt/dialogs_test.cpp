// The open-file dialog, the printer set-up dialog and the wait cursor.
#include <QAbstractButton>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QTreeView>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "demo_windows.h"
#include "platform/qt/printsetup.h"
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
  QString title, cancel;
  QStringList filters;
  QFileDialog::FileMode mode{};
  bool roomy = false;
  QTimer::singleShot(0, [&] {
    ASSERT_TRUE(pumpUntil([] { return openDialog<QFileDialog>() != nullptr; }));
    QFileDialog* d = openDialog<QFileDialog>();
    title = d->windowTitle();
    filters = d->nameFilters();
    mode = d->fileMode();
    if (auto* box = d->findChild<QDialogButtonBox*>()) cancel = box->button(QDialogButtonBox::Cancel)->text();
    // Room for the name, size, type and date columns, or most of a smaller screen.
    const int screenWidth = d->screen()->availableGeometry().width();
    roomy = d->width() >= std::min(130 * d->fontMetrics().averageCharWidth(), screenWidth * 9 / 10);
    d->selectFile(QString::fromStdString(file));
    static_cast<QDialog*>(d)->accept();  // as its Open button does
  });
  std::optional<std::string> chosen = ui::backend().askOpenFile(w, statementDialog());
  EXPECT_EQ(title, u("Выберите файл выписки"));
  EXPECT_EQ(filters, QStringList{QStringLiteral("All Files (*.txt)")});
  EXPECT_EQ(mode, QFileDialog::ExistingFile);
  EXPECT_EQ(cancel, u("Отмена"));  // Qt's own texts in Russian
  EXPECT_TRUE(roomy);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(*chosen, ansi(file));
  w.close();
}

// Qt's own texts of the dialog's files in Russian: sizes, dates, a folder's type.
TEST(QtDialogs, OpenFileShowsSizesDatesAndFoldersInRussian) {
  TempDir dir;
  const std::string file = dir / "выписка.txt";
  std::ofstream(file) << std::string(384, 'x');
  std::filesystem::create_directory(dir / "архив");
  ui::Window w(listWindow("Импорт"));
  w.open();
  QString size, date, fileType, folderType;
  QTimer::singleShot(0, [&] {
    ASSERT_TRUE(pumpUntil([] { return openDialog<QFileDialog>() != nullptr; }));
    QFileDialog* d = openDialog<QFileDialog>();
    d->setDirectory(QString::fromStdString(dir.path().string()));
    auto* details = d->findChild<QTreeView*>(QStringLiteral("treeView"));
    ASSERT_NE(details, nullptr);
    auto cellOf = [&](const QString& name, int column) {
      const QAbstractItemModel* m = details->model();
      for (int r = 0; r < m->rowCount(details->rootIndex()); ++r)
        if (m->index(r, 0, details->rootIndex()).data().toString() == name)
          return m->index(r, column, details->rootIndex()).data().toString();
      return QString();
    };
    // The folder is read in the background.
    EXPECT_TRUE(pumpUntil([&] { return !cellOf(u("выписка.txt"), 1).isEmpty() && !cellOf(u("архив"), 2).isEmpty(); }));
    size = cellOf(u("выписка.txt"), 1);
    date = cellOf(u("выписка.txt"), 3);
    fileType = cellOf(u("выписка.txt"), 2);
    folderType = cellOf(u("архив"), 2);
    d->reject();
  });
  EXPECT_FALSE(ui::backend().askOpenFile(w, statementDialog()).has_value());
  EXPECT_TRUE(size.startsWith(u("384 байт"))) << size.toStdString();  // Qt's own Russian unit
  EXPECT_EQ(size, QLocale(QLocale::Russian).formattedDataSize(384));
  EXPECT_EQ(date, QLocale(QLocale::Russian).toString(QFileInfo(QString::fromStdString(file)).lastModified(),
                                                     QLocale::ShortFormat));
  EXPECT_EQ(folderType, u("Папка"));
  EXPECT_FALSE(fileType.isEmpty());
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
  ASSERT_TRUE(pumpUntil([] { return openDialog<qtui::PrinterSetupDialog>() != nullptr; }, 15000));
  openDialog<qtui::PrinterSetupDialog>()->reject();
  // The worker's close goes through the GUI thread: never join before it is done.
  ASSERT_TRUE(pumpUntil([&] { return closed.load(); }));
  worker.join();
  EXPECT_TRUE(printDone);
  EXPECT_FALSE(chosen.has_value());
}

// The printer set-up offers a printer, a paper size and the orientation, has nothing
// to print with, and keeps the choice for the next time.
TEST(QtDialogs, PrinterSetupChoosesPrinterPaperAndOrientation) {
  ui::Window w(listWindow("Печать"));
  w.open();
  struct Seen {
    QString title;
    int printers = 0;
    QString paper;
    bool landscape = false;
    QStringList buttons;
  };
  auto look = [](Seen& seen, bool choose) {
    ASSERT_TRUE(pumpUntil([] { return openDialog<qtui::PrinterSetupDialog>() != nullptr; }));
    auto* d = openDialog<qtui::PrinterSetupDialog>();
    auto* printers = d->findChild<QComboBox*>(QStringLiteral("printer"));
    auto* paper = d->findChild<QComboBox*>(QStringLiteral("paper"));
    auto* landscape = d->findChild<QRadioButton*>(QStringLiteral("landscape"));
    ASSERT_TRUE(printers && paper && landscape);
    seen.title = d->windowTitle();
    seen.printers = printers->count();
    seen.paper = paper->currentText();
    seen.landscape = landscape->isChecked();
    for (QAbstractButton* b : d->findChildren<QPushButton*>()) seen.buttons << b->text();
    if (!choose) return d->reject();
    paper->setCurrentIndex(paper->findText(QStringLiteral("A5")));
    landscape->setChecked(true);
    d->accept();
  };
  Seen first, second;
  QTimer::singleShot(0, [&] { look(first, true); });
  ui::backend().printerSetup(w);
  QTimer::singleShot(0, [&] { look(second, false); });
  ui::backend().printerSetup(w);
  w.close();

  EXPECT_EQ(first.title, u("Свойства принтера"));
  EXPECT_GE(first.printers, 1);
  EXPECT_FALSE(first.landscape);
  EXPECT_EQ(first.buttons, (QStringList{u("OK"), u("Отмена")}));  // no printing here
  EXPECT_EQ(second.paper, QStringLiteral("A5"));
  EXPECT_TRUE(second.landscape);
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
