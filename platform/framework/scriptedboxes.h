#pragma once
// A box service that plays the user from a script: it records every box shown and
// answers from a queue of buttons given in advance; with the queue empty it answers
// the box's default button.
#include <cstddef>
#include <deque>
#include <initializer_list>
#include <mutex>
#include <vector>

#include "platform/framework/errors.h"

namespace zelk::fw {

class ScriptedBoxes : public BoxService {
 public:
  ScriptedBoxes() = default;
  ScriptedBoxes(const ScriptedBoxes&) = delete;
  ScriptedBoxes& operator=(const ScriptedBoxes&) = delete;
  ~ScriptedBoxes() override;  // uninstalls itself if still installed

  void install();    // becomes the box service
  void uninstall();  // the console's again, when this one is installed

  // The answers for the next boxes, in order.
  void answer(unsigned button);
  void answer(std::initializer_list<unsigned> buttons);

  // Also prints every box to stderr as the console does (for death tests).
  void setEcho(bool on);

  std::vector<Box> boxes() const;  // every box shown, oldest first
  std::size_t count() const;
  Box last() const;  // an empty Box when none was shown
  std::size_t pendingAnswers() const;
  void clear();  // forgets the boxes and the answers

  unsigned show(const Box& box) override;

 private:
  mutable std::mutex m_;
  std::vector<Box> shown_;
  std::deque<unsigned> answers_;
  bool echo_ = false;
  bool installed_ = false;
};

}  // namespace zelk::fw
