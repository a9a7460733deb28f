#include "platform/qt/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cctype>
#include <string>

namespace zelk::qtui {

namespace {

// Each picture is drawn on a 16 by 16 grid, scaled to the size asked for.
using Draw = void (*)(QPainter&);

const QColor kGreen(0x2e, 0x8b, 0x3a), kRed(0xc8, 0x32, 0x2d), kBlue(0x2f, 0x6c, 0xb5);
const QColor kInk(0x3a, 0x3f, 0x47), kPaper(0xfb, 0xfa, 0xf5);

QPen stroke(const QColor& c, double w) { return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

void disc(QPainter& p, const QColor& c) {
  p.setPen(QPen(c.darker(130), 0.8));
  p.setBrush(c);
  p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
}

void ok(QPainter& p) {
  p.setPen(stroke(kGreen, 2.6));
  p.drawPolyline(QPolygonF({{2.5, 8.5}, {6.2, 12.2}, {13.5, 3.8}}));
}

void cancel(QPainter& p) {
  p.setPen(stroke(kRed, 2.4));
  p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
  p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
}

// A list with its highlighted row and an arrow pointing at it.
void select(QPainter& p) {
  p.setPen(QPen(kInk, 0.8));
  p.setBrush(kPaper);
  p.drawRect(QRectF(5.5, 1.5, 9, 13));
  p.setPen(Qt::NoPen);
  p.setBrush(kBlue);
  p.drawRect(QRectF(6.5, 6.5, 7, 3));
  p.setPen(QPen(kInk, 0.8));
  p.drawLine(QPointF(7, 4), QPointF(13, 4));
  p.drawLine(QPointF(7, 12), QPointF(13, 12));
  p.setPen(stroke(kGreen, 1.8));
  p.drawLine(QPointF(0.8, 8), QPointF(4.2, 8));
  p.drawPolyline(QPolygonF({{2.6, 5.8}, {4.6, 8}, {2.6, 10.2}}));
}

void insert(QPainter& p) {
  disc(p, kGreen);
  p.setPen(stroke(Qt::white, 2.2));
  p.drawLine(QPointF(8, 4.5), QPointF(8, 11.5));
  p.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
}

// A pencil.
void change(QPainter& p) {
  QPainterPath body;
  body.moveTo(3, 13);
  body.lineTo(3.6, 10.2);
  body.lineTo(11.2, 2.6);
  body.lineTo(13.4, 4.8);
  body.lineTo(5.8, 12.4);
  body.closeSubpath();
  p.setPen(QPen(QColor(0x8a, 0x5a, 0x10), 0.8));
  p.setBrush(QColor(0xf2, 0xb1, 0x34));
  p.drawPath(body);
  p.setBrush(QColor(0xe3, 0x8a, 0x8a));
  p.drawPolygon(QPolygonF({{10.1, 3.7}, {11.2, 2.6}, {13.4, 4.8}, {12.3, 5.9}}));
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  p.drawPolygon(QPolygonF({{3, 13}, {3.3, 11.6}, {4.4, 12.7}}));
}

void remove(QPainter& p) {
  disc(p, kRed);
  p.setPen(stroke(Qt::white, 2.2));
  p.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
}

// A magnifying glass.
void view(QPainter& p) {
  p.setPen(stroke(kInk, 2.2));
  p.drawLine(QPointF(10, 10), QPointF(14, 14));
  p.setPen(QPen(kInk, 1.4));
  p.setBrush(QColor(0xd6, 0xe6, 0xf7));
  p.drawEllipse(QRectF(1.8, 1.8, 9.4, 9.4));
}

// A door with an arrow leaving through it.
void close(QPainter& p) {
  p.setPen(QPen(QColor(0x6b, 0x47, 0x1f), 0.8));
  p.setBrush(QColor(0xb0, 0x7a, 0x3c));
  p.drawRect(QRectF(2.5, 1.5, 7, 13));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xf2, 0xd7, 0x6b));
  p.drawEllipse(QRectF(7, 7.5, 1.5, 1.5));
  p.setPen(stroke(kRed, 1.8));
  p.drawLine(QPointF(8.5, 8), QPointF(14.5, 8));
  p.drawPolyline(QPolygonF({{12.3, 5.6}, {14.7, 8}, {12.3, 10.4}}));
}

void help(QPainter& p) {
  disc(p, kBlue);
  QFont f;
  f.setPixelSize(11);
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(QRectF(1.5, 1.5, 13, 13), Qt::AlignCenter, QStringLiteral("?"));
}

// A ruled ledger page, its red margin, and a green arrow coming in from the left.
void program(QPainter& p) {
  p.setPen(QPen(QColor(0x6c, 0x86, 0xa8), 0.7));
  p.setBrush(kPaper);
  p.drawRect(QRectF(4.5, 0.5, 11, 15));
  p.setPen(QPen(QColor(0x8c, 0xa6, 0xc8), 0.6));
  for (double y = 4; y < 15; y += 2.5) p.drawLine(QPointF(5.2, y), QPointF(15, y));
  p.setPen(QPen(QColor(0xc8, 0x5a, 0x5a), 0.6));
  p.drawLine(QPointF(7, 1), QPointF(7, 15));
  p.setPen(stroke(kGreen, 2.2));
  p.drawLine(QPointF(1, 9), QPointF(10, 9));
  p.drawPolyline(QPolygonF({{7, 6}, {10.2, 9}, {7, 12}}));
}

QIcon render(Draw draw) {
  QIcon icon;
  for (int size : {16, 20, 24, 32, 48, 64}) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    draw(p);
    p.end();
    icon.addPixmap(pm);
  }
  return icon;
}

struct Named {
  const char* name;
  Draw draw;
};
constexpr Named kIcons[] = {
    {"WAOK.ICO", ok},          {"WACANCEL.ICO", cancel}, {"WASELECT.ICO", select},
    {"WAINSERT.ICO", insert},  {"WACHANGE.ICO", change}, {"WADELETE.ICO", remove},
    {"WAVIEW.ICO", view},      {"WACLOSE.ICO", close},   {"WAHELP.ICO", help},
    {"QVT5.ICO", program},
};

}  // namespace

QIcon namedIcon(std::string_view name) {
  std::string upper(name);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const Named& n : kIcons)
    if (upper == n.name) return render(n.draw);
  return {};
}

QIcon programIcon() { return namedIcon("QVT5.ICO"); }

}  // namespace zelk::qtui
