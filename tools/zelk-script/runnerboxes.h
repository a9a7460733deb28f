#pragma once
// The message boxes of a script's run: the scripted boxes, and a fatal stop of the
// program that ends the process.
#include "platform/framework/scriptedboxes.h"

namespace zelk::script {

struct Context;

class RunnerBoxes : public fw::ScriptedBoxes {
 public:
  explicit RunnerBoxes(Context& c) : c_(c) {}
  unsigned show(const fw::Box& box) override;

 private:
  Context& c_;
};

}  // namespace zelk::script
