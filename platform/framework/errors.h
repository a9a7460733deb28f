#pragma once
// The error manager: numbered messages with a level, a title and a text with
// placeholders, shown in a box whose kind follows the level; a per-thread stack of
// procedure names for %Procedure; a per-thread record of the last error's details.
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/framework/messageids.h"

namespace zelk::fw {

// Message levels.
enum Level : std::uint8_t {
  kBenign = 0,
  kUser = 1,     // a Yes/No question
  kProgram = 2,  // handled as fatal
  kFatal = 3,
  kCancel = 4,   // handled as a question
  kNotify = 5,   // a notice; the operation that raised it stops
};

// One entry of a message table, written in the source as UTF-8.
struct MessageEntry {
  std::uint16_t id;
  std::uint8_t level;
  std::string_view title;
  std::string_view text;
};

// Buttons of a message box (a set of bits); show() answers one of them.
enum Button : unsigned {
  kButtonOk = 1,
  kButtonYes = 2,
  kButtonNo = 4,
  kButtonCancel = 8,
  kButtonRetry = 16,
  kButtonAbort = 32,
  kButtonIgnore = 64,
};
enum class Icon { None, Question, Exclamation };

struct Box {
  std::string caption;  // 1251
  std::string text;     // 1251; a "|" starts a new line
  Icon icon = Icon::None;
  unsigned buttons = kButtonOk;
  unsigned defaultButton = kButtonOk;
};

// Draws message boxes: the window layer installs the screen's; tests install a
// scripted one. Called without any lock of the error manager held.
class BoxService {
 public:
  virtual ~BoxService() = default;
  virtual unsigned show(const Box& box) = 0;  // the button pressed
};
void setBoxService(BoxService* s);  // nullptr: the console's (stderr, default button)
BoxService& boxService();

// The lines a box shows for its text: a "|" starts a new line.
std::vector<std::string> boxLines(std::string_view text);

// The details of the last error on a thread, which the placeholders use. The
// raisers record them before raising.
class ErrorStatusClass {
 public:
  int errorCode = 0;          // %ErrorCode
  std::string errorText;      // %Error
  int fileErrorCode = 0;      // %FileErrorCode
  std::string fileErrorText;  // %FileError
  std::string file;           // %File
  std::string key;            // %Key
  std::string field;          // %Field
  std::string message;        // %Message

  // Takes the storage layer's last error of this thread as the error details.
  void takeFileError();
};
// GLOBALERRORSTATUS: the calling thread's own.
ErrorStatusClass& globalErrorStatus();

// The caption of the box that follows a fatal message, just before the process ends.
inline constexpr std::string_view kHaltCaption = "Halt";

// How the fatal stop ends the process; exit code 0, no further code of the program.
[[noreturn]] void endProcess();

// The question shown when a statement has waited its whole wait for a lock another
// station holds on the file (UTF-8 name): true to wait again, false to cancel.
bool askToWaitForBusyFile(const std::string& fileUtf8);
inline constexpr std::string_view kBusyCaption = "Файл занят";
inline constexpr std::string_view kBusyText = "Файл %s занят другой рабочей станцией.|Подождать ещё?";

// The notice after a rebuild that could not keep everything: what it dropped (the
// storage layer's note) for the file named (1251).
void notifyRepaired(std::string_view fileName, std::string_view note);
inline constexpr std::string_view kRepairedCaption = "Файл восстановлен";
inline constexpr std::string_view kRepairedText = "Файл %s восстановлен не полностью: ";

class ErrorClass {
 public:
  ErrorClass() = default;
  ErrorClass(const ErrorClass&) = delete;
  ErrorClass& operator=(const ErrorClass&) = delete;

  // Binds the manager to the status objects and loads the message table.
  void Init(std::span<const MessageEntry> table);

  // With a name: pushes (calling thread, name without trailing blanks); without:
  // drops the calling thread's newest entry.
  void SetProcedureName(std::string_view name);
  void SetProcedureName();
  std::string procedureName() const;  // the calling thread's current one, or "%Procedure"

  // Recording the details before raising (on the calling thread's status).
  void SetFile(std::string_view name);
  void SetKey(std::string_view key);
  void SetField(std::string_view field);

  // Raises message id: returns 0 (benign, or "&Yes" to a question), 4 (any other
  // answer to a question) or 5 (notice); a fatal level does not return.
  std::uint8_t Throw(std::uint16_t id);
  // The same with the text for %Message.
  std::uint8_t ThrowMessage(std::uint16_t id, std::string_view message);
  // The same with the file's name for %File, the storage layer's last error taken
  // as the error details.
  std::uint8_t ThrowFile(std::uint16_t id, std::string_view fileName);

  // The message's text in a box with the given buttons and a question-mark icon;
  // returns the button pressed.
  unsigned Message(std::uint16_t id, unsigned buttons, unsigned defaultButton);

  // The message's text with its placeholders filled for the calling thread.
  std::string filledText(std::uint16_t id) const;
  std::uint8_t level(std::uint16_t id) const;
  std::string title(std::uint16_t id) const;

 private:
  struct Entry {
    std::uint16_t id;
    std::uint8_t level;
    std::string title, text;  // 1251
  };
  const Entry* find(std::uint16_t id) const;  // under m_
  Entry lookup(std::uint16_t id) const;       // under m_; an id not in the table: a notice saying so
  std::string currentName(int thread) const;  // under m_
  std::string fill(const std::string& text) const;  // under m_

  mutable std::mutex m_;
  std::vector<Entry> table_;
  std::vector<std::pair<int, std::string>> names_;  // (thread number, name)
  std::string previous_;                            // %Previous
};

// GLOBALERRORS: the one error manager of the process.
ErrorClass& globalErrors();

// THREAD(): the calling thread's number, 1 for the first thread that asks.
int threadNumber();

}  // namespace zelk::fw
