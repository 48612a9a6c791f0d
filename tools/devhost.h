// The small host interface the developer tools run scripts against: output
// through Write and WriteLn into a text, a few string and number helpers,
// the Types unit and the exception classes with Create and Message.
#pragma once

#include <string>

#include "units.h"

// Registers the interface with the global adapter (once per process).
void RegisterDevHost();
// What Write and WriteLn have printed since the last call; emptied.
std::string TakeDevOutput();

// Runs `text` through the entry of a program object: the result converted to
// text goes to `out` (for anything but a program), the printed output
// before it. Returns the message of a failure, or "" on success.
std::string RunDevScript(const std::string& text, std::string& out, TInterpreterProgram& program);
