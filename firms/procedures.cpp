#include "firms/procedures.h"

#include "app/patterns/procedures.h"
#include "firms/firms.h"

namespace zelk::firms {

void registerProcedures() {
  app::registerProcedure("S_FIR", S_FIR);
  app::registerProcedure("FNM_TAB", FNM_TAB);
  app::registerProcedure("UPDATEF_NAME", UPDATEF_NAME);
}

}  // namespace zelk::firms
