#pragma once
// The window the three importers share: the message line, the counter, the start
// button that runs the import and then the postings list, the close button; the
// statement importers put the file choice above them. A procedure gives its window
// definition and its run:
//
//   void LOKO() {
//     ImportLocals locals;
//     ui::Window window(statementWindow("ZELK$zelk011", "Предварительный импорт Локо-Банк", locals));
//     ImportWindow thisWindow(window, locals, lokoSetup());
//     app::respond(thisWindow);
//   }
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/patterns/window.h"
#include "import/posting.h"
#include "platform/core/text.h"
#include "platform/framework/selectfile.h"
#include "platform/ui/defs.h"
#include "platform/ui/window.h"

namespace zelk::import {

// The window's own variables, new each time the procedure starts.
struct ImportLocals {
  Text<30> message;        // MESSAGE: the message line
  std::int16_t count = 0;  // NS: the postings of the current run
};

// The controls every import window ends with, in this order: the start button
// "Запуск импорта" (hidden until the file choice when startHidden), the message
// line, the counter, a hidden "&OK" and "&Закрыть"; laid out from the top edge y.
std::vector<ui::ControlDef> runControls(ImportLocals& locals, int y, bool startHidden);

// A statement importer's window: "Выбор файла с имортируемой выпиской:", the file
// button "Выбрать", the chosen name (its first 60 characters), then runControls.
ui::WindowDef statementWindow(std::string_view key, std::string_view titleUtf8, ImportLocals& locals);

// The files every import writes, in the order the window opens them: DBI, LVO, PRT.
std::vector<app::RelateOf> postingFiles();

// What sets one importer's window apart.
struct ImportSetup {
  app::WindowSetup window;  // the procedure's name and its files
  bool fileChoice = false;  // the statement file is chosen in the window (PATHZELK)
  bool redrawDirectly = false;   // a posting redraws the window instead of resetting it
  bool showResultAtOnce = false;  // the run's message shows as it ends, not at the next refresh
  // The run, given the statement file's whole name as chosen (blank when none was)
  // and the firm's accounts.
  std::function<ImportResult(std::string_view statement, const Accounts&, const Progress&)> run;
};

class ImportWindow : public app::WindowPattern {
 public:
  ImportWindow(ui::Window& window, ImportLocals& locals, ImportSetup setup);

  // The start button runs the import before the framework's handling, then the
  // postings list; the file button chooses the statement; the close button closes.
  std::uint8_t TakeAccepted() override;
  // The start button taking the focus: "Идет выполнение!!!".
  std::uint8_t TakeSelected() override;

  fw::SelectFileClass FILELOOKUP1;  // the open-file dialog of the file choice

 protected:
  void DefineListBoxStyle() override;  // the file choice starts with no name
  void AfterOpen() override;           // the file dialog set up

 private:
  void runImport();
  void chooseFile();
  void refresh();

  ImportLocals& locals_;
  ImportSetup import_;
  std::string statement_;  // the name chosen, whole however long; PATHZELK shows it
  int lookup_ = 0, start_ = 0, close_ = 0;  // control numbers; lookup_ 0 without a file choice
};

}  // namespace zelk::import
