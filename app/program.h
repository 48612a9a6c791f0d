// The program proper, once the settings stand: the main window created, the
// message loop run, the window destroyed.
#pragma once

#include <string>
#include <vector>

class TParlomixApp;

// Runs the program; returns its exit code: 0 after a normal end or when a
// running copy took over, 1 when start-up failed ("Ошибка" is shown then).
// `args` is the command line without the program name.
int RunProgram(TParlomixApp& app, std::vector<std::string> args);
