// The three import windows through the scripted user: the file choice, the start
// button, the message line and the counter, and what a run leaves in the files.
#include <filesystem>
#include <fstream>

#include "fixture.h"
#include "import/import_window.h"

namespace zelk::test {
namespace {

struct Importer {
  const char* name;
  void (*procedure)();
  const char* title;
  bool fileChoice;
};
const Importer kLoko{"LOKO", import::LOKO, kLokoTitle, true};
const Importer kRfk{"KLIENTRFK", import::KLIENTRFK, kRfkTitle, false};
const Importer kBss{"KLBSS", import::KLBSS, kBssTitle, true};

// Three documents of each kind: received from Альфа, then one without a row (Loko)
// or paid to Бета, then one more.
std::string lokoInput() {
  return lokoStatement({
      {"5000.00", "1", "01-03-2024", "100.00", "Оплата 1", "ООО Альфа", "ООО Мы"},
      {"5100.00", "2", "02-03-2024", "0", "Без суммы", "", ""},
      {"5100.00", "3", "03-03-2024", "-40.50", "Оплата 3", "ООО Мы", "ООО Гамма"},
  });
}
std::string bssInput() {
  const std::string other = "40702810000000009999";
  return crlfLines({
      dos("ВЫПИСКА"),
      bssHeader("01.03.2024", "5000,00"),
      bssDocument({"01.03.2024", "1", other, "ООО Альфа", "ООО Мы", "100,00", "Оплата 1"}),
      bssDocument({"02.03.2024", "2", std::string(kOwnAccount), "ООО Мы", "ООО Бета", "40,50", "Оплата 2"}),
      bssDocument({"03.03.2024", "3", other, "ООО Гамма", "ООО Мы", "10,00", "Оплата 3"}),
  });
}
std::vector<Payment> rfkInput() {
  return {
      {0, day(2024, 3, 1), 5000, 100, 0, "1", "ООО Альфа", "Оплата 1"},
      {0, day(2024, 3, 2), 0, 0, 40.5, "2", "ООО Бета", "Оплата 2"},
      {0, day(2024, 4, 10), 0, 7, 0, "9", "ООО Апрель", "Не в интервале"},
      {day(2024, 3, 3), 0, 0, 10, 0, "3", "ООО Гамма", "Оплата 3"},
  };
}

class ImportWindowTest : public ImportUiTest {
 protected:
  // The input of the importer: a statement file (its name) or the payments table.
  std::string prepare(const Importer& imp) {
    if (imp.procedure == import::KLIENTRFK) {
      EXPECT_EQ(writePayments(dir / "subs_clt.dbf", rfkInput()), 0);
      return {};
    }
    return write("vypiska.txt", imp.procedure == import::LOKO ? lokoInput() : bssInput());
  }
  // The person gives the input: the file chosen, or the interval typed.
  static void giveInput(script::ScriptedUser& u, ui::Window& w, const std::string& file) {
    if (file.empty()) {
      u.type(w, "?D1", "01/03/2024");
      u.type(w, "?D2", "31/03/2024");
      return;
    }
    u.answerFile(file);
    u.press(w, "?LOOKUPFILE");
  }
  std::uint8_t run(const Importer& imp) {
    imp.procedure();
    return dict::GLOBALRESPONSE;
  }
};

TEST_F(ImportWindowTest, AStatementImportedShowsItsCountAndWritesTheFiles) {
  struct Case {
    Importer imp;
    std::vector<std::string> purposes;
    std::vector<std::int32_t> rows;
    std::vector<std::string> rowNames;
    std::int32_t balanceDay;
  } cases[] = {
      {kLoko, {"Оплата 1", "Без суммы", "Оплата 3"}, {1, 1, 2}, {"ООО Альфа", "ООО Гамма"}, day(2024, 3, 1)},
      {kRfk, {"Оплата 1", "Оплата 2", "Оплата 3"}, {1, 2, 3}, {"ООО Альфа", "ООО Бета", "ООО Гамма"}, day(2024, 3, 1)},
      {kBss, {"Оплата 1", "Оплата 2", "Оплата 3"}, {1, 2, 3}, {"ООО Альфа", "ООО Бета", "ООО Гамма"}, day(2024, 3, 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.imp.name);
    previous(5);
    const std::string file = prepare(c.imp);
    bool startHiddenAtOpen = false, startShown = false;
    std::string running, count, message, nameShown;
    std::vector<std::string> counterDuringRun;

    on(c.imp.title, [&](script::ScriptedUser& u, ui::Window& w) {
      startHiddenAtOpen = hidden(w, "?BUTTON4");
      giveInput(u, w, file);
    });
    on(c.imp.title, [&](script::ScriptedUser& u, ui::Window& w) {
      startShown = !hidden(w, "?BUTTON4");
      if (c.imp.fileChoice) nameShown = text(w, "?PATHZELK");
      u.focus(w, "?BUTTON4");
    });
    on(c.imp.title, [&](script::ScriptedUser& u, ui::Window& w) {
      running = text(w, "?MESSAGE");
      user.forget();
      u.press(w, "?BUTTON4");
    });
    closePostingsList();
    on(c.imp.title, [&](script::ScriptedUser& u, ui::Window& w) {
      counterDuringRun = user.counterShown();
      count = text(w, "?NS");
      message = text(w, "?MESSAGE");
      u.press(w, "?CANCELBUTTON");
    });
    EXPECT_EQ(run(c.imp), fw::response::kCancelled);
    EXPECT_TRUE(user.finished());

    EXPECT_EQ(startHiddenAtOpen, c.imp.fileChoice);
    EXPECT_TRUE(startShown);
    if (c.imp.fileChoice) {
      EXPECT_EQ(nameShown, file);
      EXPECT_EQ(cp::toUtf8(dict::PATHZELK.str()), file);
    }
    EXPECT_EQ(running, "Идет выполнение!!!");
    EXPECT_EQ(counterDuringRun, (std::vector<std::string>{"    1", "    2", "    3"}));  // every posting shown
    EXPECT_EQ(count, "    3");
    EXPECT_EQ(message, "Задание выполнено");
    EXPECT_EQ(purposes(), c.purposes);  // the previous run's postings are gone
    EXPECT_EQ(rowNumbers(), c.rows);
    EXPECT_EQ(rowNames(), c.rowNames);
    EXPECT_EQ(balanceRecords(), (std::vector<std::pair<double, std::int32_t>>{{5000, c.balanceDay}}));
    EXPECT_EQ(boxes.count(), 0u);
  }
  // The interval stays as typed.
  EXPECT_EQ(dict::D1.load(), day(2024, 3, 1));
  EXPECT_EQ(dict::D2.load(), day(2024, 3, 31));
}

// The file dialog cancelled: no name, the start button shown all the same; the run
// finds no statement and leaves the firm's files as they were.
TEST_F(ImportWindowTest, TheDialogCancelledLeavesTheFilesAsTheyWere) {
  for (const Importer& imp : {kLoko, kBss}) {
    SCOPED_TRACE(imp.name);
    previous(2);
    dict::PATHZELK = "/tmp/an earlier choice.txt";
    std::string nameAtOpen, nameAfter, message, count;
    bool startShown = false;
    on(imp.title, [&](script::ScriptedUser& u, ui::Window& w) {
      nameAtOpen = text(w, "?PATHZELK");
      u.answerFile(std::nullopt);
      u.press(w, "?LOOKUPFILE");
    });
    on(imp.title, [&](script::ScriptedUser& u, ui::Window& w) {
      startShown = !hidden(w, "?BUTTON4");
      nameAfter = text(w, "?PATHZELK");
      u.press(w, "?BUTTON4");
    });
    closePostingsList();
    on(imp.title, [&](script::ScriptedUser& u, ui::Window& w) {
      message = text(w, "?MESSAGE");
      count = text(w, "?NS");
      u.close(w);
    });
    run(imp);
    EXPECT_TRUE(user.finished());

    EXPECT_EQ(nameAtOpen, "");
    EXPECT_TRUE(startShown);
    EXPECT_EQ(nameAfter, "");
    EXPECT_EQ(dict::PATHZELK.str(), "");
    const std::vector<ui::Backend::FileDialog> dialogs = user.fileDialogs();
    ASSERT_FALSE(dialogs.empty());
    EXPECT_EQ(cp::toUtf8(dialogs.back().title), "Выбор файла");
    EXPECT_EQ(dialogs.back().filters, (std::vector<std::pair<std::string, std::string>>{{"All Files", "*.txt"}}));
    EXPECT_TRUE(dialogs.back().mustExist);
    EXPECT_EQ(message, "Не найден входной файл");
    EXPECT_EQ(count, "");
    EXPECT_EQ(purposes(), (std::vector<std::string>{"old", "old"}));
    EXPECT_EQ(rowNames(), (std::vector<std::string>{"old", "old"}));
    EXPECT_EQ(balanceRecords(), (std::vector<std::pair<double, std::int32_t>>{{777, 7}}));
    EXPECT_EQ(boxes.count(), 0u);
  }
}

// A second run in the same window whose input fails keeps the first run's count.
TEST_F(ImportWindowTest, ARunAfterARunReplacesItOrKeepsItsCount) {
  struct Case {
    Importer imp;
    std::string count, message;
    std::size_t postings;
  } cases[] = {
      {kLoko, "    3", "Не найден входной файл", 3},
      {kBss, "    3", "Не найден входной файл", 3},
      {kRfk, "", "Задание выполнено", 0},  // the interval emptied: nothing taken
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.imp.name);
    const std::string file = prepare(c.imp);
    std::string count, message;
    on(c.imp.title, [&](script::ScriptedUser& u, ui::Window& w) { giveInput(u, w, file); });
    on(c.imp.title, [&](script::ScriptedUser& u, ui::Window& w) { u.press(w, "?BUTTON4"); });
    closePostingsList();
    on(c.imp.title, [&](script::ScriptedUser& u, ui::Window& w) {
      if (c.imp.fileChoice) {
        std::filesystem::remove(file);  // chosen, then gone
        u.answerFile(file);
        u.press(w, "?LOOKUPFILE");
      } else {
        u.type(w, "?D2", "");
      }
    });
    on(c.imp.title, [&](script::ScriptedUser& u, ui::Window& w) { u.press(w, "?BUTTON4"); });
    closePostingsList();
    on(c.imp.title, [&](script::ScriptedUser& u, ui::Window& w) {
      count = text(w, "?NS");
      message = text(w, "?MESSAGE");
      u.press(w, "?CANCELBUTTON");
    });
    run(c.imp);
    EXPECT_TRUE(user.finished());
    EXPECT_EQ(count, c.count);
    EXPECT_EQ(message, c.message);
    EXPECT_EQ(purposes().size(), c.postings);
  }
}

// A write that fails stops the run with the error manager's message; the line does
// not say the job is done.
TEST_F(ImportWindowTest, ARowsFileNotOpenForWritingShowsItsMessageAndNotDone) {
  const std::string file = prepare(kLoko);
  previous(0);  // the files made
  ASSERT_EQ(dict::PRT().open(storage::mode::kRead | storage::mode::kDenyNone), 0);  // rows cannot be added
  std::string count, message;
  on(kLokoTitle, [&](script::ScriptedUser& u, ui::Window& w) { giveInput(u, w, file); });
  on(kLokoTitle, [&](script::ScriptedUser& u, ui::Window& w) {
    u.focus(w, "?BUTTON4");
    u.press(w, "?BUTTON4");
  });
  closePostingsList();
  on(kLokoTitle, [&](script::ScriptedUser& u, ui::Window& w) {
    count = text(w, "?NS");
    message = text(w, "?MESSAGE");
    u.close(w);
  });
  run(kLoko);
  if (dict::PRT().isOpen()) dict::PRT().close();
  EXPECT_TRUE(user.finished());
  ASSERT_EQ(boxes.count(), 1u);
  EXPECT_EQ(cp::toUtf8(boxes.boxes().front().caption), "Запись не удаляется");
  EXPECT_EQ(message, "");
  EXPECT_EQ(count, "");
  EXPECT_TRUE(purposes().empty());
}

// A run of more documents than four digits show: the counter shows each whole, up
// to the most a run can count.
TEST_F(ImportWindowTest, TheCounterShowsCountsAboveFourDigitsWhole) {
  constexpr int kDocuments = 10001;
  std::vector<LokoDoc> docs(kDocuments, LokoDoc{"5000.00", "1", "01-03-2024", "1.00", "Оплата", "ООО Альфа", "ООО Мы"});
  const std::string file = write("vypiska.txt", lokoStatement(docs));
  std::string count;
  std::vector<std::string> shown;
  on(kLokoTitle, [&](script::ScriptedUser& u, ui::Window& w) { giveInput(u, w, file); });
  on(kLokoTitle, [&](script::ScriptedUser& u, ui::Window& w) {
    user.forget();
    u.press(w, "?BUTTON4");
  });
  closePostingsList();
  on(kLokoTitle, [&](script::ScriptedUser& u, ui::Window& w) {
    shown = user.counterShown();
    count = text(w, "?NS");
    u.close(w);
  });
  run(kLoko);
  EXPECT_TRUE(user.finished());
  EXPECT_EQ(count, "10001");
  ASSERT_GE(shown.size(), 10000u);
  EXPECT_EQ(shown[9998], " 9999");
  EXPECT_EQ(shown[9999], "10000");

  // The largest count, as the window shows it.
  import::ImportLocals locals;
  ui::Window w(import::statementWindow("ZELK$test", "t", locals));
  locals.count = INT16_MAX;
  w.display();
  EXPECT_EQ(text(w, "?NS"), "32767");
}

// A name longer than the 60 characters shown, and longer than PATHZELK holds, is
// imported whole: never a file whose name is its cut, which here holds one document.
TEST_F(ImportWindowTest, ALongFileNameIsImportedWholeAndShownCut) {
  const std::string folder = "a-folder-whose-name-alone-is-longer-than-the-sixty-characters-shown/";
  for (int depth : {1, 4}) {
    std::string name;
    for (int i = 0; i < depth; ++i) name += folder;
    std::filesystem::create_directories(dir.path() / name);
    name += "statement.txt";
    for (const Importer& imp : {kLoko, kBss}) {
      SCOPED_TRACE(std::string(imp.name) + " " + std::to_string(depth));
      const bool loko = imp.procedure == import::LOKO;
      const std::string file = write(name, loko ? lokoInput() : bssInput());
      ASSERT_GT(file.size(), depth == 1 ? 60u : dict::kNameSize);
      const std::string decoy = loko ? lokoStatement({{"1", "1", "01-03-2024", "1", "", "", ""}})
                                     : crlfLines({"", bssHeader("01.03.2024", "1"), bssDocument({})});
      for (std::size_t cut : {std::size_t{60}, dict::kNameSize})
        if (cut < file.size()) std::ofstream(file.substr(0, cut), std::ios::binary) << decoy;
      std::string shown, count;
      on(imp.title, [&](script::ScriptedUser& u, ui::Window& w) {
        u.answerFile(file);
        u.press(w, "?LOOKUPFILE");
      });
      on(imp.title, [&](script::ScriptedUser& u, ui::Window& w) {
        shown = text(w, "?PATHZELK");
        u.press(w, "?BUTTON4");
      });
      closePostingsList();
      on(imp.title, [&](script::ScriptedUser& u, ui::Window& w) {
        count = text(w, "?NS");
        u.close(w);
      });
      run(imp);
      EXPECT_TRUE(user.finished());
      EXPECT_EQ(shown, file.substr(0, 60));
      EXPECT_EQ(dict::PATHZELK.str(), file.substr(0, dict::kNameSize));
      EXPECT_EQ(count, "    3");
    }
  }
}

}  // namespace
}  // namespace zelk::test
