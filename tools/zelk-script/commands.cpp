#include "tools/zelk-script/commands.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "app/patterns/procedures.h"
#include "dictionary/globals.h"
#include "platform/core/codepage.h"
#include "platform/core/numtext.h"
#include "platform/core/text.h"
#include "platform/storage/odbc/odbc.h"
#include "platform/ui/window.h"
#include "tools/zelk-script/context.h"
#include "tools/zelk-script/lexer.h"
#include "tools/zelk-script/runner.h"
#include "tools/zelk-script/values.h"
#include "tools/zelk-script/variables.h"

namespace zelk::script {

namespace {

std::optional<unsigned> buttonNamed(std::string_view s) {
  static const std::pair<const char*, unsigned> all[] = {
      {"ok", fw::kButtonOk},       {"yes", fw::kButtonYes},     {"no", fw::kButtonNo},
      {"cancel", fw::kButtonCancel}, {"retry", fw::kButtonRetry}, {"abort", fw::kButtonAbort},
      {"ignore", fw::kButtonIgnore},
  };
  std::string plain;
  for (char c : s)
    if (c != '&') plain += c;
  for (const auto& [n, b] : all)
    if (cp::sameName(n, plain)) return b;
  return std::nullopt;
}

std::optional<int> keyNamed(std::string_view s) {
  static const std::pair<const char*, int> all[] = {
      {"Enter", ui::key::kEnter},           {"Esc", ui::key::kEsc},
      {"Ins", ui::key::kInsert},            {"Insert", ui::key::kInsert},
      {"Del", ui::key::kDelete},            {"Delete", ui::key::kDelete},
      {"Ctrl+Enter", ui::key::kCtrlEnter},  {"Shift+Enter", ui::key::kShiftEnter},
      {"Ctrl+H", ui::key::kCtrlH},
  };
  for (const auto& [n, k] : all)
    if (cp::sameName(n, s)) return k;
  std::string one = cp::fromUtf8(s);
  if (one.size() == 1 && one != "?") return static_cast<unsigned char>(one[0]);
  if (s.size() > 1) return parseInt(s);
  return std::nullopt;
}

std::optional<int> codeNamed(std::string_view s, std::initializer_list<std::pair<const char*, int>> names) {
  for (const auto& [n, v] : names)
    if (cp::sameName(n, s)) return v;
  return parseInt(s);
}

// Parsing: every line becomes an action, checked before anything runs.
class Parser {
 public:
  explicit Parser(const std::vector<std::string>& lines) : lines_(lines) {}

  std::vector<Command> parse() {
    std::vector<Command> top;
    Command* run = nullptr;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      line_ = static_cast<int>(i) + 1;
      std::vector<std::string> w = words(lines_[i], line_);
      if (w.empty()) continue;
      const std::string& c = w[0];
      if (c == "run") {
        if (run) error("a run inside a run (end the first one with end)");
        top.push_back(parseRun(w));
        run = &top.back();
        continue;
      }
      if (c == "end") {
        if (!run) error("end without run");
        if (w.size() != 1) error("end takes nothing");
        run->endLine = line_;
        run = nullptr;
        continue;
      }
      Command cmd;
      cmd.line = line_;
      cmd.act = c == "expect-dump" ? parseExpectDump(w, i) : action(w);
      (run ? run->steps : top).push_back(std::move(cmd));
    }
    if (run) {
      line_ = run->line;
      error("run without end");
    }
    return top;
  }

 private:
  [[noreturn]] void error(const std::string& m) { throw ScriptError{line_, m}; }

  void count(const std::vector<std::string>& w, std::size_t least, std::size_t most, const char* form) {
    if (w.size() - 1 < least || w.size() - 1 > most) error("expected: " + std::string(form));
  }

  int integer(const std::string& s, const char* what) {
    std::optional<int> v = parseInt(s);
    if (!v || *v < 0) error(std::string(what) + " must be a number: " + s);
    return *v;
  }

  Command parseRun(const std::vector<std::string>& w) {
    if (w.size() != 2 && !(w.size() == 4 && w[2] == "request")) error("expected: run <procedure> [request <r>]");
    if (!app::findProcedure(w[1])) error("no procedure " + w[1]);
    Command r;
    r.line = line_;
    r.isRun = true;
    r.procedure = w[1];
    if (w.size() == 4) {
      std::optional<int> q = codeNamed(w[3], {{"none", 0}, {"insert", 1}, {"change", 2}, {"delete", 3},
                                              {"select", 4}, {"view", 6}});
      if (!q) error("no request " + w[3]);
      r.request = *q;
    }
    return r;
  }

  // FILE [key K] [> PATH]
  struct Dump {
    const storage::FileDecl* decl = nullptr;
    int key = 0;
    std::string to;
  };
  Dump parseDumpArgs(const std::vector<std::string>& w, bool allowTo, const char* form) {
    Dump d;
    if (w.size() < 2) error(std::string("expected: ") + form);
    d.decl = dictionaryFile(w[1]);
    if (!d.decl) error("no file " + w[1] + " in the dictionary");
    for (std::size_t i = 2; i < w.size(); i += 2) {
      if (i + 1 >= w.size()) error(std::string("expected: ") + form);
      if (w[i] == "key") {
        d.key = keyNumber(*d.decl, w[i + 1]);
        if (!d.key) error(w[1] + " has no key " + w[i + 1]);
      } else if (w[i] == ">" && allowTo) {
        d.to = w[i + 1];
      } else {
        error(std::string("expected: ") + form);
      }
    }
    return d;
  }

  Action parseExpectDump(const std::vector<std::string>& w, std::size_t& i) {
    int start = line_;
    Dump d = parseDumpArgs(w, false, "expect-dump <file> [key <k>], the records' JSON lines, end");
    std::vector<JsonObject> want;
    for (++i;; ++i) {
      if (i >= lines_.size()) {
        line_ = start;
        error("expect-dump without end");
      }
      line_ = static_cast<int>(i) + 1;
      std::string_view l = lines_[i];
      std::string_view body = trimLeft(l, " \t");
      if (body.empty() || body[0] == '#') continue;
      if (trimRight(body) == "end") break;
      std::string why;
      std::optional<JsonObject> o = parseJsonObject(l, why);
      if (!o) error("not a JSON object: " + why);
      for (const auto& member : *o) {
        bool known = false;
        for (const storage::FieldDesc& f : d.decl->fields)
          known = known || cp::sameName(std::string(d.decl->prefix) + ":" + std::string(f.name), member.first);
        if (!known) error(std::string(d.decl->label) + " has no field " + member.first);
      }
      want.push_back(std::move(*o));
    }
    return [d, want, start](Context& c) {
      c.line = start;
      std::vector<JsonObject> got;
      std::string why;
      if (!readRecords(*d.decl, d.key, got, why)) return c.fail(why);
      std::string file(d.decl->label);
      if (got.size() != want.size())
        return c.fail(file + " has " + numberText(static_cast<int>(got.size())) + " record(s), expected " +
                      numberText(static_cast<int>(want.size())));
      for (std::size_t r = 0; r < want.size(); ++r) {
        c.line = start + 1 + static_cast<int>(r);  // near enough when the lines hold comments
        for (const auto& [label, value] : want[r]) {
          for (const auto& [field, v] : got[r]) {
            if (!cp::sameName(field, label)) continue;
            if (!(v == value))
              return c.fail(file + " record " + numberText(static_cast<int>(r + 1)) + ": " + toJson({{field, v}}) +
                            ", expected " + toJson({{field, value}}));
          }
        }
      }
    };
  }

  // A command's parser: the line's words, the first being the command's name.
  using Handler = Action (Parser::*)(const std::vector<std::string>&);

  // One row of the command list: the first word; the forms and the line of help as
  // README.md lists them; the parser (none: another form of the row above it, or a
  // command the script's structure takes: run, end, expect-dump). A row without
  // forms is another name of the row above.
  struct CommandRow {
    std::string_view name, forms;
    Handler parse;
    std::string_view help;
  };

 public:
  static std::span<const CommandRow> commands() {
    static const CommandRow rows[] = {
        {"cd", "`cd <folder>`", &Parser::cd, "changes the current folder (where `F_NAME.DAT` is)"},
        {"set", "`set <variable> <value>`", &Parser::set,
         "sets a program-wide variable: `P_DBI`, `P_PRT`, `P_LVO`, `P_PLN`, `RFKPATH`, `PATHZELK`, `FIR`, `N_KL_A`, "
         "`D1`, `D2` (dates as `YYYY-MM-DD`) ..."},
        {"odbc", "`odbc <connection string>`", &Parser::odbc,
         "the connection of the ODBC files (PARTNER, ANALIT); `DSN=zlk` until set"},
        {"timeout", "`timeout <ms>`", &Parser::timeout,
         "how long `wait`, `expect-box` and a busy thread are waited for (5000)"},
        {"run", "`run <procedure> [request <r>]` ... `end`", nullptr,
         "calls the procedure on the script's thread with the request (`insert`, `change`, `delete`, `select`, "
         "`view` or a number; none by default); the lines up to `end` are the user's steps"},
        {"wait", "`wait \"<title>\"`", &Parser::wait,
         "waits for an open window with this title (of any thread); the steps after it act on that window while it "
         "stays open, else on the innermost window of the procedure's thread"},
        {"press", "`press <control>`", &Parser::onControl,
         "presses a button or menu item (`press ?OK`); an entry with the focus is left first"},
        {"accept", "`accept <control>`", &Parser::onControl, "leaves or confirms a control as it is"},
        {"type", "`type <entry> <text>`", &Parser::type, "types the text into the entry and leaves it"},
        {"menu", "`menu <item>`", &Parser::onControl, "chooses a menu item"},
        {"choose", "`choose <control>`", &Parser::onControl, "chooses a radio or a tab"},
        {"focus", "`focus <control>`", &Parser::onControl, "clicks into a control"},
        {"row", "`row <list> <n>`", &Parser::onRow, "highlights row n (1 the first)"},
        {"dblclick", "`dblclick <list> <n>`, `rclick <list> <n>`", &Parser::onRow, "double-clicks, right-clicks row n"},
        {"rclick", "", &Parser::onRow, ""},
        {"key", "`key [<control>] <key>`", &Parser::key,
         "presses a key: `Enter`, `Esc`, `Ins`, `Del`, `Ctrl+Enter`, `Shift+Enter`, `Ctrl+H`, a character or a code "
         "(`0x10D`)"},
        {"activate", "`activate`", &Parser::activate,
         "the window gains the focus again, as when the user comes back to it from another window (its refresh "
         "runs); windows of other threads first take what they were sent"},
        {"close", "`close`", &Parser::close, "the window's close box"},
        {"answer", "`answer <button>`", &Parser::answer,
         "the button that answers the next message box: `Ok`, `Yes`, `No`, `Cancel`, `Retry`, `Abort`, `Ignore` "
         "(without an answer a box takes its default button)"},
        {"expect-box", "`expect-box \"<caption>\" [\"<text>\"]`", &Parser::expectBox,
         "the oldest box not yet looked at has this caption (and text; `\\|` separates its lines)"},
        {"expect-no-box", "`expect-no-box`", &Parser::expectNoBox, "every box shown has been looked at"},
        {"file", "`file <path>` / `file cancel`", &Parser::file,
         "the answer of the next open-file dialog (a relative path is taken from the current folder)"},
        {"expect", "`expect <control> <property> <value>`", &Parser::expect,
         "a control's `text`, `hidden`, `disabled`, `readonly`, `default` (`true`/`false`), `rows`, `selected` "
         "(the highlighted row, 0 none), `choice`"},
        {"expect", "`expect <list> row <n> \"<cell>\" ...`", nullptr, "every cell of row n"},
        {"expect", "`expect <list> cell <n> <column> \"<text>\"`", nullptr, "one cell"},
        {"expect", "`expect title \"<title>\"`, `expect focus <control>`", nullptr,
         "the window's title, the control with the focus"},
        {"expect-var", "`expect-var <variable> <value>`", &Parser::expectVar, "a program-wide variable's value"},
        {"expect-response", "`expect-response <completed\\|cancelled\\|none\\|n>`", &Parser::expectResponse,
         "the answer of the window procedure that returned last"},
        {"expect-beeps", "`expect-beeps <n>`", &Parser::expectBeeps, "beeps so far (an entry refusing its text beeps)"},
        {"dump", "`dump <file> [key <k>] [> <path>]`", &Parser::dump,
         "prints every record of a file of the dictionary (`F_NAME`, `PRT`, `PLN`, `LVO`, `DBI`, `SUBS_CLT`, "
         "`PARTNER`, `ANALIT`) in record order or in the order of key k (`1`, `KEY_1`, `FNM:KEY_1`), one JSON object "
         "a line, to the standard output or a file"},
        {"expect-dump", "`expect-dump <file> [key <k>]` ... `end`", nullptr,
         "the file holds exactly as many records as lines follow, each a JSON object whose members equal the "
         "record's fields of those labels"},
    };
    return rows;
  }

 private:
  Action action(const std::vector<std::string>& w) {
    for (const CommandRow& r : commands())
      if (r.name == w[0] && r.parse) return (this->*r.parse)(w);
    error("no command " + w[0]);
  }

  std::string ansiArg(const std::vector<std::string>& w, std::size_t i) { return cp::fromUtf8(w[i]); }

  Action cd(const std::vector<std::string>& w) {
    count(w, 1, 1, "cd <folder>");
    std::string to = w[1];
    return [to](Context& x) {
      std::error_code ec;
      std::filesystem::current_path(to, ec);
      if (ec) x.fail("cannot change to the folder " + to + ": " + ec.message());
    };
  }

  Action set(const std::vector<std::string>& w) {
    count(w, 2, 2, "set <variable> <value>");
    const ui::Use* v = variable(w[1]);
    if (!v) error("no program-wide variable " + w[1]);
    if (v->type == ui::Use::Type::Text) {
      std::string t = ansiArg(w, 2);
      return [v, t](Context&) { v->setText(t); };
    }
    std::optional<double> d = variableNumber(*v, w[2]);
    if (!d) error("not a value of " + w[1] + ": " + w[2]);
    return [v, n = *d](Context&) { v->setNumber(n); };
  }

  Action odbc(const std::vector<std::string>& w) {
    count(w, 1, 1, "odbc <connection string>");
    return [s = w[1]](Context&) { storage::odbc::setConnectionString(s); };
  }

  Action timeout(const std::vector<std::string>& w) {
    count(w, 1, 1, "timeout <milliseconds>");
    int ms = integer(w[1], "the timeout");
    return [ms](Context& x) { x.user.timeout = std::chrono::milliseconds(ms); };
  }

  Action wait(const std::vector<std::string>& w) {
    count(w, 1, 1, "wait <title>");
    return [t = ansiArg(w, 1)](Context& x) { x.user.wait(t); };
  }

  // press, accept, menu, choose, focus <control>
  Action onControl(const std::vector<std::string>& w) {
    using Do = void (ScriptedUser::*)(ui::Window&, std::string_view);
    static const std::pair<std::string_view, Do> onControl[] = {
        {"press", &ScriptedUser::press}, {"accept", &ScriptedUser::accept}, {"menu", &ScriptedUser::menu},
        {"choose", &ScriptedUser::choose}, {"focus", &ScriptedUser::focus},
    };
    count(w, 1, 1, "<action> <control>");
    Do f = nullptr;
    for (const auto& [name, g] : onControl)
      if (name == w[0]) f = g;
    return [f, ctl = ansiArg(w, 1)](Context& x) { (x.user.*f)(x.user.current(), ctl); };
  }

  Action type(const std::vector<std::string>& w) {
    count(w, 2, 2, "type <entry> <text>");
    return [ctl = ansiArg(w, 1), t = ansiArg(w, 2)](Context& x) { x.user.type(x.user.current(), ctl, t); };
  }

  // row, dblclick, rclick <list> <row>
  Action onRow(const std::vector<std::string>& w) {
    using DoRow = void (ScriptedUser::*)(ui::Window&, std::string_view, int);
    static const std::pair<std::string_view, DoRow> onRow[] = {
        {"row", &ScriptedUser::selectRow}, {"dblclick", &ScriptedUser::doubleClick},
        {"rclick", &ScriptedUser::rightClick},
    };
    count(w, 2, 2, "<action> <list> <row>");
    int r = integer(w[2], "the row");
    DoRow f = nullptr;
    for (const auto& [name, g] : onRow)
      if (name == w[0]) f = g;
    return [f, ctl = ansiArg(w, 1), r](Context& x) { (x.user.*f)(x.user.current(), ctl, r); };
  }

  Action key(const std::vector<std::string>& w) {
    count(w, 1, 2, "key [<control>] <key>");
    std::optional<int> k = keyNamed(w.back());
    if (!k) error("no key " + w.back());
    std::string ctl = w.size() == 3 ? ansiArg(w, 1) : std::string();
    return [ctl, k = *k](Context& x) { x.user.key(x.user.current(), ctl, k); };
  }

  Action activate(const std::vector<std::string>& w) {
    count(w, 0, 0, "activate");
    return [](Context& x) {
      // What the windows of other threads were sent is taken first (a look-up's pick).
      for (ui::Window* o : ui::allWindows()) x.user.settle(*o);
      x.user.current().userActivate();
    };
  }

  Action close(const std::vector<std::string>& w) {
    count(w, 0, 0, "close");
    return [](Context& x) { x.user.close(x.user.current()); };
  }

  Action answer(const std::vector<std::string>& w) {
    count(w, 1, 1, "answer <button>");
    std::optional<unsigned> b = buttonNamed(w[1]);
    if (!b) error("no button " + w[1] + " (Ok, Yes, No, Cancel, Retry, Abort, Ignore)");
    return [b = *b](Context& x) { x.user.answerBox(b); };
  }

  Action file(const std::vector<std::string>& w) {
    count(w, 1, 1, "file <path> | file cancel");
    if (w[1] == "cancel") return [](Context& x) { x.user.answerFile(std::nullopt); };
    return [p = w[1]](Context& x) {
      x.user.answerFile(cp::fromUtf8(std::filesystem::absolute(p).lexically_normal().string()));
    };
  }

  Action expectBox(const std::vector<std::string>& w) {
    count(w, 1, 2, "expect-box <caption> [<text>]");
    std::optional<std::string> text;
    if (w.size() == 3) text = ansiArg(w, 2);
    return [cap = ansiArg(w, 1), text](Context& x) { x.user.expectBox(cap, text); };
  }

  Action expectNoBox(const std::vector<std::string>& w) {
    count(w, 0, 0, "expect-no-box");
    return [](Context& x) { x.user.expectNoBox(); };
  }

  Action expectVar(const std::vector<std::string>& w) {
    count(w, 2, 2, "expect-var <variable> <value>");
    const ui::Use* v = variable(w[1]);
    if (!v) error("no program-wide variable " + w[1]);
    std::string want = w[2];
    std::optional<double> n;
    if (v->type != ui::Use::Type::Text && !(n = variableNumber(*v, want))) error("not a value of " + w[1] + ": " + want);
    return [v, want, n, name = w[1]](Context& x) {
      bool ok = v->type == ui::Use::Type::Text ? trimRight(v->getText()) == trimRight(cp::fromUtf8(want))
                                                : v->getNumber() == *n;
      if (!ok) x.fail(name + " is \"" + shown(*v) + "\", expected \"" + want + "\"");
    };
  }

  Action expectResponse(const std::vector<std::string>& w) {
    count(w, 1, 1, "expect-response <completed|cancelled|none|n>");
    std::optional<int> r = codeNamed(w[1], {{"none", 0}, {"completed", 1}, {"cancelled", 2}});
    if (!r) error("no response " + w[1]);
    return [r = *r](Context& x) {
      if (dict::GLOBALRESPONSE != r)
        x.fail("the response is " + numberText(static_cast<int>(dict::GLOBALRESPONSE)) + ", expected " + numberText(r));
    };
  }

  Action expectBeeps(const std::vector<std::string>& w) {
    count(w, 1, 1, "expect-beeps <n>");
    int n = integer(w[1], "the count");
    return [n](Context& x) {
      if (x.user.beeps() != n) x.fail(numberText(x.user.beeps()) + " beep(s), expected " + numberText(n));
    };
  }

  Action dump(const std::vector<std::string>& w) {
    Dump d = parseDumpArgs(w, true, "dump <file> [key <k>] [> <path>]");
    return [d](Context& x) {
      std::vector<JsonObject> records;
      std::string why;
      if (!readRecords(*d.decl, d.key, records, why)) return x.fail(why);
      std::string out;
      for (const JsonObject& r : records) out += toJson(r) + "\n";
      if (d.to.empty()) {
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fflush(stdout);
        return;
      }
      std::ofstream f(d.to, std::ios::binary | std::ios::trunc);
      f.write(out.data(), static_cast<std::streamsize>(out.size()));
      if (!f) x.fail("cannot write " + d.to);
    };
  }

  // expect title T | expect focus C | expect C <property> V | expect C row R cells... |
  // expect C cell R K T
  Action expect(const std::vector<std::string>& w) {
    const char* form = "expect <control> <property> <value>";
    if (w.size() == 3 && (w[1] == "title" || w[1] == "focus")) {
      std::string prop = w[1], v = cp::fromUtf8(w[2]);
      return [prop, v](Context& x) { x.user.expect(x.user.current(), "", prop, v); };
    }
    if (w.size() < 4) error(std::string("expected: ") + form);
    std::string ctl = cp::fromUtf8(w[1]);
    const std::string& prop = w[2];
    if (prop == "row") {
      int r = integer(w[3], "the row");
      ui::Window::Row cells;
      for (std::size_t i = 4; i < w.size(); ++i) cells.push_back(cp::fromUtf8(w[i]));
      return [ctl, r, cells](Context& x) { x.user.expectRow(x.user.current(), ctl, r, cells); };
    }
    if (prop == "cell") {
      count(w, 5, 5, "expect <list> cell <row> <column> <text>");
      int r = integer(w[3], "the row"), k = integer(w[4], "the column");
      return [ctl, r, k, t = cp::fromUtf8(w[5])](Context& x) { x.user.expectCell(x.user.current(), ctl, r, k, t); };
    }
    count(w, 3, 3, form);
    static const char* const flags[] = {"hidden", "disabled", "readonly", "default"};
    static const char* const numbers[] = {"rows", "selected"};
    static const char* const texts[] = {"text", "choice"};
    bool known = false;
    for (const char* f : flags)
      if (prop == f) {
        known = true;
        if (w[3] != "true" && w[3] != "false") error(prop + " is true or false");
      }
    for (const char* f : numbers)
      if (prop == f) {
        known = true;
        integer(w[3], prop.c_str());
      }
    for (const char* f : texts) known = known || prop == f;
    if (!known) error("no property " + prop);
    return [ctl, prop, v = cp::fromUtf8(w[3])](Context& x) { x.user.expect(x.user.current(), ctl, prop, v); };
  }

  const std::vector<std::string>& lines_;
  int line_ = 0;
};

}  // namespace

std::vector<Command> parseScript(const std::vector<std::string>& lines) { return Parser(lines).parse(); }

std::string commandList() {
  std::string out = "| command | what it does |\n|---|---|\n";
  for (const auto& row : Parser::commands())
    if (!row.forms.empty()) out += "| " + std::string(row.forms) + " | " + std::string(row.help) + " |\n";
  return out;
}

}  // namespace zelk::script
