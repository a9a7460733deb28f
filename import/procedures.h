#pragma once
// Registers the window procedures of this folder by name (the import menu and the three import windows), so that
// windows of other folders and the tools find them (app/patterns/procedures.h).

namespace zelk::import {

void registerProcedures();

}  // namespace zelk::import
