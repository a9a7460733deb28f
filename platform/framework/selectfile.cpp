#include "platform/framework/selectfile.h"

#include "platform/core/codepage.h"

namespace zelk::fw {

void SelectFileClass::Init() {
  WindowTitle = ansi("Выбор файла");
  Flags = kMustExist;
  masks_ = {{"All Files", "*.*"}};
  chosen_.clear();
}

void SelectFileClass::SetMask(std::string_view description, std::string_view pattern) {
  masks_ = {{std::string(description), std::string(pattern)}};
}

void SelectFileClass::AddMask(std::string_view description, std::string_view pattern) {
  masks_.emplace_back(std::string(description), std::string(pattern));
}

std::string SelectFileClass::Ask(ui::Window& w, bool keepDir) {
  (void)keepDir;
  ui::Backend::FileDialog d;
  d.title = WindowTitle;
  d.filters = masks_;
  d.mustExist = (Flags & kMustExist) != 0;
  if (std::optional<std::string> name = ui::backend().askOpenFile(w, d)) chosen_ = *name;
  else if (Flags & kClearOnCancel) chosen_.clear();
  return chosen_;
}

}  // namespace zelk::fw
