#include "platform/qt/boxes.h"

#include <QPushButton>

#include "platform/qt/units.h"

namespace zelk::qtui {

namespace {

struct ButtonKind {
  unsigned bit;
  const char* caption;
  QMessageBox::ButtonRole role;
};

// In the order Windows shows them.
constexpr ButtonKind kButtons[] = {
    {fw::kButtonAbort, "&Abort", QMessageBox::RejectRole}, {fw::kButtonRetry, "&Retry", QMessageBox::AcceptRole},
    {fw::kButtonIgnore, "&Ignore", QMessageBox::AcceptRole}, {fw::kButtonYes, "&Yes", QMessageBox::YesRole},
    {fw::kButtonNo, "&No", QMessageBox::NoRole},           {fw::kButtonOk, "OK", QMessageBox::AcceptRole},
    {fw::kButtonCancel, "Cancel", QMessageBox::RejectRole},
};

}  // namespace

QString BoxDialog::caption(unsigned button) {
  for (const ButtonKind& k : kButtons)
    if (k.bit == button) return QString::fromLatin1(k.caption);
  return {};
}

BoxDialog::BoxDialog(const fw::Box& box, QWidget* parent) : QMessageBox(parent) {
  setWindowTitle(qs(box.caption));
  QStringList lines;
  for (const std::string& line : fw::boxLines(box.text)) lines << qs(line);
  setTextFormat(Qt::PlainText);
  setText(lines.join(QLatin1Char('\n')));
  switch (box.icon) {
    case fw::Icon::Question:
      setIcon(QMessageBox::Question);
      break;
    case fw::Icon::Exclamation:
      setIcon(QMessageBox::Warning);
      break;
    case fw::Icon::None:
      setIcon(QMessageBox::NoIcon);
      break;
  }
  unsigned bits = box.buttons ? box.buttons : unsigned(fw::kButtonOk);
  for (const ButtonKind& k : kButtons)
    if (bits & k.bit) buttons_.emplace_back(addButton(QString::fromLatin1(k.caption), k.role), k.bit);

  // Esc and the close box answer Cancel, else No, else the only button.
  QAbstractButton* escape = nullptr;
  fallback_ = box.defaultButton;
  for (unsigned bit : {unsigned(fw::kButtonCancel), unsigned(fw::kButtonNo), unsigned(fw::kButtonAbort)})
    for (auto& [b, v] : buttons_)
      if (!escape && v == bit) {
        escape = b;
        fallback_ = v;
      }
  if (!escape && buttons_.size() == 1) {
    escape = buttons_.front().first;
    fallback_ = buttons_.front().second;
  }
  if (escape) setEscapeButton(escape);
  for (auto& [b, v] : buttons_)
    if (v == box.defaultButton) setDefaultButton(static_cast<QPushButton*>(b));
  setWindowModality(Qt::WindowModal);
}

unsigned BoxDialog::answer() const {
  QAbstractButton* clicked = clickedButton();
  for (auto& [b, v] : buttons_)
    if (b == clicked) return v;
  return fallback_;
}

}  // namespace zelk::qtui
