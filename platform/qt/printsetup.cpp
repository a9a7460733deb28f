#include "platform/qt/printsetup.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRadioButton>
#include <QVBoxLayout>

namespace zelk::qtui {

namespace {

// Qt's own texts, translated as Qt's dialogs translate them.
QString qtText(const char* context, const char* text) { return QCoreApplication::translate(context, text); }

// Paper sizes offered when the printer names none (a PDF file, no printer at all).
constexpr QPageSize::PageSizeId kCommonSizes[] = {QPageSize::A4,     QPageSize::A3,    QPageSize::A5,
                                                  QPageSize::B5,     QPageSize::Letter, QPageSize::Legal,
                                                  QPageSize::Executive};

}  // namespace

PrinterSetupDialog::PrinterSetupDialog(QPrinter& printer, QWidget* parent) : QDialog(parent), printer_(printer) {
  setWindowTitle(qtText("QPrintPropertiesDialog", "Printer Properties"));

  auto* printerBox = new QGroupBox(qtText("QPrintWidget", "Printer"), this);
  auto* printerForm = new QFormLayout(printerBox);
  printers_ = new QComboBox(printerBox);
  printers_->setObjectName(QStringLiteral("printer"));
  location_ = new QLabel(printerBox);
  type_ = new QLabel(printerBox);
  auto* nameLabel = new QLabel(qtText("QPrintWidget", "&Name:"), printerBox);
  nameLabel->setBuddy(printers_);
  printerForm->addRow(nameLabel, printers_);
  printerForm->addRow(qtText("QPrintWidget", "Location:"), location_);
  printerForm->addRow(qtText("QPrintWidget", "Type:"), type_);

  auto* paperBox = new QGroupBox(qtText("QPageSetupWidget", "Paper"), this);
  auto* paperForm = new QFormLayout(paperBox);
  papers_ = new QComboBox(paperBox);
  papers_->setObjectName(QStringLiteral("paper"));
  paperForm->addRow(qtText("QPageSetupWidget", "Page size:"), papers_);

  auto* orientationBox = new QGroupBox(qtText("QPageSetupWidget", "Orientation"), this);
  auto* orientationRow = new QVBoxLayout(orientationBox);
  orientation_ = new QButtonGroup(this);
  auto* portrait = new QRadioButton(qtText("QPageSetupWidget", "Portrait"), orientationBox);
  auto* landscape = new QRadioButton(qtText("QPageSetupWidget", "Landscape"), orientationBox);
  portrait->setObjectName(QStringLiteral("portrait"));
  landscape->setObjectName(QStringLiteral("landscape"));
  orientation_->addButton(portrait, QPageLayout::Portrait);
  orientation_->addButton(landscape, QPageLayout::Landscape);
  orientationRow->addWidget(portrait);
  orientationRow->addWidget(landscape);
  (printer.pageLayout().orientation() == QPageLayout::Landscape ? landscape : portrait)->setChecked(true);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* lower = new QHBoxLayout;
  lower->addWidget(paperBox, 1);
  lower->addWidget(orientationBox);
  auto* all = new QVBoxLayout(this);
  all->addWidget(printerBox);
  all->addLayout(lower);
  all->addWidget(buttons);

  // The printers of the system, the program's current one chosen; without one, the
  // choice is a PDF file (its name is asked for only when something prints).
  const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
  for (const QPrinterInfo& p : QPrinterInfo::availablePrinters()) {
    printers_->addItem(p.description().isEmpty() ? p.printerName() : p.description(), p.printerName());
    if (!toFile && p.printerName() == printer.printerName()) printers_->setCurrentIndex(printers_->count() - 1);
  }
  printers_->addItem(qtText("QPrintDialog", "Print to File (PDF)"), QString());
  if (toFile || printers_->count() == 1) printers_->setCurrentIndex(printers_->count() - 1);
  connect(printers_, &QComboBox::currentIndexChanged, this, &PrinterSetupDialog::printerChosen);
  printerChosen();
}

void PrinterSetupDialog::printerChosen() {
  const QString name = printers_->currentData().toString();
  const QPrinterInfo info = name.isEmpty() ? QPrinterInfo() : QPrinterInfo::printerInfo(name);
  location_->setText(info.location());
  type_->setText(info.makeAndModel());

  QList<QPageSize> sizes = info.isNull() ? QList<QPageSize>{} : info.supportedPageSizes();
  if (sizes.isEmpty())
    for (QPageSize::PageSizeId id : kCommonSizes) sizes.append(QPageSize(id));
  const QPageSize current = printer_.pageLayout().pageSize();
  const QPageSize preferred = info.isNull() ? QPageSize(QPageSize::A4) : info.defaultPageSize();
  papers_->clear();
  int chosen = -1, fallback = 0;
  for (const QPageSize& s : sizes) {
    papers_->addItem(s.name(), QVariant::fromValue(s));
    if (s.isEquivalentTo(current)) chosen = papers_->count() - 1;
    if (s.isEquivalentTo(preferred)) fallback = papers_->count() - 1;
  }
  papers_->setCurrentIndex(chosen >= 0 ? chosen : fallback);
}

void PrinterSetupDialog::accept() {
  const QString name = printers_->currentData().toString();
  if (name.isEmpty()) {
    printer_.setOutputFormat(QPrinter::PdfFormat);
  } else {
    printer_.setOutputFormat(QPrinter::NativeFormat);
    printer_.setPrinterName(name);
  }
  printer_.setPageSize(papers_->currentData().value<QPageSize>());
  printer_.setPageOrientation(static_cast<QPageLayout::Orientation>(orientation_->checkedId()));
  QDialog::accept();
}

}  // namespace zelk::qtui
