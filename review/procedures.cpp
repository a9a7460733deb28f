#include "review/procedures.h"

#include "app/patterns/procedures.h"

namespace zelk::review {

// A window that stands is registered with its procedure in place of its plan.
void registerProcedures() {
  app::planProcedure("DBI_TAB");
  app::planProcedure("UPDATEDBI");
  app::planProcedure("PLN_TAB");
  app::planProcedure("PLN_TAB1");
  app::planProcedure("UPDATEPLN");
  app::planProcedure("PR_TTT");
  app::planProcedure("PR_TTT1");
  app::planProcedure("UPDATEPARTNER1");
}

}  // namespace zelk::review
