#include "firstrunflow.h"

#include "cp1251.h"

TFirstRunActions TFirstRunFlow::RunStep(int step, TFirstRunActions actions) {
  step_ = step;
  running_ = true;
  actions.runStep = step;
  actions.checkId = ++checkId_;
  if (step == 1 && !databasesOpened_) {
    databasesOpened_ = true;
    actions.openDatabases = true;
  }
  Apply(actions);
  return actions;
}

TFirstRunActions TFirstRunFlow::Finish(bool migrate, bool programEnding) {
  TFirstRunActions actions;
  actions.migrate = migrate;
  actions.programEnding = programEnding;
  actions.close = true;
  finished_ = true;
  running_ = false;
  return actions;
}

void TFirstRunFlow::Apply(const TFirstRunActions& actions) {
  if (actions.showButtons) buttons_ = *actions.showButtons;
}

TFirstRunActions TFirstRunFlow::Start() {
  if (started_) return {};
  started_ = true;
  TFirstRunActions actions;
  actions.status = "Выполняется проверка на наличие новой версии Parlomix..."_cp;
  return RunStep(0, actions);
}

TFirstRunActions TFirstRunFlow::Result(int checkId, int kind, int code) {
  if (finished_ || !running_ || checkId != checkId_ || kind != step_) return {};
  TFirstRunActions actions;
  switch (code) {
    case kError:
      running_ = false;
      actions.status = kind == 0 ? "Ошибка проверки обновления Parlomix"_cp : "Ошибка проверки обновления шлюзов"_cp;
      actions.showButtons = true;
      Apply(actions);
      return actions;
    case kAvailable:
      // The download that follows reports again.
      actions.status =
          kind == 0 ? "Выполняется обновление версии Parlomix..."_cp : "Выполняется обновление базы операторов..."_cp;
      return actions;
    case kDone:
      if (kind == 0) return Finish(false, true);
      return Finish(true, false);
    case kCancelled:
    case kUpToDate:
      if (kind == 1) return Finish(true, false);
      actions.status = "Выполняется проверка на наличие новой версии базы операторов..."_cp;
      return RunStep(1, actions);
    default:
      // A code no check gives: taken as an error, so the user can go on.
      return Result(checkId, kind, kError);
  }
}

TFirstRunActions TFirstRunFlow::Retry() {
  if (finished_ || !buttons_) return {};
  TFirstRunActions actions;
  actions.showButtons = false;
  // After "Пропустить" in step 0 the gate-list check runs with the buttons
  // still shown: that check is the retry, and a second one of its kind
  // would only be refused.
  if (running_) {
    Apply(actions);
    return actions;
  }
  return RunStep(step_, actions);
}

TFirstRunActions TFirstRunFlow::Skip() {
  if (finished_ || !buttons_) return {};
  if (step_ == 1) return Finish(true, false);
  return RunStep(1, {});
}

TFirstRunActions TFirstRunFlow::CloseRequest() {
  if (finished_ || !buttons_) return {};
  return Skip();
}
