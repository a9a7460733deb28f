#pragma once
// Key presses as the window model knows them.
class QKeyEvent;

namespace zelk::qtui {

// Windows' key codes of a key press: a virtual key with 0x100 alone, 0x200 with
// Ctrl, 0x400 with Shift, 0x800 with Alt; 0 for a typed character.
int keyCodeOf(const QKeyEvent* e);

}  // namespace zelk::qtui
