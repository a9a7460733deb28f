#include "platform/framework/casetables.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/core/codepage.h"
#include "platform/core/text.h"
#include "platform/storage/io.h"
#include "platform/storage/paths.h"

namespace zelk::fw {
namespace {

bool blank(char c) { return c == ' ' || c == '\t'; }

// A larger file is no table of letter pairs: it reads as no file.
constexpr std::size_t kMaxCaseTablesBytes = 1 << 20;

// The folder of the running program ("" unknown).
std::string programFolder() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  std::string path(buf, static_cast<std::size_t>(n));
  auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Where "qvt.env" is looked for: beside the program, then in the current folder.
std::vector<std::string> candidates() {
  std::vector<std::string> paths;
  if (std::string beside = programFolder(); !beside.empty())
    paths.push_back(storage::resolvePath(beside + "/" + kCaseTablesFile));
  std::string here = storage::resolvePath(kCaseTablesFile);
  std::error_code ec;
  auto full = std::filesystem::absolute(here, ec);
  paths.push_back(ec ? here : full.string());
  return paths;
}

std::mutex loadLock;
std::atomic<const CaseTables*> installed{nullptr};
std::string installedPath;  // written before installed is published

std::optional<CaseTables>& fileTables() {
  static std::optional<CaseTables> t;
  return t;
}

const CaseTables& latinOnly() {
  static const CaseTables t;
  return t;
}

}  // namespace

CaseTables::CaseTables() {
  for (int i = 0; i < 256; ++i) low_[i] = up_[i] = static_cast<char>(i);
  for (char c = 'A'; c <= 'Z'; ++c) addPair(c, static_cast<char>(c - 'A' + 'a'));
}

void CaseTables::addPair(char capital, char small) {
  low_[static_cast<unsigned char>(capital)] = small;
  up_[static_cast<unsigned char>(small)] = capital;
}

std::string CaseTables::lower(std::string_view text) const {
  std::string r(text);
  for (char& c : r) c = lower(c);
  return r;
}

CaseTables CaseTables::parse(std::string_view content) {
  CaseTables t;
  if (content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
  int lineNo = 0;
  while (!content.empty()) {
    auto nl = content.find('\n');
    std::string_view line = trimRight(content.substr(0, nl), "\r\n");
    content.remove_prefix(nl == std::string_view::npos ? content.size() : nl + 1);
    ++lineNo;
    std::string letters;
    for (char c : cp::fromUtf8(line))
      if (!blank(c)) letters += c;
    if (letters.empty() || letters.front() == '#') continue;
    auto problem = [&](const char* why) {
      t.problems_.push_back("line " + std::to_string(lineNo) + ": " + why);
    };
    if (cp::toUtf8(cp::fromUtf8(line)) != line) {
      problem("a character the code page lacks");
      continue;
    }
    if (letters.size() % 2 != 0) {
      problem("a letter without its pair");
      continue;
    }
    for (std::size_t i = 0; i < letters.size(); i += 2) {
      t.addPair(letters[i], letters[i + 1]);
      ++t.pairs_;
    }
  }
  return t;
}

bool loadCaseTables() {
  if (installed.load(std::memory_order_acquire)) return true;
  std::lock_guard lock(loadLock);
  if (installed.load(std::memory_order_relaxed)) return true;
  // A file that cannot be read whole (an I/O error, a folder, a FIFO, a device, one
  // too large to be a table) reads as no file.
  std::string content, path;
  for (const std::string& p : candidates()) {
    if (storage::readRegularFile(p.c_str(), content, kMaxCaseTablesBytes)) {
      path = p;
      break;
    }
  }
  if (path.empty()) return false;
  fileTables() = CaseTables::parse(content);
  installedPath = path;
  installed.store(&*fileTables(), std::memory_order_release);
  return true;
}

const CaseTables& caseTables() {
  const CaseTables* t = installed.load(std::memory_order_acquire);
  return t ? *t : latinOnly();
}

bool nameHasFragment(std::string_view name, std::string_view fragment, const CaseTables& tables) {
  fragment = trimRight(fragment);
  if (fragment.empty()) return true;
  name = trimRight(name);
  if (fragment.size() > name.size()) return false;
  return tables.lower(name).find(fragment) != std::string::npos;
}

std::string caseTablesPath() { return installed.load(std::memory_order_acquire) ? installedPath : std::string(); }

}  // namespace zelk::fw
