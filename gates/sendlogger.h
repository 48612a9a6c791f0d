// The send log: one folder per kind of log in the profile's Log folder,
// emptied at the start of every send, headed by info.txt (program, gate list,
// gate and time zone), with a counter that numbers the request files, and
// packed into a zip archive for a failure report.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "gatelimits.h"
#include "object.h"

class TSendLogger : public TObject {
  PX_CLASS(TSendLogger, TObject)

 protected:
  // Only Create makes loggers, so that a subclass's GetFolder already
  // applies when the folder is made: C++ calls the base's version while the
  // base constructor runs.
  class TConstructKey {
    friend class TSendLogger;
    TConstructKey() = default;
  };

 public:
  // Makes a logger of class T (TSendLogger or a subclass whose constructor
  // takes the key and the gate name first) and creates T's folder with its
  // missing parents. Raises EFileError when the folder cannot be made.
  template <class T = TSendLogger, class... Args>
  static std::unique_ptr<T> Create(std::string gateName, Args&&... args) {
    auto logger = std::make_unique<T>(TConstructKey(), std::move(gateName), std::forward<Args>(args)...);
    logger->CreateFolder();
    return logger;
  }

  TSendLogger(TConstructKey, std::string gateName) : GateName(std::move(gateName)) {}

  // The log folder, ending in "/": the profile folder followed by "Log/".
  virtual std::string GetFolder() const;
  // Empties the folder, sets Counter to 1 and writes info.txt. An override
  // calls this first. Raises EFileError.
  virtual void Start();
  // Called when the sender that owns the logger is freed; nothing here.
  virtual void Finish() {}

  // Deletes every file directly in the folder; subfolders and their content
  // stay. Raises EFileError when a file that exists cannot be deleted.
  void ClearFolder();
  // Counter in decimal, at least two digits ("01", "10", "123").
  std::string CounterText() const;
  void IncCounter() { ++Counter; }
  // Appends a zip archive of the files directly in the folder (by name, each
  // under its bare name) to `out`. A file that vanishes, cannot be read or is
  // larger than the per-file cap is left out, as is any file that would take
  // the archive past its cap. Returns true.
  bool SaveToZip(std::string& out) const;

  int32_t Counter = 0;  // number of the next request file pair; 1 after Start
  std::string GateName;
  // Bytes one send's log may take on disk (see WriteLogFile); a test may set
  // less.
  uint64_t MaxLogSize = kMaxSendLogSize;

 protected:
  // Appends text to info.txt, for the lines a subclass adds after Start.
  // Raises EFileError.
  void AppendToInfo(std::string_view text) const;
  // Writes `bytes` as the new file `name` in the folder, within what is left
  // of MaxLogSize since Start, each file counted at least as kLogFileBlock:
  // a file that does not fit is cut and ends with a line that says so, and
  // nothing more is written until the next Start. Raises EFileError.
  void WriteLogFile(const std::string& name, std::string_view bytes);

 private:
  void CreateFolder() const;

  uint64_t logged_ = 0;  // bytes the log has taken since Start
};

// What a send log writes instead of a proxy password, since the archive goes
// out with feedback: asterisks of a fixed length, so that not even the length
// is told; empty when no password is set.
std::string ProxyPasswordMask(std::string_view password);
// The info.txt line for the proxy password: "ProxyPass: ", the mask, CR LF.
std::string ProxyPasswordLine(std::string_view password);
