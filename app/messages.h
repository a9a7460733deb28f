#pragma once
// The program's message table, loaded into the error manager at start.
#include <span>

#include "platform/framework/errors.h"

namespace zelk::app {

// DefaultErrors: every message the program raises, by id, with its level, title and
// text (UTF-8; the error manager converts it to 1251).
std::span<const fw::MessageEntry> defaultErrors();

}  // namespace zelk::app
