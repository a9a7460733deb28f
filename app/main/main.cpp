// The program: the screen, then process start, the main thread's start, the main
// procedure, and the ends. A fatal error ends the process from wherever it happens,
// without the ends.
#include <chrono>

#include "app/frame.h"
#include "app/program.h"
#include "app/startup.h"
#include "platform/qt/screen.h"

int main(int argc, char** argv) {
  zelk::qtui::Screen screen(argc, argv);
  zelk::app::registerProgramProcedures();
  zelk::app::processStart();
  zelk::app::threadStart();
  zelk::app::setFrame(zelk::app::MAIN);
  zelk::app::_main();
  // Windows still open on threads of their own (the credit look-up) close with it.
  zelk::app::endStartedThreads([&screen] { screen.processEvents(10); }, std::chrono::seconds(10));
  zelk::app::threadEnd();
  zelk::app::processEnd();
  return 0;
}
