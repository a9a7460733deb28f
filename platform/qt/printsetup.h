#pragma once
// The printer set-up dialog: the printer, its paper size and the orientation, chosen
// for the program's printer, which keeps them until the program ends. Nothing is
// printed. Its texts are Qt's own, in the language of Qt's loaded translations.
#include <QDialog>

class QButtonGroup;
class QComboBox;
class QLabel;
class QPrinter;

namespace zelk::qtui {

class PrinterSetupDialog : public QDialog {
  Q_OBJECT
 public:
  PrinterSetupDialog(QPrinter& printer, QWidget* parent);

  // The choice becomes the printer's.
  void accept() override;

 private:
  void printerChosen();

  QPrinter& printer_;
  QComboBox* printers_;
  QLabel* location_;
  QLabel* type_;
  QComboBox* papers_;
  QButtonGroup* orientation_;
};

}  // namespace zelk::qtui
