#include "updatefolder.h"

#include <filesystem>

namespace fs = std::filesystem;

std::string UpdateFolder(const std::string& profileDir) { return profileDir + "Update/"; }

void ClearUpdateFolder(const std::string& profileDir) {
  std::error_code ec;
  for (fs::directory_iterator it(UpdateFolder(profileDir), ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code entryError;
    if (!it->is_directory(entryError) || it->is_symlink(entryError)) fs::remove(it->path(), entryError);
  }
}
