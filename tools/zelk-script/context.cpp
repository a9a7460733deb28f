#include "tools/zelk-script/context.h"

#include <unistd.h>

#include <cstdio>

#include "platform/core/numtext.h"

namespace zelk::script {

[[noreturn]] void stop(Context& c, int status, const std::string& utf8) {
  int n = c.line;
  std::string out = c.path + ":" + numberText(n) + ": " + utf8 + "\n";
  if (n >= 1 && n <= static_cast<int>(c.lines.size())) out += "    " + c.lines[static_cast<std::size_t>(n - 1)] + "\n";
  std::fflush(stdout);
  std::fwrite(out.data(), 1, out.size(), stderr);
  std::fflush(stderr);
  _exit(status);
}

}  // namespace zelk::script
