// The update server a first start asks: the program and gate-list
// descriptions at /version.xml and /gates.xml, and the gate package they
// name, which may stall part-way for ever.
#pragma once

#include <string>

#include "app/updateserver.h"
#include "cp1251.h"

// A program description of `version` ("0.0.0.0" is never newer) with its
// download page at /download.html.
inline void ServeProgram(UpdateServer& server, const std::string& version) {
  server.Put("/version.xml", ProgramDescription(version, server.Url("/download.html"), "Новое"_cp));
}

// A gate-list description of `version` (0 is never newer) whose package,
// `package`, lies at /files/gates.xml; with `stall` only its first bytes
// ever come.
inline void ServeGates(UpdateServer& server, int version, const std::string& package = {}, bool stall = false) {
  server.Put("/gates.xml", GatesDescription(std::to_string(version), server.Url("/files/gates.xml")));
  UpdateServer::Resource file;
  file.body = package;
  if (stall) file.pauseAt = 16;
  server.Set("/files/gates.xml", file);
}
