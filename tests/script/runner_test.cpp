// The script runner end to end, in a child process: a test procedure that writes
// firms into F_NAME, driven from a script; the exit statuses; the JSON dump.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/patterns/procedures.h"
#include "dictionary/files.h"
#include "dictionary/globals.h"
#include "dictionary/managers.h"
#include "platform/core/codepage.h"
#include "platform/core/date.h"
#include "platform/framework/errors.h"
#include "platform/ui/window.h"
#include "support/files.h"
#include "support/runscript.h"

namespace zelk::test {
namespace {

namespace fs = std::filesystem;

// "Новая фирма": ?KOD, ?NAME, ?SAVE adds the firm to F_NAME, ?COUNT shows the
// number of firms, ?CLOSE asks before it closes.
void newFirm() {
  std::int16_t kod = 0;
  Text<50> name;
  ui::WindowDef def;
  def.title = ansi("Новая фирма");
  auto add = [&](ui::Kind k, const char* n) {
    ui::ControlDef c;
    c.kind = k;
    c.name = n;
    def.controls.push_back(c);
  };
  add(ui::Kind::Entry, "?KOD");
  add(ui::Kind::Entry, "?NAME");
  add(ui::Kind::Button, "?SAVE");
  add(ui::Kind::String, "?COUNT");
  add(ui::Kind::Button, "?CLOSE");
  def.controls[0].use = ui::useNumber(kod);
  def.controls[0].picture = "n3";
  def.controls[1].use = ui::use(name);
  dict::Relate::F_NAME->Open();
  ui::Window w(def);
  w.open();
  for (bool done = false; !done;) {
    ui::EventRec e = w.wait();
    if (e.event == ui::Event::CloseWindow) {
      dict::GLOBALRESPONSE = 2;
      break;
    }
    if (e.event != ui::Event::Accepted) continue;
    if (e.control == 3) {
      dict::F_NAME().clearBuffer();
      dict::F_NAME().rec.KOD = kod;
      dict::F_NAME().rec.NAME = name;
      dict::Access::F_NAME->Insert();
      w.setText(4, std::to_string(dict::F_NAME().records()));
    } else if (e.control == 5) {
      fw::Box b{ansi("Выход"), ansi("Закрыть окно?"), fw::Icon::Question, fw::kButtonYes | fw::kButtonNo,
                fw::kButtonYes};
      if (fw::boxService().show(b) == fw::kButtonYes) {
        dict::GLOBALRESPONSE = 1;
        done = true;
      }
    }
  }
  w.close();
  dict::Relate::F_NAME->Close();
}

using Result = ScriptRun;

class RunnerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { app::addProcedure("T_FIRM", newFirm); }

  std::string read(const std::string& name) const {
    std::ifstream f(dir / name, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }

  // Runs the script in a child process, as zelk-script would.
  ScriptRun run(const std::string& script) {
    std::ofstream(dir / "test.zs", std::ios::binary) << script;
    return runZelkScript(dir, dir / "test.zs");
  }

  // The script's first lines: the folder, and a firm written through the window.
  std::string firmScript(const std::string& expectCount) const {
    return "# a firm written through the test window\n"
           "cd " + dir.path().string() + "\n"
           "set FIR 7\n"
           "run T_FIRM\n"
           "  wait \"Новая фирма\"\n"
           "  expect ?SAVE disabled false\n"
           "  type ?KOD 5\n"
           "  type ?NAME \"ООО \\\"Ромашка\\\"\"\n"
           "  press ?SAVE\n"
           "  expect ?COUNT text " + expectCount + "\n"  // line 10
           "  press ?SAVE\n"
           "  expect-box \"Ошибка дублирования в ключе\"\n"
           "  answer No\n"
           "  press ?CLOSE\n"
           "  expect-box \"Выход\" \"Закрыть окно?\"\n"
           "  answer Yes\n"
           "  press ?CLOSE\n"
           "end\n"
           "expect-response completed\n"
           "expect-var FIR 7\n"
           "dump F_NAME key 1\n"
           "expect-dump F_NAME key FNM:KEY_1\n"
           "  {\"FNM:KOD\": 5, \"FNM:NAME\": \"ООО \\\"Ромашка\\\"\", \"FNM:PATH\": \"\"}\n"
           "end\n";
  }

  TempDir dir;
};

TEST_F(RunnerTest, PlaysTheScriptAndDumpsTheFirmsAsJson) {
  Result r = run(firmScript("1"));
  ASSERT_EQ(r.status, script::kPassed) << r.err;
  // Every field by its label, texts in UTF-8, numbers as numbers.
  std::ofstream(dir / "dump.jsonl", std::ios::binary) << r.out;
  std::ofstream(dir / "check.py") << "import json, sys\n"
                                     "rows = [json.loads(l) for l in open(sys.argv[1], encoding='utf-8')]\n"
                                     "assert len(rows) == 1, rows\n"
                                     "f = rows[0]\n"
                                     "assert list(f) == ['FNM:KOD', 'FNM:NAME', 'FNM:PATH', 'FNM:PATH_PLN',\n"
                                     "                   'FNM:SCH_B', 'FNM:RFKPATH', 'FNM:N_SC_P', 'FNM:N_KL'], f\n"
                                     "assert f['FNM:KOD'] == 5 and f['FNM:N_KL'] == 0, f\n"
                                     "assert f['FNM:NAME'] == 'ООО \"Ромашка\"', f\n";
  std::string cmd = "/usr/bin/python3 " + (dir / "check.py") + " " + (dir / "dump.jsonl");
  EXPECT_EQ(std::system(cmd.c_str()), 0) << r.out;
}

TEST_F(RunnerTest, AFailedAssertionStopsTheRunWithItsLine) {
  Result r = run(firmScript("2"));
  EXPECT_EQ(r.status, script::kFailed);
  EXPECT_NE(r.err.find("test.zs:10: window \"Новая фирма\": ?COUNT text is \"1\", expected \"2\""),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.out, "");  // nothing after the failure ran
}

TEST_F(RunnerTest, ReportsScriptErrorsAndFailuresByLine) {
  struct Case {
    std::string script;
    int status;
    std::string err;
  };
  const Case cases[] = {
      {"frobnicate ?OK\n", script::kScriptError, "test.zs:1: no command frobnicate"},
      {"\nrun NOSUCH\nend\n", script::kScriptError, "test.zs:2: no procedure NOSUCH"},
      {"run T_FIRM\n  answer Maybe\nend\n", script::kScriptError, "test.zs:2: no button Maybe"},
      {"run T_FIRM\n  press ?SAVE\n", script::kScriptError, "test.zs:1: run without end"},
      {"expect ?OK text\n", script::kScriptError, "test.zs:1: expected: expect"},
      {"cd " + dir.path().string() + "\nrun T_FIRM\nend\n", script::kFailed,
       "test.zs:3: the script ended while \"Новая фирма\" waited for the user"},
      {"expect-var FIR 3\n", script::kFailed, "test.zs:1: FIR is \"0\", expected \"3\""},
      {"set N_FIR_A Лютик\nexpect-var N_FIR_A Ромашка\n", script::kFailed,
       "test.zs:2: N_FIR_A is \"Лютик\", expected \"Ромашка\""},
      {"set D1 2024-03-01\nexpect-var D1 2024-03-31\n", script::kFailed,
       "test.zs:2: D1 is \"2024-03-01\", expected \"2024-03-31\""},
      {"cd " + dir / "empty" + "\nexpect-dump F_NAME\nend\n", script::kFailed,
       "test.zs:2: cannot open F_NAME"},
      {"answer Yes\n", script::kFailed, "1 message box answer(s) were not used"},
  };
  fs::create_directory(dir / "empty");
  for (const Case& c : cases) {
    Result r = run(c.script);
    EXPECT_EQ(r.status, c.status) << c.script << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << c.script << r.err;
  }
}

// The README's list of commands is the one zelk-script --help prints.
TEST(RunnerHelp, TheReadmeListsTheCommandsAsTheRunnerKnowsThem) {
  const std::string readme = readAll(std::string(ZELK_SOURCE_DIR) + "/README.md");
  const std::string list = script::commandList();
  EXPECT_NE(list.find("| `press <control>` |"), std::string::npos);
  EXPECT_NE(readme.find(list), std::string::npos) << "README.md should hold, as zelk-script --help prints it:\n" << list;
}

TEST(RecordsJson, EveryFieldByItsLabelDatesAsTextNumbersAsNumbers) {
  dict::DbiRecord d;
  d.DATAOPER = static_cast<std::int32_t>(date::dayNumber(2024, 3, 5));
  d.SUMMA = 1234.5;
  d.NNOPER = 17;
  d.NAMEOPER = ansi("Оплата \"счёта\"\\1");
  script::JsonObject o = script::recordValues(dict::DBI_DECL, reinterpret_cast<const char*>(&d));
  ASSERT_EQ(o.size(), dict::DBI_DECL.fields.size());
  std::string json = script::toJson(o);
  EXPECT_EQ(json.rfind("{\"DBI:NNOPER\":17,\"DBI:TASK\":\"\",\"DBI:DATAOPER\":\"2024-03-05\",", 0), 0u) << json;
  EXPECT_NE(json.find("\"DBI:SUMMA\":1234.5,"), std::string::npos) << json;
  EXPECT_NE(json.find("\"DBI:NAMEOPER\":\"Оплата \\\"счёта\\\"\\\\1\","), std::string::npos) << json;
  EXPECT_NE(json.find("\"DBI:USER_DATE\":null,"), std::string::npos) << json;
  std::string error;
  std::optional<script::JsonObject> back = script::parseJsonObject(json, error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(*back, o);
  for (const char* bad : {"", "{\"a\":}", "{\"a\":1,}", "{\"a\":true}", "{\"a\":1} x", "{\"a\":\"b}"})
    EXPECT_FALSE(script::parseJsonObject(bad, error)) << bad;
}

}  // namespace
}  // namespace zelk::test
