// The first-run wizard's steps as plain rules: which status text, buttons,
// database opening, update check, import and close follow each event. The
// window applies what comes out; it decides nothing itself.
#pragma once

#include <functional>
#include <optional>
#include <string>

// Starts one update check of `kind` (0 program, 1 gate list) that offers a
// newer version to the user; `report` is called with the kind and the result
// code, once per result, on the main thread.
using TUpdateCheckReport = std::function<void(int kind, int code)>;
using TUpdateCheckStarter = std::function<void(int kind, TUpdateCheckReport report)>;

// What the window does after an event, in this order: status text, buttons,
// the databases, the next check, the older version's import, closing.
struct TFirstRunActions {
  std::optional<std::string> status;
  std::optional<bool> showButtons;
  bool openDatabases = false;
  // Start an update check of this kind (0 program, 1 gate list) under this
  // number; its result is handed back with the number.
  std::optional<int> runStep;
  int checkId = 0;
  bool migrate = false;
  bool close = false;
  // The installer of a new program version runs: the program is ending.
  bool programEnding = false;
};

class TFirstRunFlow {
 public:
  // Update result codes: done, cancelled or declined, newer version being
  // fetched, up to date, error.
  enum : int { kDone = 0, kCancelled = 1, kAvailable = 2, kUpToDate = 3, kError = 4 };

  // The window has been shown: the program check starts.
  TFirstRunActions Start();
  // A check's result. Only the check started last is listened to, and only
  // until it has ended; anything else is an earlier check arriving late and
  // changes nothing.
  TFirstRunActions Result(int checkId, int kind, int code);
  // "Повтроить": the buttons go and the current step runs again (unless its
  // check is still running, which is then waited for).
  TFirstRunActions Retry();
  // "Пропустить": in step 0 the databases open and step 1 runs, the status
  // and buttons left as they are; in step 1 the import runs and the wizard
  // closes.
  TFirstRunActions Skip();
  // The window manager or Alt+F4 asks the wizard to close: with the buttons
  // shown (after an error) it acts as "Пропустить"; otherwise a check is
  // running and the request is ignored.
  TFirstRunActions CloseRequest();

  int Step() const { return step_; }
  bool ButtonsShown() const { return buttons_; }
  // A check has been started and has not reported its end.
  bool CheckRunning() const { return running_; }
  bool Finished() const { return finished_; }

 private:
  TFirstRunActions RunStep(int step, TFirstRunActions actions);
  TFirstRunActions Finish(bool migrate, bool programEnding);
  void Apply(const TFirstRunActions& actions);

  int step_ = 0;
  int checkId_ = 0;
  bool running_ = false;
  bool buttons_ = false;
  bool databasesOpened_ = false;
  bool started_ = false;
  bool finished_ = false;
};
