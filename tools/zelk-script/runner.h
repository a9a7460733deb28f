#pragma once
// zelk-script: runs the program's window procedures headless from a script file,
// with the scripted user playing the person (the format is in README.md).
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/storage/file.h"

namespace zelk::script {

// Exit statuses.
inline constexpr int kPassed = 0, kFailed = 1, kScriptError = 2, kProgramStopped = 3;

// zelk-script <script file> (or --help). A failed step or assertion ends the process at once
// with kFailed; a fatal stop of the program with kProgramStopped.
int runnerMain(int argc, char** argv);
// The commands a script may use, one row a command as README.md lists them (a
// Markdown table); zelk-script --help prints it.
std::string commandList();
int runScript(const std::string& path);

// A field's value as JSON holds it.
struct JsonValue {
  enum class Kind { Null, Number, String } kind = Kind::Null;
  double number = 0;
  std::string text;  // UTF-8
  bool operator==(const JsonValue&) const = default;
};
// Members in order: a record's fields by their labels ("FNM:KOD").
using JsonObject = std::vector<std::pair<std::string, JsonValue>>;

// A record's fields: texts without trailing blanks, numbers, dates "YYYY-MM-DD" (no
// date: null).
JsonObject recordValues(const storage::FileDecl& decl, const char* record);
std::string toJson(const JsonObject& o);  // one line
// A flat object of strings, numbers and nulls; nullopt with error set otherwise.
std::optional<JsonObject> parseJsonObject(std::string_view text, std::string& error);

// The dictionary's file by its label (F_NAME, PRT ...); nullptr when none.
const storage::FileDecl* dictionaryFile(std::string_view label);
// Key number 1.. of decl by number ("1") or name ("KEY_1", "FNM:KEY_1"); 0 none.
int keyNumber(const storage::FileDecl& decl, std::string_view key);
// Every record of the file, in record order (key 0) or in the order of key 1..,
// read through the file statements on a thread of its own (its own file instances).
// False with error set when the file cannot be read.
bool readRecords(const storage::FileDecl& decl, int key, std::vector<JsonObject>& out, std::string& error);

}  // namespace zelk::script
