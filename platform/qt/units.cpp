#include "platform/qt/units.h"

#include <QFontMetrics>
#include <QStringList>
#include <cstdint>

#include "platform/core/codepage.h"

namespace zelk::qtui {

QFont mapFont(std::string_view face, int points) {
  static constexpr std::string_view kSans[] = {"MS Sans Serif", "Microsoft Sans Serif", "MS Shell Dlg",
                                               "MS Shell Dlg 2", "Arial", "Tahoma", "Verdana", "Segoe UI", ""};
  static constexpr std::string_view kMono[] = {"Courier New", "Courier", "Fixedsys", "Terminal", "Lucida Console"};
  static constexpr std::string_view kSerif[] = {"Times New Roman", "MS Serif", "Times"};
  QFont f;
  f.setStyleStrategy(QFont::PreferAntialias);
  auto any = [&](const auto& list) {
    for (std::string_view n : list)
      if (cp::sameName(face, n)) return true;
    return false;
  };
  if (any(kSans)) {
    f.setFamilies({QStringLiteral("Sans Serif"), QStringLiteral("DejaVu Sans")});
    f.setStyleHint(QFont::SansSerif);
  } else if (any(kMono)) {
    f.setFamilies({QStringLiteral("Monospace"), QStringLiteral("DejaVu Sans Mono")});
    f.setStyleHint(QFont::TypeWriter);
  } else if (any(kSerif)) {
    f.setFamilies({QStringLiteral("Serif"), QStringLiteral("DejaVu Serif")});
    f.setStyleHint(QFont::Serif);
  } else {
    f.setFamilies({qs(face), QStringLiteral("Sans Serif")});
    f.setStyleHint(QFont::SansSerif);
  }
  f.setPointSize(points > 0 ? points : 8);
  return f;
}

QString qs(std::string_view ansi) { return QString::fromStdString(cp::toUtf8(ansi)); }

std::string ansiOf(const QString& s) { return cp::fromUtf8(s.toStdString()); }

QString withoutMnemonic(const QString& s) {
  QString out;
  out.reserve(s.size());
  for (qsizetype i = 0; i < s.size(); ++i) {
    if (s[i] == QLatin1Char('&')) {
      if (i + 1 < s.size() && s[i + 1] == QLatin1Char('&')) {
        out += QLatin1Char('&');
        ++i;
      }
      continue;
    }
    out += s[i];
  }
  return out;
}

int mulDiv(int a, int b, int c) {
  if (c == 0) return 0;
  std::int64_t p = static_cast<std::int64_t>(a) * b;
  std::int64_t d = c;
  bool negative = (p < 0) != (d < 0);
  if (p < 0) p = -p;
  if (d < 0) d = -d;
  std::int64_t q = (p + d / 2) / d;
  return static_cast<int>(negative ? -q : q);
}

Units::Units(const QFont& font) {
  QFontMetrics fm(font);
  // The average width of the Latin letters, as Windows computes its dialog base unit.
  int cx = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  avgWidth_ = (cx / 26 + 1) / 2;
  if (avgWidth_ < 1) avgWidth_ = 1;
  height_ = fm.height();
  if (height_ < 1) height_ = 1;
}

int Units::x(int du) const { return mulDiv(du, avgWidth_, 4); }
int Units::y(int du) const { return mulDiv(du, height_, 8); }
int Units::duX(int px) const { return mulDiv(px, 4, avgWidth_); }
int Units::duY(int px) const { return mulDiv(px, 8, height_); }

}  // namespace zelk::qtui
