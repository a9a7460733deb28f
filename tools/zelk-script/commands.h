#pragma once
// The commands of a script: each line parsed into what it does, checked before
// anything runs.
#include <functional>
#include <string>
#include <vector>

namespace zelk::script {

struct Context;
using Action = std::function<void(Context&)>;

struct Command {
  int line = 0;
  Action act;
  // A run: the procedure, its request, the user's steps until the end line.
  bool isRun = false;
  std::string procedure;
  int request = 0;
  std::vector<Command> steps;
  int endLine = 0;
};

// Every line of the script as a command (a run holds its steps); throws ScriptError
// at the first line that is not one.
std::vector<Command> parseScript(const std::vector<std::string>& lines);

}  // namespace zelk::script
