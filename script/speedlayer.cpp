// The switch of the speed layer.
#include "speedlayer.h"

#include <cstdlib>
#include <cstring>

bool ScriptSpeedLayerOn() {
  static const bool on = [] {
    const char* plain = std::getenv("PARLOMIX_SCRIPT_PLAIN");
    return !(plain && std::strcmp(plain, "1") == 0);
  }();
  return on;
}
