#pragma once
// The pictures the window definitions name by file name: the standard buttons'
// icons ("WAOK.ICO", "WACANCEL.ICO", ...) and the program's icon ("QVT5.ICO"). They
// are drawn here, so they show alike on every desktop, with or without an icon theme.
#include <QIcon>
#include <string_view>

namespace zelk::qtui {

// The icon of a name (letter case aside); a null icon for a name not known here.
QIcon namedIcon(std::string_view name);

// The program's own icon: a ledger page with an arrow coming in.
QIcon programIcon();

}  // namespace zelk::qtui
