// The HTTP log of a gate send: every request and every answer of the HTTP
// client as a header file and, when there is a body, a content file, numbered
// in the order they happened, in the profile's Log/HTTP/ folder.
#pragma once

#include <string>

#include "sendlogger.h"

class TMyHTTPSend;

class THTTPLogger : public TSendLogger {
  PX_CLASS(THTTPLogger, TSendLogger)
 public:
  // Made through TSendLogger::Create<THTTPLogger>(gate name + " v." + version).
  THTTPLogger(TConstructKey key, std::string gateName) : TSendLogger(key, std::move(gateName)) {}

  // The profile folder followed by "Log/HTTP/".
  std::string GetFolder() const override;
  // The base's Start, then the proxy lines of the options appended to
  // info.txt (the password masked). Raises EFileError.
  void Start() override;

  // Writes nn_<method>_s_1h.txt (answer false: the request about to go out)
  // or nn_<method>_r_1h.txt (answer true: what came back), then the body as
  // nn_<method>_<s|r>_2c<ext> when Document is not empty, both within the
  // send's cap (WriteLogFile), and raises the counter. Raises EFileError
  // when a file cannot be written, or when the method is not made of letters
  // (it is part of the file names).
  void LogRequest(const TMyHTTPSend& client, const std::string& method, bool answer);
};

// The extension of a body file for a Content-Type: ".jpg", ".gif", ".png",
// ".htm" or ".txt".
std::string LogFileExtension(const std::string& mimeType);
