#pragma once
// Registers the window procedures of this folder by name (the firm list, the firm form and the firm choice), so that
// windows of other folders and the tools find them (app/patterns/procedures.h).

namespace zelk::firms {

void registerProcedures();

}  // namespace zelk::firms
