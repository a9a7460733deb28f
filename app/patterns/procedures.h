#pragma once
// The program's window procedures by name. Each folder of the system registers its
// own (firms::registerProcedures() ...); a window calls a window of another folder
// through its name, so no folder names another. Names compare without regard to case.
//
// A name is one of four things, looked up in this order:
//   - a test's stand-in (addProcedure), which replaces the program's procedure;
//   - the program's procedure (registerProcedure);
//   - a procedure of the program not built yet (planProcedure): it does nothing;
//   - anything else: calling it raises message 27 through the error manager.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zelk::app {

using Procedure = std::function<void()>;

// Registers the program's procedure called name (a second registration replaces it).
void registerProcedure(std::string name, Procedure p);
// Lists name as a procedure of the program that is not built yet.
void planProcedure(std::string name);

// The procedure called name, or an empty function when none is built.
Procedure findProcedure(std::string_view name);
// The procedure called name; one that does nothing for a name not built yet, and one
// that raises "Процедура <name> не определена." for any other name.
Procedure procedure(std::string_view name);
// Every name that runs something: the program's in the order registered, then the
// added ones.
std::vector<std::string> procedureNames();
// Adds a procedure of a test (or replaces one added before under the same name); it
// stands in for the program's procedure of that name. An empty one stands in for
// nothing: the program's procedure is called again.
void addProcedure(std::string name, Procedure p);

// START: how the program runs a procedure on a thread of its own (with the thread's
// start and end steps around it), and how it ends the threads a window started when
// that window closes; registered once by the program.
using Starter = void (*)(std::function<void()> procedure, std::size_t stackSize);
using Ender = void (*)(std::uint64_t window);
void registerStarter(Starter s, Ender e);
// Runs the procedure called name on a thread of its own without waiting for it
// (std::logic_error when the program registered no starter). The thread belongs to
// the calling thread's innermost window.
void startProcedure(std::string_view name, std::size_t stackSize);
// Closes what runs on the threads started from the window (its serial) and waits for
// them to end; nothing when none was started or the program registered no starter.
void endProceduresStartedFrom(std::uint64_t window);

}  // namespace zelk::app
