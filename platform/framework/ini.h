#pragma once
// The settings manager: a private-profile file ("[section]" lines, then "key=value"
// lines) with the Windows semantics. Section and key names are case-insensitive;
// every write goes to the file at once; removing a key is a write without a value;
// a missing file reads as empty; failures to write are not reported. Values are
// 1251 text, kept byte for byte. Every operation runs under the object's own lock.
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelk::ui {
class Window;
}

namespace zelk::fw {

class INIClass {
 public:
  // One entry of the manager's list of registered sections.
  struct Sector {
    std::string family, item, type;  // up to 100 characters each
    bool operator==(const Sector&) const = default;
  };
  static constexpr std::size_t kSectorFieldSize = 100;

  INIClass() = default;
  INIClass(const INIClass&) = delete;
  INIClass& operator=(const INIClass&) = delete;

  // Remembers the file and reads the bookkeeping entry into the list. A name without
  // a folder is kept in the user's configuration folder ($XDG_CONFIG_HOME/zelk, else
  // ~/.config/zelk); a name with a folder is used as it is. The storage kind (0, a
  // profile file) and the flag change nothing.
  void Init(std::string_view fileName, int storageKind, int flag);
  // The manager's flush: a profile file has nothing pending.
  void Update();
  // Writes the list back as the bookkeeping entry and frees it.
  void Kill();

  // The value of key in section, or dflt when the file, section or key is missing.
  std::string fetch(std::string_view section, std::string_view key, std::string_view dflt = {}) const;
  // Writes value under key in section; nullopt removes the key.
  void update(std::string_view section, std::string_view key, std::optional<std::string> value);

  // A window's place under section: "Maximize" and "Minimize" ("Yes" or "No"), then
  // "XPos", "YPos" when the window is neither maximised nor minimised, and "Width",
  // "Height" when it can also be resized; a value not recorded removes its key.
  void Update(std::string_view section, const ui::Window& w);
  // Restores a place stored so. A section without "Maximize" of "Yes" or "No" leaves
  // the window as defined; a missing edge is ui::kDefaultPosition (the default
  // place). A window stored minimised opens restored, at its default place.
  void Fetch(std::string_view section, ui::Window& w);

  std::vector<Sector> sectors() const;
  std::filesystem::path path() const;  // the file's full name; empty before Init

  static constexpr std::string_view kBookkeepingSection = "__Dont_Touch_Me__";
  static constexpr std::string_view kSectorsKey = "Sectors";

 private:
  std::optional<std::string> read(std::string_view section, std::string_view key) const;  // under m_
  void write(std::string_view section, std::string_view key, std::optional<std::string> value);  // under m_

  mutable std::mutex m_;
  std::filesystem::path path_;
  std::vector<Sector> sectors_;
};

// INIMGR: the settings manager of the process.
INIClass& globalIni();

}  // namespace zelk::fw
