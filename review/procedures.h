#pragma once
// Registers the window procedures of this folder by name (the postings, chart-fragment and partner windows), so that
// windows of other folders and the tools find them (app/patterns/procedures.h).

namespace zelk::review {

void registerProcedures();

}  // namespace zelk::review
