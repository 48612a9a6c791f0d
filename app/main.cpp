// parlomix: the program entry.
#include <string>
#include <vector>

#include "application.h"
#include "httpsend.h"
#include "program.h"
#include "startup.h"

int main(int argc, char** argv) {
  // Taken before the application object removes the arguments Qt knows.
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  if (!InitSettings(argc, argv)) return 1;
  // curl's process-wide set-up, before any thread (Qt's among them) starts.
  InitHTTPLibrary();
  TParlomixApp app(argc, argv);
  return RunProgram(app, std::move(args));
}
