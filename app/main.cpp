// parlomix: the program entry.
#include <cstdio>

#include "options.h"
#include "startup.h"

int main(int argc, char** argv) {
  if (!InitSettings(argc, argv)) return 1;
  // The main window is not built yet: report where the program keeps its data.
  std::printf("Parlomix %s\nprogram: %s\nprofile: %s\ntables:  %s\n", ProgramVersion.FileVersion.c_str(),
              ProgramDir.c_str(), ProfileDir.c_str(), TranslitDir.c_str());
  return 0;
}
