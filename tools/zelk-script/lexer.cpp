#include "tools/zelk-script/lexer.h"

namespace zelk::script {

std::vector<std::string> words(std::string_view line, int number) {
  std::vector<std::string> w;
  std::size_t i = 0;
  auto blank = [&](char c) { return c == ' ' || c == '\t'; };
  while (i < line.size()) {
    while (i < line.size() && blank(line[i])) ++i;
    if (i >= line.size()) break;
    if (w.empty() && line[i] == '#') break;
    std::string word;
    if (line[i] == '"') {
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char c = line[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) c = line[i++];
        word += c;
      }
      if (!closed) throw ScriptError{number, "a quoted text is not closed"};
      if (i < line.size() && !blank(line[i])) throw ScriptError{number, "a blank must follow a quoted text"};
    } else {
      while (i < line.size() && !blank(line[i])) word += line[i++];
    }
    w.push_back(std::move(word));
  }
  return w;
}

}  // namespace zelk::script
