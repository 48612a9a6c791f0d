// The folder downloaded updates land in, emptied at every start.
#pragma once

#include <string>

// The download folder of a profile: "<profile>Update/".
std::string UpdateFolder(const std::string& profileDir);

// Deletes every file (not the sub-folders, and never what a link points to)
// in the profile's download folder; a missing folder is fine.
void ClearUpdateFolder(const std::string& profileDir);
