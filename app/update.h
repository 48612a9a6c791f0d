// One check of the update server for a newer program or gate list, with
// what follows it: the new-version window for the program, the download of
// a newer gate list with its progress window, and the import of the
// downloaded package.
//
// How a caller (the main window, the first-run wizard) uses it, on the main
// thread:
//
//   auto* update = new TUpdate(ukGates, ownerWindow);
//   update->OnResult = [](TUpdate& sender, const TUpdateResult& result) { ... };
//   update->Check(true);
//
// The object frees itself once it has reported its final result (and with
// its owner, earlier). Never free it inside OnResult.
//
// Results. Every check reports exactly one final result:
//   0 done        the newer gate list was downloaded and imported;
//   1 cancelled   the user cancelled the gate-list download, or saw the
//                 new-version window of the program and closed it either
//                 way (a program update is never installed here: "Обновить"
//                 opens the download page in the browser, and the program
//                 goes on running);
//   2 available   only for a check that is not interactive: something newer
//                 is there and nothing is downloaded;
//   3 up to date;
//   4 error       with a message: the description could not be fetched or
//                 read, the gate list needs a newer program, or the
//                 download or its import failed.
// Only an interactive check that finds a newer gate list reports twice: code
// 2 as the download starts, then the download's final result (0, 1 or 4).
//
// A result is never reported from inside Check, and never while a send is
// under way: it waits until the send has ended (see sendstate.h).
#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "updaterules.h"

class QWidget;
class TDownloadFile;
class TDownloadThread;

// One report of a check; lives for the duration of the OnResult call.
struct TUpdateResult {
  TUpdateKind Kind = ukProgram;
  TUpdateCode Code = ucUpToDate;
  std::string Message;  // Windows-1251; empty but for code 4
};

class TUpdate : public QObject {
  Q_OBJECT

 public:
  using TResultHandler = std::function<void(TUpdate& sender, const TUpdateResult& result)>;

  // A check of `kind`. The windows it opens belong to `owner` when that is
  // a widget (else to the active window); the check ends with its owner.
  TUpdate(TUpdateKind kind, QObject* owner);
  // Stops what still runs and waits for its thread; nothing more is
  // reported.
  ~TUpdate() override;

  TUpdateKind Kind() const { return kind_; }
  // Told the check's results; set before Check.
  TResultHandler OnResult;

  // Starts the check and returns at once; the rest runs on the main thread
  // as the description and the download arrive. The address is the option
  // Update\URL (program) or Update\GatesURL (gate list). Interactive: the
  // new-version window asks the user, and a newer gate list is downloaded.
  // A check started while another of its kind runs reports code 1 at once
  // (from the event loop) and does nothing else. Once per object.
  void Check(bool interactive);

  bool Interactive() const { return interactive_; }
  // The description read, once it has arrived.
  const TUpdateInfo& UpdateInfo() const { return info_; }
  // The download's address and the file it goes to, once a download starts.
  const std::string& DownloadAddress() const { return downloadAddress_; }
  const std::string& LocalFileName() const { return localFileName_; }

  // True while a check of that kind has started and not yet ended.
  static bool Running(TUpdateKind kind);

 private:
  void InfoDownloaded();
  // The program's new-version window; true when the user chose "Обновить".
  bool AskUser();
  void StartDownload();
  void FileDownloaded(bool success, bool cancelled);
  void Report(TUpdateCode code, const std::string& message = {});
  // The check has ended: it no longer counts as running, and the object goes.
  void Finish();
  QWidget* WindowOwner() const;

  TUpdateKind kind_;
  bool interactive_ = false;
  bool started_ = false;
  bool counted_ = false;  // counts in Running
  TUpdateInfo info_;
  std::string downloadAddress_;
  std::string localFileName_;
  std::unique_ptr<TDownloadThread> infoThread_;
  std::unique_ptr<TDownloadFile> file_;
  std::unique_ptr<TDownloadThread> fileThread_;
};
