#include "platform/framework/scriptedboxes.h"

#include <cstdio>
#include <string>

#include "platform/core/codepage.h"

namespace zelk::fw {

ScriptedBoxes::~ScriptedBoxes() {
  if (installed_ && &boxService() == this) setBoxService(nullptr);
}

void ScriptedBoxes::install() {
  setBoxService(this);
  installed_ = true;
}

void ScriptedBoxes::uninstall() {
  if (&boxService() == this) setBoxService(nullptr);
  installed_ = false;
}

void ScriptedBoxes::answer(unsigned button) {
  std::lock_guard lock(m_);
  answers_.push_back(button);
}

void ScriptedBoxes::answer(std::initializer_list<unsigned> buttons) {
  std::lock_guard lock(m_);
  answers_.insert(answers_.end(), buttons);
}

void ScriptedBoxes::setEcho(bool on) {
  std::lock_guard lock(m_);
  echo_ = on;
}

std::vector<Box> ScriptedBoxes::boxes() const {
  std::lock_guard lock(m_);
  return shown_;
}

std::size_t ScriptedBoxes::count() const {
  std::lock_guard lock(m_);
  return shown_.size();
}

Box ScriptedBoxes::last() const {
  std::lock_guard lock(m_);
  return shown_.empty() ? Box{} : shown_.back();
}

std::size_t ScriptedBoxes::pendingAnswers() const {
  std::lock_guard lock(m_);
  return answers_.size();
}

void ScriptedBoxes::clear() {
  std::lock_guard lock(m_);
  shown_.clear();
  answers_.clear();
}

unsigned ScriptedBoxes::show(const Box& box) {
  std::lock_guard lock(m_);
  shown_.push_back(box);
  unsigned button = box.defaultButton;
  if (!answers_.empty()) {
    button = answers_.front();
    answers_.pop_front();
  }
  if (echo_) {
    std::string out = "*** " + cp::toUtf8(box.caption) + "\n";
    for (const std::string& line : boxLines(box.text)) out += cp::toUtf8(line) + "\n";
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
  }
  return button;
}

}  // namespace zelk::fw
