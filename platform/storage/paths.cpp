#include "platform/storage/paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <vector>

#include "platform/core/codepage.h"

namespace zelk::storage {
namespace {

// The entry of folder dir whose name matches name without regard to case. Names on
// disk are UTF-8; letter case is compared on their 1251 form.
std::string findNoCase(const std::string& dir, std::string_view name) {
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return {};
  const std::string wanted = cp::fromUtf8(name);
  std::string found;
  while (dirent* e = readdir(d)) {
    if (cp::sameName(cp::fromUtf8(e->d_name), wanted)) {
      found = e->d_name;
      break;
    }
  }
  closedir(d);
  return found;
}

}  // namespace

bool fileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

std::string resolvePath(std::string_view name) {
  std::string p(name);
  for (char& c : p)
    if (c == '\\') c = '/';
  if (p.empty() || fileExists(p)) return p;

  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= p.size()) {
    std::size_t slash = p.find('/', start);
    if (slash == std::string::npos) slash = p.size();
    parts.push_back(p.substr(start, slash - start));
    start = slash + 1;
  }
  std::string out = p[0] == '/' ? "/" : "";
  bool lost = false;  // a component was not found: the rest stays as written
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    if (part.empty()) continue;
    std::string next = part;
    if (!lost && part != "." && part != "..") {
      std::string candidate = out + part;
      if (!fileExists(candidate)) {
        std::string match = findNoCase(out.empty() ? "." : out, part);
        if (!match.empty()) next = match;
        else lost = true;
      }
    }
    out += next;
    if (i + 1 < parts.size()) out += '/';
  }
  return out;
}

std::string systemName(std::string_view name) { return resolvePath(cp::toUtf8(name)); }

std::string replaceExtension(std::string_view name, std::string_view ext) {
  std::size_t slash = name.find_last_of("/\\");
  std::size_t dot = name.rfind('.');
  std::string base(name);
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash))
    base = std::string(name.substr(0, dot));
  return base + std::string(ext);
}

std::string defaultExtension(std::string_view name, std::string_view ext) {
  std::size_t slash = name.find_last_of("/\\");
  std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash))
    return std::string(name);
  return std::string(name) + std::string(ext);
}

}  // namespace zelk::storage
