#pragma once
// The program's window procedures by name, for the tools that run them (the script
// runner). Names compare without regard to case.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zelk::app {

using Procedure = std::function<void()>;

// The procedure called name, or an empty function when there is none.
Procedure findProcedure(std::string_view name);
// The procedure called name, or one that does nothing when there is none: how a
// window calls a window of a later layer that may not stand yet.
Procedure procedure(std::string_view name);
// Every name, the program's first, then the added ones.
std::vector<std::string> procedureNames();
// Adds a procedure of a test (or replaces one added before under the same name); it
// stands in for the program's procedure of that name.
void addProcedure(std::string name, Procedure p);

}  // namespace zelk::app
