#include "historytext.h"

#include <vector>

#include "composer.h"
#include "cp1251.h"
#include "datetimefmt.h"
#include "exceptions.h"
#include "gatefactory.h"
#include "history.h"
#include "phone.h"
#include "phonebook.h"

namespace {

constexpr uint8_t kLastStatus = dsNotDelivered;

}  // namespace

std::string HistoryTimeText(TDateTime time) {
  try {
    return FormatDateTime("c", time);
  } catch (const EConvertError&) {
    return {};  // a damaged row's time; the row itself still shows
  }
}

std::string HistoryStatusText(uint8_t status) { return status <= kLastStatus ? DeliveryStatusText(status) : ""; }

std::string HistoryMessageText(const THistoryItem& item) {
  return item.Subject.empty() ? item.Message : item.Subject + ". " + item.Message;
}

std::string HistoryColumnText(const THistoryItem& item, int column) {
  switch (column) {
    case hcTime: return HistoryTimeText(item.DateTime);
    case hcTo: return GetContactText(item, true);
    case hcMessage: return HistoryMessageText(item);
    case hcSignature: return item.Signature;
    case hcStatus: return HistoryStatusText(item.DeliveryStatus);
    default: return {};
  }
}

std::string HistoryRecordText(const THistoryItem& item, const std::string& delimiter) {
  std::string text = HistoryTimeText(item.DateTime) + "\r\n" + GetContactText(item, true) + "\r\n";
  if (!item.Subject.empty()) text += item.Subject + "\r\n";
  return text + JoinSignature(item.Message, item.Signature, delimiter);
}

std::string HistoryCaption(const std::string& baseCaption, const std::string& phone) {
  if (phone.empty()) return baseCaption;
  if (auto contact = TPhoneBook::GetItemByPhone(phone))
    return baseCaption + " - " + contact->Name + " " + FormatPhone(phone, contact->Format);
  std::vector<std::string> gates;
  if (TGateFactory::FindGatesForPhone(phone, gkAll, gates)) {
    auto gate = TGateFactory::CreateGate(gates.front());
    return baseCaption + " - " + FormatPhone(phone, gate->GetPhoneFormat(phone));
  }
  return baseCaption + " - +" + phone;
}

std::string HistoryCountText(int count, bool filtered) {
  return "Сообщений: "_cp + std::to_string(count) + (filtered ? " с учетом фильтра"_cp : "");
}
