#include "review/procedures.h"

#include "app/patterns/procedures.h"
#include "review/chart.h"
#include "review/partners.h"
#include "review/postings.h"

namespace zelk::review {

// A window that stands is registered with its procedure in place of its plan.
void registerProcedures() {
  app::registerProcedure("DBI_TAB", DBI_TAB);
  app::registerProcedure("UPDATEDBI", UPDATEDBI);
  app::registerProcedure("PLN_TAB", PLN_TAB);
  app::registerProcedure("PLN_TAB1", PLN_TAB1);
  app::registerProcedure("UPDATEPLN", UPDATEPLN);
  app::registerProcedure("PR_TTT", PR_TTT);
  app::registerProcedure("PR_TTT1", PR_TTT1);
  app::registerProcedure("UPDATEPARTNER1", UPDATEPARTNER1);
}

}  // namespace zelk::review
