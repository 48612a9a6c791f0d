// parlomix: the program entry.
#include <string>
#include <vector>

#include "application.h"
#include "httpsend.h"
#include "program.h"
#include "startup.h"

int main(int argc, char** argv) {
  if (!InitSettings(argc, argv)) return 1;
  // curl's process-wide set-up, before any thread (Qt's among them) starts.
  InitHTTPLibrary();
  TParlomixApp app(argc, argv);
  // Taken once the application object has removed the options Qt knows:
  // "-platform xcb" is the desktop's, never a profile folder "latform".
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return RunProgram(app, std::move(args));
}
