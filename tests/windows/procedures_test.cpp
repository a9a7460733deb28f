// The procedures by name: the program's, a test's stand-in, a window not built yet
// and a name that is no procedure.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/patterns/procedures.h"
#include "platform/core/codepage.h"
#include "support/program.h"

namespace zelk::test {
namespace {

using ProcedureNames = ProgramTest;

TEST_F(ProcedureNames, TheProgramsAreFoundWithoutRegardToCase) {
  for (const char* name : {"MAIN", "S_FIR", "fnm_tab", "UpdateF_Name", "S_ME", "LOKO", "KLIENTRFK", "klbss", "pln_tab",
                           "PLN_TAB1", "UpdatePln", "DBI_TAB", "updatedbi", "pr_ttt", "PR_TTT1", "UpdatePartner1"})
    EXPECT_TRUE(app::findProcedure(name)) << name;
}

TEST_F(ProcedureNames, AWindowNotBuiltYetRunsNothing) {
  app::planProcedure("T_NOT_BUILT");
  for (const char* name : {"T_NOT_BUILT", "t_not_built"}) {
    EXPECT_FALSE(app::findProcedure(name)) << name;
    app::procedure(name)();
  }
  EXPECT_EQ(boxCount(), 0u);
}

TEST_F(ProcedureNames, AnyOtherNameIsMessage27) {
  EXPECT_FALSE(app::findProcedure("S_NOT_BUILT"));
  app::procedure("S_NOT_BUILT")();
  ASSERT_EQ(boxCount(), 1u);
  EXPECT_EQ(boxes.last().caption, ansi("Процедура не определена"));
  EXPECT_EQ(boxes.last().text, ansi("Процедура S_NOT_BUILT не определена."));
}

TEST_F(ProcedureNames, ABuiltWindowReplacesItsPlanAndAStandInReplacesTheWindow) {
  int runs = 0, standIns = 0;
  app::planProcedure("T_LATER");
  app::planProcedure("T_STILL_PLANNED");
  app::procedure("T_LATER")();
  app::registerProcedure("T_LATER", [&] { ++runs; });
  app::procedure("t_later")();
  app::addProcedure("T_LATER", [&] { ++standIns; });
  app::procedure("T_LATER")();
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(standIns, 1);
  EXPECT_EQ(boxCount(), 0u);
  const auto names = app::procedureNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "T_LATER"), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), "T_STILL_PLANNED"), 0);
}

}  // namespace
}  // namespace zelk::test
