// The main window's update checks: when each is due, the program check at
// start-up with the gate-list check chained on its result, the two menu
// checks, and what a result changes.
#include <QAction>
#include <cmath>

#include "cp1251.h"
#include "options.h"
#include "smsfrm.h"
#include "update.h"

namespace {

struct TCheckOptions {
  const char* autoCheck;
  const char* period;
  const char* last;
};

// By kind: program, gate list.
constexpr TCheckOptions kCheckOptions[2] = {
    {"Update\\AutoCheckUpdate", "Update\\UpdatePeriod", "Update\\LastUpdate"},
    {"Update\\AutoCheckUpdateGates", "Update\\UpdateGatesPeriod", "Update\\LastGatesUpdate"},
};

constexpr const char* kCheckActions[2] = {"aCheckUpdate", "aCheckUpdateGates"};

bool CheckWanted(int kind, bool manual) {
  const TCheckOptions& o = kCheckOptions[kind];
  return manual || (Options->ReadBool(o.autoCheck) &&
                    IsUpdateDue(Options->ReadDateTime(o.last), Options->ReadInteger(o.period), Now()));
}

}  // namespace

void TSMSFrm::CheckUpdates(int kind, bool manual) {
  if (!Options) return;
  bool programStarted = kind == ukProgram && CheckWanted(ukProgram, manual) && StartUpdateCheck(ukProgram);
  if ((kind == ukGates || !programStarted) && CheckWanted(ukGates, manual)) StartUpdateCheck(ukGates);
}

bool TSMSFrm::StartUpdateCheck(int kind) {
  if (TUpdate::Running(static_cast<TUpdateKind>(kind))) return true;
  auto* update = new TUpdate(static_cast<TUpdateKind>(kind), this);
  update->OnResult = [this](TUpdate& sender, const TUpdateResult& result) { UpdateCheckDone(sender, result); };
  connect(update, &QObject::destroyed, this, &TSMSFrm::UpdateCheckActions);
  updates_[kind] = update;
  update->Check(true);
  UpdateCheckActions();
  return true;
}

void TSMSFrm::UpdateCheckActions() {
  for (int kind : {ukProgram, ukGates})
    if (QAction* action = Action(kCheckActions[kind]))
      action->setEnabled(!TUpdate::Running(static_cast<TUpdateKind>(kind)));
}

void TSMSFrm::UpdateCheckDone(TUpdate&, const TUpdateResult& result) {
  // Code 2: the download that follows reports again.
  if (result.Code != ucAvailable && Options) {
    TDateTime today = std::floor(Now());
    if (result.Kind == ukProgram) {
      if (result.Code != ucError) Options->WriteDateTime("Update\\LastUpdate", today);
      if (FChainGateCheck && result.Code != ucDone) CheckUpdates(ukGates, false);
    } else if (result.Code != ucError) {
      Options->WriteDateTime("Update\\LastGatesUpdate", today);
    }
    if (FManualUpdateCheck && result.Code == ucUpToDate) ShowMessageBoxText("У вас последняя версия"_cp);
    if (FManualUpdateCheck && result.Code == ucError)
      ShowMessageBoxText(result.Message.empty() ? "Ошибка при проверке обновления"_cp : result.Message);
  }
  // Whatever comes after a download counts as automatic, and chains nothing.
  FChainGateCheck = false;
  FManualUpdateCheck = false;
}

void TSMSFrm::aCheckUpdateExecute() {
  FChainGateCheck = false;
  FManualUpdateCheck = true;
  CheckUpdates(ukProgram, true);
}

void TSMSFrm::aCheckUpdateGatesExecute() {
  FChainGateCheck = false;
  FManualUpdateCheck = true;
  CheckUpdates(ukGates, true);
}
