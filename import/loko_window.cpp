// LOKO: the On-soft/Loko-Bank statement import window.
#include "app/patterns/window.h"
#include "import/import_window.h"
#include "import/loko.h"
#include "import/windows.h"

namespace zelk::import {
namespace {

ImportSetup lokoSetup() {
  ImportSetup s;
  s.window.procedureName = "loko";
  s.window.files = postingFiles();
  s.fileChoice = true;
  s.redrawDirectly = true;
  s.run = runLoko;
  return s;
}

}  // namespace

void LOKO() {
  ImportLocals locals;
  ui::Window window(statementWindow("ZELK$zelk011", "Предварительный импорт Локо-Банк", locals));
  ImportWindow thisWindow(window, locals, lokoSetup());
  app::respond(thisWindow);
}

}  // namespace zelk::import
