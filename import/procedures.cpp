#include "import/procedures.h"

#include "app/patterns/procedures.h"
#include "import/windows.h"

namespace zelk::import {

void registerProcedures() {
  app::registerProcedure("S_ME", S_ME);
  app::registerProcedure("LOKO", LOKO);
  app::registerProcedure("KLIENTRFK", KLIENTRFK);
  app::registerProcedure("KLBSS", KLBSS);
}

}  // namespace zelk::import
