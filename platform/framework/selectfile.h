#pragma once
// The open-file dialog object: a title, the filters and flags, and the last choice.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ui/window.h"

namespace zelk::fw {

class SelectFileClass {
 public:
  // Flags.
  static constexpr unsigned kClearOnCancel = 1;  // a cancelled dialog answers blank
  static constexpr unsigned kLongName = 2;       // long file names (every name is, here)
  static constexpr unsigned kMustExist = 4;      // only an existing file can be chosen

  std::string WindowTitle;  // 1251
  unsigned Flags = 0;

  // The dialog's title "Выбор файла", the filter for every file, only existing files.
  void Init();
  // Replaces the filters with this one (description and patterns, 1251).
  void SetMask(std::string_view description, std::string_view pattern);
  // Adds a filter after the others.
  void AddMask(std::string_view description, std::string_view pattern);
  const std::vector<std::pair<std::string, std::string>>& masks() const { return masks_; }

  // Shows the dialog over w: the chosen full name (1251). A cancelled dialog answers
  // blank with kClearOnCancel, else the previous choice. The program's current folder
  // is never changed by the dialog, so keepDir changes nothing.
  std::string Ask(ui::Window& w, bool keepDir = false);

 private:
  std::vector<std::pair<std::string, std::string>> masks_;
  std::string chosen_;
};

}  // namespace zelk::fw
