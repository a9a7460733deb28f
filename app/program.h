#pragma once
// The whole program's window procedures: the frame's and every folder's, registered
// by name (app/patterns/procedures.h). The program, the tools and the tests that run
// the program's windows call it once before the first window.

namespace zelk::app {

void registerProgramProcedures();

}  // namespace zelk::app
