// The script runner: reads a script, starts the program's layers with the scripted
// user as the backend and scripted message boxes, and plays the script's lines.
#include "tools/zelk-script/runner.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string_view>
#include <thread>

#include "app/patterns/procedures.h"
#include "app/program.h"
#include "app/startup.h"
#include "dictionary/globals.h"
#include "platform/core/codepage.h"
#include "platform/core/numtext.h"
#include "platform/storage/odbc/odbc.h"
#include "platform/ui/window.h"
#include "tools/zelk-script/commands.h"
#include "tools/zelk-script/context.h"
#include "tools/zelk-script/lexer.h"

namespace zelk::script {

namespace {

void execute(Context& c, const Command& cmd) {
  c.line = cmd.line;
  c.user.settleThreads();
  if (!cmd.isRun) return cmd.act(c);
  for (const Command& s : cmd.steps)
    c.user.then([&c, &s](ScriptedUser&) {
      c.line = s.line;
      s.act(c);
    });
  // A window that waits after the last step fails at the end line.
  c.user.then([&c, end = cmd.endLine](ScriptedUser&) { c.line = end; });
  dict::GLOBALREQUEST = static_cast<std::uint8_t>(cmd.request);
  app::findProcedure(cmd.procedure)();
  c.user.play();
  c.line = cmd.endLine;
  auto deadline = std::chrono::steady_clock::now() + c.user.timeout;
  while (!ui::allWindows().empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  std::vector<ui::Window*> left = ui::allWindows();
  if (!left.empty()) c.user.fail("window \"" + left.back()->title() + "\" is still open at the end of the run");
  c.user.expectFinished();
}

}  // namespace

int runScript(const std::string& path) {
  app::registerProgramProcedures();
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "zelk-script: cannot read %s\n", path.c_str());
    return kScriptError;
  }
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(std::move(l));
  }
  std::vector<Command> commands;
  try {
    commands = parseScript(lines);
  } catch (const ScriptError& e) {
    std::string out = path + ":" + numberText(e.line) + ": " + e.message + "\n";
    if (e.line >= 1 && e.line <= static_cast<int>(lines.size()))
      out += "    " + lines[static_cast<std::size_t>(e.line - 1)] + "\n";
    std::fwrite(out.data(), 1, out.size(), stderr);
    return kScriptError;
  }

  Context c(path, std::move(lines));
  app::processStart();
  app::threadStart();
  if (!storage::findDriver(storage::DriverKind::Odbc))
    storage::registerDriver(storage::DriverKind::Odbc, storage::odbc::driver());
  c.user.install();
  c.boxes.setEcho(true);
  c.boxes.install();
  c.user.useBoxes(c.boxes);
  c.user.onFailure([&c](const std::string& m) { stop(c, kFailed, cp::toUtf8(m)); });
  app::setFrame([&] {
    for (const Command& cmd : commands) execute(c, cmd);
    c.line = static_cast<int>(c.lines.size());
    c.user.expectFinished();
  });
  app::_main();
  app::setFrame({});
  app::threadEnd();
  app::processEnd();
  c.boxes.uninstall();
  c.user.uninstall();
  std::fflush(stdout);
  return kPassed;
}

int runnerMain(int argc, char** argv) {
  if (argc == 2 && std::string_view(argv[1]) == "--help") {
    const std::string list = commandList();
    std::printf("usage: zelk-script <script file>\n\n%s", list.c_str());
    return kPassed;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: zelk-script <script file>\n");
    return kScriptError;
  }
  return runScript(argv[1]);
}

}  // namespace zelk::script
