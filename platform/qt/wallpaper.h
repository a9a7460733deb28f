#pragma once
// The wallpaper drawn behind a window's client area: our own picture, a sheet of
// ledger paper (a soft gradient, ruled lines, a margin and amount columns).
#include <QPixmap>
#include <QSize>

namespace zelk::qtui {

QPixmap ledgerWallpaper(QSize size);

}  // namespace zelk::qtui
