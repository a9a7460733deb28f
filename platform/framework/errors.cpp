#include "platform/framework/errors.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <iostream>

#include "platform/core/codepage.h"
#include "platform/core/numtext.h"
#include "platform/core/text.h"
#include "platform/storage/file.h"
#include "platform/ui/window.h"

namespace zelk::fw {
namespace {

constexpr std::string_view kFatalSuffix = "  Press OK to end this application";

// Prints the box to stderr and answers its default button.
class ConsoleBoxes : public BoxService {
 public:
  unsigned show(const Box& box) override {
    std::string out = "*** " + cp::toUtf8(box.caption) + "\n";
    for (const std::string& line : boxLines(box.text)) out += cp::toUtf8(line) + "\n";
    std::lock_guard lock(m_);
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
    return box.defaultButton;
  }

 private:
  std::mutex m_;
};

ConsoleBoxes& consoleBoxes() {
  static ConsoleBoxes c;
  return c;
}

std::atomic<BoxService*> installedBoxes{nullptr};
std::atomic<int> threadsNumbered{0};

// Replaces every occurrence of what in s; the inserted text is not scanned again.
void replaceAll(std::string& s, std::string_view what, std::string_view with) {
  std::size_t pos = 0;
  while ((pos = s.find(what, pos)) != std::string::npos) {
    s.replace(pos, what.size(), with);
    pos += with.size();
  }
}

// A box of the error manager: the arrow while it shows, also in the middle of work
// under the wait cursor.
unsigned showBox(const Box& box);

}  // namespace

void setBoxService(BoxService* s) { installedBoxes.store(s); }

BoxService& boxService() {
  BoxService* s = installedBoxes.load();
  return s ? *s : consoleBoxes();
}

namespace {
unsigned showBox(const Box& box) {
  ui::ArrowMeanwhile arrow;
  return boxService().show(box);
}
}  // namespace

std::vector<std::string> boxLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (;;) {
    std::size_t bar = text.find('|', start);
    lines.emplace_back(text.substr(start, bar == std::string_view::npos ? text.npos : bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  return lines;
}

void ErrorStatusClass::takeFileError() {
  const storage::ErrorState& e = storage::lastError();
  errorCode = e.code;
  errorText = e.text;
  fileErrorCode = e.fileCode;
  fileErrorText = e.fileText;
}

ErrorStatusClass& globalErrorStatus() {
  thread_local ErrorStatusClass status;
  return status;
}

void endProcess() {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  _exit(0);
}

int threadNumber() {
  thread_local const int n = ++threadsNumbered;
  return n;
}

void ErrorClass::Init(std::span<const MessageEntry> table) {
  std::vector<Entry> loaded;
  loaded.reserve(table.size());
  for (const MessageEntry& e : table) loaded.push_back({e.id, e.level, ansi(e.title), ansi(e.text)});
  std::lock_guard lock(m_);
  table_ = std::move(loaded);
}

void ErrorClass::SetProcedureName(std::string_view name) {
  std::string n(trimRight(name));
  int t = threadNumber();
  std::lock_guard lock(m_);
  names_.emplace_back(t, std::move(n));
}

void ErrorClass::SetProcedureName() {
  int t = threadNumber();
  std::lock_guard lock(m_);
  for (auto it = names_.rbegin(); it != names_.rend(); ++it) {
    if (it->first == t) {
      names_.erase(std::next(it).base());
      return;
    }
  }
}

std::string ErrorClass::procedureName() const {
  int t = threadNumber();
  std::lock_guard lock(m_);
  return currentName(t);
}

std::string ErrorClass::currentName(int thread) const {
  for (auto it = names_.rbegin(); it != names_.rend(); ++it)
    if (it->first == thread) return it->second;
  return "%Procedure";
}

void ErrorClass::SetFile(std::string_view name) { globalErrorStatus().file = std::string(name); }
void ErrorClass::SetKey(std::string_view key) { globalErrorStatus().key = std::string(key); }
void ErrorClass::SetField(std::string_view field) { globalErrorStatus().field = std::string(field); }

const ErrorClass::Entry* ErrorClass::find(std::uint16_t id) const {
  for (const Entry& e : table_)
    if (e.id == id) return &e;
  return nullptr;
}

ErrorClass::Entry ErrorClass::lookup(std::uint16_t id) const {
  if (const Entry* e = find(id)) return *e;
  return {id, kNotify, ansi("Ошибка"), ansi("Сообщение ") + numberText(id) + ansi(" отсутствует в таблице сообщений.")};
}

std::string ErrorClass::fill(const std::string& text) const {
  const ErrorStatusClass& st = globalErrorStatus();
  bool ownText = st.errorCode == storage::kFileSystemError || st.errorCode == storage::kDriverError;
  std::string errorText = st.errorText + " (" + (ownText ? st.fileErrorText : numberText(st.errorCode)) + ")";
  std::string s = text;
  replaceAll(s, "%FileErrorCode", numberText(st.fileErrorCode));
  replaceAll(s, "%FileError", st.fileErrorText);
  replaceAll(s, "%File", st.file);
  replaceAll(s, "%Key", st.key);
  replaceAll(s, "%ErrorCode", numberText(st.errorCode));
  replaceAll(s, "%ErrorText", errorText);
  replaceAll(s, "%Error", st.errorText);
  replaceAll(s, "%Message", st.message);
  replaceAll(s, "%Field", st.field);
  replaceAll(s, "%Procedure", currentName(threadNumber()));
  replaceAll(s, "%Category", "");
  replaceAll(s, "%Previous", previous_);
  return s;
}

std::uint8_t ErrorClass::Throw(std::uint16_t id) {
  Box box;
  std::uint8_t lvl;
  std::string title;
  {
    std::lock_guard lock(m_);
    Entry e = lookup(id);
    lvl = e.level;
    if (lvl == kBenign) return 0;
    title = e.title;
    box.caption = e.title;
    box.text = fill(e.text);
    previous_ = box.text;
  }
  switch (lvl) {
    case kUser:
    case kCancel:
      box.icon = Icon::Question;
      box.buttons = kButtonYes | kButtonNo;
      box.defaultButton = kButtonYes;
      return showBox(box) == kButtonYes ? 0 : 4;
    case kNotify:
      box.icon = Icon::Exclamation;
      box.buttons = kButtonOk;
      box.defaultButton = kButtonOk;
      showBox(box);
      return 5;
    default:
      break;
  }
  box.text += kFatalSuffix;
  box.icon = Icon::Exclamation;
  box.buttons = kButtonOk;
  box.defaultButton = kButtonOk;
  showBox(box);
  Box halt;
  halt.caption = std::string(kHaltCaption);
  halt.text = title;
  halt.buttons = kButtonOk;
  halt.defaultButton = kButtonOk;
  showBox(halt);
  endProcess();
}

std::uint8_t ErrorClass::ThrowMessage(std::uint16_t id, std::string_view message) {
  globalErrorStatus().message = std::string(message);
  return Throw(id);
}

std::uint8_t ErrorClass::ThrowFile(std::uint16_t id, std::string_view fileName) {
  ErrorStatusClass& st = globalErrorStatus();
  st.file = std::string(fileName);
  st.takeFileError();
  return Throw(id);
}

bool askToWaitForBusyFile(const std::string& fileUtf8) {
  Box b;
  b.caption = cp::fromUtf8(kBusyCaption);
  std::string text = cp::fromUtf8(kBusyText);
  text.replace(text.find("%s"), 2, cp::fromUtf8(fileUtf8));
  b.text = std::move(text);
  b.icon = Icon::Question;
  b.buttons = kButtonRetry | kButtonCancel;
  b.defaultButton = kButtonCancel;
  return showBox(b) == kButtonRetry;
}

void notifyRepaired(std::string_view fileName, std::string_view note) {
  Box b;
  b.caption = cp::fromUtf8(kRepairedCaption);
  std::string text = cp::fromUtf8(kRepairedText);
  text.replace(text.find("%s"), 2, fileName);
  b.text = text + std::string(note) + ".";
  b.icon = Icon::Exclamation;
  showBox(b);
}

unsigned ErrorClass::Message(std::uint16_t id, unsigned buttons, unsigned defaultButton) {
  Box box;
  {
    std::lock_guard lock(m_);
    Entry e = lookup(id);
    box.caption = e.title;
    box.text = fill(e.text);
  }
  box.icon = Icon::Question;
  box.buttons = buttons;
  box.defaultButton = defaultButton;
  return showBox(box);
}

std::string ErrorClass::filledText(std::uint16_t id) const {
  std::lock_guard lock(m_);
  return fill(lookup(id).text);
}

std::uint8_t ErrorClass::level(std::uint16_t id) const {
  std::lock_guard lock(m_);
  return lookup(id).level;
}

std::string ErrorClass::title(std::uint16_t id) const {
  std::lock_guard lock(m_);
  return lookup(id).title;
}

ErrorClass& globalErrors() {
  static ErrorClass errors;
  return errors;
}

}  // namespace zelk::fw
