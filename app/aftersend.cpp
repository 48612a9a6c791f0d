#include "aftersend.h"

#include <cstdint>

#include "history.h"
#include "options.h"

TAfterSendOptions TAfterSendOptions::Read(const TCustomOptions& options) {
  TAfterSendOptions o;
  o.logStats = options.ReadBool("Stats\\LogStats");
  o.addToHistory = options.ReadBool("Message\\AddToHistory");
  o.errorMsgToHistory = options.ReadBool("Message\\ErrorMsgToHistory");
  o.clearAfterSend = options.ReadBool("Message\\ClearAfterSend");
  o.clearOnlyText = options.ReadBool("Message\\ClearOnlyText");
  return o;
}

TAfterSendPlan PlanAfterSend(uint8_t status, const TAfterSendOptions& options) {
  TAfterSendPlan plan;
  bool error = status == ssError;
  bool cancelled = status == ssCancelled || status == ssCancelledInCheck;
  plan.logStats = options.logStats && !cancelled;
  plan.statsError = error;

  bool wentOut = status == ssSent || status == ssDelivered || status == ssCancelledInCheck;
  plan.done = wentOut || (error && options.errorMsgToHistory);
  if (!plan.done) return plan;
  plan.addHistory = options.addToHistory;
  plan.deliveryStatus = DeliveryStatusOfSend(status);
  const TClearKind clearing = options.clearOnlyText ? TClearKind::Text : TClearKind::All;
  if (options.clearAfterSend && (wentOut || plan.addHistory)) plan.clear = clearing;
  if (options.clearAfterSend && wentOut) plan.clearWithoutHistory = clearing;
  return plan;
}

int32_t CountedSend(int32_t count) { return count < INT32_MAX ? count + 1 : count; }
