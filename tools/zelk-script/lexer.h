#pragma once
// The lexer of a script: a line into its words.
#include <string>
#include <string_view>
#include <vector>

namespace zelk::script {

// A fault of the script at a line, found before anything runs.
struct ScriptError {
  int line;
  std::string message;
};

// The words of a line: blanks separate them; a word in double quotes may hold
// blanks, \" and \\. A line starting with # is a comment.
std::vector<std::string> words(std::string_view line, int number);

}  // namespace zelk::script
