// zelk-script <script file>: a tool for tests, not part of the program.
#include "tools/zelk-script/runner.h"

int main(int argc, char** argv) { return zelk::script::runnerMain(argc, argv); }
