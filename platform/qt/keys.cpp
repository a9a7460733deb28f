#include "platform/qt/keys.h"

#include <QGuiApplication>
#include <QKeyEvent>

namespace zelk::qtui {
namespace {

// The letter under a key by its place on the keyboard (X keycodes of a PC keyboard),
// so that Ctrl+H is Ctrl+H whatever the layout.
int letterAt(quint32 scanCode) {
  static constexpr char kRow1[] = "QWERTYUIOP";  // 24..33
  static constexpr char kRow2[] = "ASDFGHJKL";   // 38..46
  static constexpr char kRow3[] = "ZXCVBNM";     // 52..58
  if (scanCode >= 24 && scanCode <= 33) return kRow1[scanCode - 24];
  if (scanCode >= 38 && scanCode <= 46) return kRow2[scanCode - 38];
  if (scanCode >= 52 && scanCode <= 58) return kRow3[scanCode - 52];
  return 0;
}

}  // namespace

int keyCodeOf(const QKeyEvent* e) {
  const Qt::KeyboardModifiers m = e->modifiers();
  const bool ctrl = m & Qt::ControlModifier, alt = m & Qt::AltModifier;
  bool shift = m & Qt::ShiftModifier;
  const int k = e->key();
  int vk = 0;
  bool character = false;
  switch (k) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      vk = 0x0D;
      break;
    case Qt::Key_Escape:
      vk = 0x1B;
      break;
    case Qt::Key_Backtab:
      shift = true;
      vk = 0x09;
      break;
    case Qt::Key_Tab:
      vk = 0x09;
      break;
    case Qt::Key_Backspace:
      vk = 0x08;
      break;
    case Qt::Key_Space:
      vk = 0x20;
      character = true;
      break;
    case Qt::Key_PageUp:
      vk = 0x21;
      break;
    case Qt::Key_PageDown:
      vk = 0x22;
      break;
    case Qt::Key_End:
      vk = 0x23;
      break;
    case Qt::Key_Home:
      vk = 0x24;
      break;
    case Qt::Key_Left:
      vk = 0x25;
      break;
    case Qt::Key_Up:
      vk = 0x26;
      break;
    case Qt::Key_Right:
      vk = 0x27;
      break;
    case Qt::Key_Down:
      vk = 0x28;
      break;
    case Qt::Key_Insert:
      vk = 0x2D;
      break;
    case Qt::Key_Delete:
      vk = 0x2E;
      break;
    default:
      if (k >= Qt::Key_F1 && k <= Qt::Key_F24) {
        vk = 0x70 + (k - Qt::Key_F1);
      } else if ((k >= Qt::Key_A && k <= Qt::Key_Z) || (k >= Qt::Key_0 && k <= Qt::Key_9)) {
        vk = k;
        character = true;
      } else if ((ctrl || alt) && QGuiApplication::platformName() == QLatin1String("xcb")) {
        vk = letterAt(e->nativeScanCode());
        character = vk != 0;
      }
      break;
  }
  if (vk == 0) return 0;
  if (character && !ctrl && !alt) return 0;  // typed
  int code = vk;
  if (ctrl) code |= 0x200;
  if (shift) code |= 0x400;
  if (alt) code |= 0x800;
  if (!ctrl && !shift && !alt) code |= 0x100;
  return code;
}

}  // namespace zelk::qtui
