#pragma once
// Dialog units and fonts: a window's positions and sizes are in dialog units of its
// font, a quarter of the average character width across and an eighth of the
// character height down, as Windows measures them.
#include <QFont>
#include <QString>
#include <string>
#include <string_view>

#include "platform/ui/defs.h"

namespace zelk::qtui {

// The font a definition names (1251 face name, size in points) on this system:
// "MS Sans Serif" and the other Windows sans-serif faces map to the system's
// sans-serif font, "Courier New" to its monospace one, "Times New Roman" to its serif.
QFont mapFont(std::string_view face, int points);

// Text of the model (1251) for the screen and back.
QString qs(std::string_view ansi);
std::string ansiOf(const QString& s);

// A label text with "&" marking the mnemonic, without it ("&&" stays one "&").
QString withoutMnemonic(const QString& s);

class Units {
 public:
  explicit Units(const QFont& font);
  int avgCharWidth() const { return avgWidth_; }
  int charHeight() const { return height_; }
  // Dialog units to pixels and back (rounded as Windows' MulDiv does).
  int x(int du) const;
  int y(int du) const;
  int duX(int px) const;
  int duY(int px) const;

 private:
  int avgWidth_ = 1;
  int height_ = 1;
};

// a * b / c rounded half away from zero.
int mulDiv(int a, int b, int c);

}  // namespace zelk::qtui
