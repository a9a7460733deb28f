#include "platform/framework/ini.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fstream>

#include "platform/core/codepage.h"
#include "platform/core/numtext.h"
#include "platform/core/text.h"
#include "platform/storage/io.h"
#include "platform/ui/window.h"

namespace zelk::fw {
namespace {

// A count in the bookkeeping entry beyond this is taken as this.
constexpr int kMaxSectors = 10000;

using Lines = std::vector<std::string>;

constexpr std::string_view kBlanks = " \t";

std::string_view trim(std::string_view s) { return zelk::trim(s, kBlanks); }

// "[name]": the section's name.
bool sectionLine(std::string_view line, std::string_view& name) {
  line = trim(line);
  if (line.empty() || line.front() != '[') return false;
  line.remove_prefix(1);
  std::size_t close = line.find(']');
  name = trim(close == std::string_view::npos ? line : line.substr(0, close));
  return true;
}

// "key=value" inside a section; comment lines start with ';'.
bool keyLine(std::string_view line, std::string_view& key, std::string_view& value) {
  std::string_view t = trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '[') return false;
  std::size_t eq = t.find('=');
  if (eq == std::string_view::npos) return false;
  key = trim(t.substr(0, eq));
  value = trim(t.substr(eq + 1));
  return true;
}

// The file's lines; a file that cannot be read (missing, a folder, a read error)
// reads as empty.
Lines load(const std::filesystem::path& path) {
  Lines lines;
  std::string all;
  if (!storage::readRegularFile(path.c_str(), all)) return lines;
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t nl = all.find('\n', start);
    std::size_t end = nl == std::string::npos ? all.size() : nl;
    std::string line = all.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

// Rewrites the file through a temporary beside it; failures are not reported.
void save(const std::filesystem::path& path, const Lines& lines) {
  std::error_code ec;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
  std::string all;
  for (const std::string& l : lines) all += l + "\r\n";
  std::filesystem::path tmp = path;
  tmp += ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return;
    out.write(all.data(), static_cast<std::streamsize>(all.size()));
    out.flush();
    if (!out) {
      out.close();
      std::filesystem::remove(tmp, ec);
      return;
    }
  }
  std::filesystem::rename(tmp, path, ec);
  if (ec) std::filesystem::remove(tmp, ec);
}

// The span [first, last) of the first section named so: first is its header line.
bool findSection(const Lines& lines, std::string_view section, std::size_t& first, std::size_t& last) {
  std::string_view name;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!sectionLine(lines[i], name) || !cp::sameName(name, section)) continue;
    first = i;
    last = i + 1;
    while (last < lines.size() && !sectionLine(lines[last], name)) ++last;
    return true;
  }
  return false;
}

// The line of key within the section's span, or npos.
std::size_t findKey(const Lines& lines, std::size_t first, std::size_t last, std::string_view key) {
  std::string_view k, v;
  for (std::size_t i = first + 1; i < last; ++i)
    if (keyLine(lines[i], k, v) && cp::sameName(k, key)) return i;
  return std::string::npos;
}

std::optional<std::string> lookup(const Lines& lines, std::string_view section, std::string_view key) {
  std::size_t first, last;
  if (!findSection(lines, section, first, last)) return std::nullopt;
  std::size_t at = findKey(lines, first, last, key);
  if (at == std::string::npos) return std::nullopt;
  std::string_view k, v;
  keyLine(lines[at], k, v);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  return std::string(v);
}

std::filesystem::path configFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return std::filesystem::path(xdg) / "zelk";
  const char* home = std::getenv("HOME");
  if (home && *home) return std::filesystem::path(home) / ".config" / "zelk";
  return std::filesystem::path(".config") / "zelk";
}

std::string sectorKey(std::size_t n) { return std::string(INIClass::kSectorsKey) + "_" + std::to_string(n); }

}  // namespace

void INIClass::Init(std::string_view fileName, int /*storageKind*/, int /*flag*/) {
  std::filesystem::path name{std::string(fileName)};
  std::filesystem::path full = name.has_parent_path() ? name : configFolder() / name;

  std::lock_guard lock(m_);
  path_ = std::move(full);
  sectors_.clear();
  Lines lines = load(path_);
  int count = 0;
  if (auto c = lookup(lines, kBookkeepingSection, kSectorsKey)) {
    std::from_chars(c->data(), c->data() + c->size(), count);
    count = std::clamp(count, 0, kMaxSectors);
  }
  for (int i = 1; i <= count; ++i) {
    std::string v = lookup(lines, kBookkeepingSection, sectorKey(i)).value_or("");
    std::string_view rest = v;
    std::string parts[3];
    for (int p = 0; p < 3; ++p) {
      std::size_t comma = p < 2 ? rest.find(',') : std::string_view::npos;
      std::string_view part = rest.substr(0, comma);
      parts[p] = std::string(part.substr(0, kSectorFieldSize));
      rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    }
    sectors_.push_back({std::move(parts[0]), std::move(parts[1]), std::move(parts[2])});
  }
}

void INIClass::Update() {}

void INIClass::Kill() {
  std::lock_guard lock(m_);
  if (!path_.empty()) {
    write(kBookkeepingSection, kSectorsKey, std::to_string(sectors_.size()));
    for (std::size_t i = 0; i < sectors_.size(); ++i) {
      const Sector& s = sectors_[i];
      write(kBookkeepingSection, sectorKey(i + 1), s.family + "," + s.item + "," + s.type);
    }
  }
  sectors_.clear();
  sectors_.shrink_to_fit();
}

std::string INIClass::fetch(std::string_view section, std::string_view key, std::string_view dflt) const {
  std::lock_guard lock(m_);
  return read(section, key).value_or(std::string(dflt));
}

void INIClass::update(std::string_view section, std::string_view key, std::optional<std::string> value) {
  std::lock_guard lock(m_);
  write(section, key, std::move(value));
}

namespace {

constexpr std::string_view kMaximize = "Maximize", kMinimize = "Minimize", kXPos = "XPos", kYPos = "YPos",
                           kWidth = "Width", kHeight = "Height";
constexpr std::string_view kYes = "Yes", kNo = "No";

std::optional<std::string> number(bool recorded, int v) {
  if (!recorded) return std::nullopt;
  return numberText(v);
}

// A stored coordinate, or the marker of one not recorded.
int coordinate(const std::optional<std::string>& v) {
  if (!v) return ui::kDefaultPosition;
  std::string_view t = trim(*v);
  int n = 0;
  auto r = std::from_chars(t.data(), t.data() + t.size(), n);
  if (r.ec != std::errc() || r.ptr != t.data() + t.size()) return ui::kDefaultPosition;
  return n;
}

}  // namespace

void INIClass::Update(std::string_view section, const ui::Window& w) {
  bool maximized = w.maximized(), minimized = w.minimized();
  ui::Rect p = w.place();
  bool edges = !maximized && !minimized;
  bool size = edges && w.def().resizable;
  std::lock_guard lock(m_);
  write(section, kMaximize, std::string(maximized ? kYes : kNo));
  write(section, kMinimize, std::string(minimized ? kYes : kNo));
  write(section, kXPos, number(edges, p.x));
  write(section, kYPos, number(edges, p.y));
  write(section, kWidth, number(size, p.w));
  write(section, kHeight, number(size, p.h));
}

void INIClass::Fetch(std::string_view section, ui::Window& w) {
  std::optional<std::string> maximize, x, y, width, height;
  {
    std::lock_guard lock(m_);
    maximize = read(section, kMaximize);
    if (!maximize || (*maximize != kYes && *maximize != kNo)) return;
    x = read(section, kXPos);
    y = read(section, kYPos);
    width = read(section, kWidth);
    height = read(section, kHeight);
  }
  bool storedMaximized = *maximize == kYes;
  if (!storedMaximized && w.maximized()) w.setMaximized(false);
  ui::Rect p = w.place();
  p.x = coordinate(x);
  p.y = coordinate(y);
  if (w.def().resizable) {
    if (int v = coordinate(width); v != ui::kDefaultPosition) p.w = v;
    if (int v = coordinate(height); v != ui::kDefaultPosition) p.h = v;
  }
  w.setPlace(p);
  if (storedMaximized && !w.maximized()) w.setMaximized(true);
  // The stored "Minimize" is a word, which read as a number is 0: never minimised.
  w.setMinimized(false);
}

std::vector<INIClass::Sector> INIClass::sectors() const {
  std::lock_guard lock(m_);
  return sectors_;
}

std::filesystem::path INIClass::path() const {
  std::lock_guard lock(m_);
  return path_;
}

std::optional<std::string> INIClass::read(std::string_view section, std::string_view key) const {
  if (path_.empty()) return std::nullopt;
  return lookup(load(path_), section, key);
}

void INIClass::write(std::string_view section, std::string_view key, std::optional<std::string> value) {
  if (path_.empty()) return;
  Lines lines = load(path_);
  std::size_t first, last;
  bool haveSection = findSection(lines, section, first, last);
  std::size_t at = haveSection ? findKey(lines, first, last, key) : std::string::npos;
  if (!value) {
    if (at == std::string::npos) return;  // nothing to remove
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at));
  } else if (at != std::string::npos) {
    std::string_view k, v;
    keyLine(lines[at], k, v);
    lines[at] = std::string(k) + "=" + *value;
  } else if (haveSection) {
    std::size_t pos = last;  // after the section's last line that is not blank
    while (pos > first + 1 && trim(lines[pos - 1]).empty()) --pos;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(pos), std::string(key) + "=" + *value);
  } else {
    lines.push_back("[" + std::string(section) + "]");
    lines.push_back(std::string(key) + "=" + *value);
  }
  save(path_, lines);
}

INIClass& globalIni() {
  static INIClass ini;
  return ini;
}

}  // namespace zelk::fw
