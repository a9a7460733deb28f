#include "app/program.h"

#include "app/frame.h"
#include "app/patterns/procedures.h"
#include "app/startup.h"
#include "firms/procedures.h"
#include "import/procedures.h"
#include "review/procedures.h"

namespace zelk::app {

void registerProgramProcedures() {
  registerProcedure("MAIN", MAIN);
  registerStarter(START, endThreadsStartedFrom);
  firms::registerProcedures();
  import::registerProcedures();
  review::registerProcedures();
}

}  // namespace zelk::app
