// KLBSS: the BSS statement import window.
#include "app/patterns/window.h"
#include "import/bss.h"
#include "import/import_window.h"
#include "import/windows.h"

namespace zelk::import {
namespace {

ImportSetup bssSetup() {
  ImportSetup s;
  s.window.procedureName = "klbss";
  s.window.files = postingFiles();
  s.fileChoice = true;
  s.run = runBss;
  return s;
}

}  // namespace

void KLBSS() {
  ImportLocals locals;
  ui::Window window(statementWindow("ZELK$zelk019", "Предварительный импорт Клиент-Банка BSS", locals));
  ImportWindow thisWindow(window, locals, bssSetup());
  app::respond(thisWindow);
}

}  // namespace zelk::import
