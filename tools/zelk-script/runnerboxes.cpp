#include "tools/zelk-script/runnerboxes.h"

#include "platform/core/codepage.h"
#include "tools/zelk-script/context.h"
#include "tools/zelk-script/runner.h"

namespace zelk::script {

// The error manager's fatal stop shows its message, then the halt box, then ends
// the process.
unsigned RunnerBoxes::show(const fw::Box& box) {
  if (box.caption == fw::kHaltCaption && box.buttons == fw::kButtonOk) {
    fw::Box fatal = last();
    stop(c_, kProgramStopped,
         "the program stopped with a fatal error: " + cp::toUtf8(fatal.caption) + ": " + cp::toUtf8(fatal.text));
  }
  return ScriptedBoxes::show(box);
}

}  // namespace zelk::script
