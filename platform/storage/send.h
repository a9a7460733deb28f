#pragma once
// A driver's SEND command: "name" or "name=value"; the name's letters in either case,
// the blanks around the name and the value not part of them.
#include <string_view>

#include "platform/core/codepage.h"
#include "platform/core/text.h"

namespace zelk::storage {

struct SendCommand {
  std::string_view name;
  std::string_view value;  // empty without '='
  bool hasValue = false;

  bool is(std::string_view n) const { return cp::sameAsciiName(name, n); }
  bool valueIs(std::string_view v) const { return hasValue && cp::sameAsciiName(value, v); }
};

inline SendCommand parseSend(std::string_view command) {
  const std::size_t eq = command.find('=');
  if (eq == std::string_view::npos) return {trim(command), {}, false};
  return {trim(command.substr(0, eq)), trim(command.substr(eq + 1)), true};
}

}  // namespace zelk::storage
