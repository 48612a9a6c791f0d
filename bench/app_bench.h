// What a benchmark of the windows sets up before its application object:
// offscreen when there is no display, the program folder, and the tables
// shipped with the sources; and a profile whose first-run wizard has been
// gone through, since a modal wizard would wait for a person.
#pragma once

#include <cstdlib>
#include <string>

#include "inistorage.h"
#include "options.h"

inline void PrepareWindowBench() {
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::string program = ProgramFileName();
  ProgramDir = program.substr(0, program.rfind('/') + 1);
  TranslitDir = std::string(PX_SOURCE_DIR) + "/app/Translit/";
}

inline void MarkFirstRunDone(const std::string& profileDir) {
  TIniStorage options(profileDir + "Parlomix.ini");
  options.WriteBool("General\\FirstRunDone", true);
  options.Flush();
}
