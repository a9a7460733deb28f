#pragma once

namespace zelk::app {

// The application frame; returns when the frame closes.
void MAIN();

}  // namespace zelk::app
