// The history of sent messages: one row per send in the user database, read
// together with the phone book (contact names) and the gates database
// (number formats, gate captions).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "datetime.h"
#include "phoneitems.h"

// Delivery status of a history row.
enum TDeliveryStatus : uint8_t {
  dsUnknown = 0,
  dsNotSupported = 1,  // the gate cannot check, or checks are switched off
  dsDelivered = 2,
  dsCancelled = 3,
  dsNotDelivered = 4,
};

// The text the history window shows for a status; unknown values read as
// dsUnknown.
std::string DeliveryStatusText(uint8_t status);
// The delivery status a finished send leaves in the history, from the send
// status (0 sent unchecked, 1 delivered, 2 error, 4 and 5 cancelled).
uint8_t DeliveryStatusOfSend(uint8_t sendStatus);

class THistoryItem : public TCustomPhoneItem {
  PX_CLASS(THistoryItem, TCustomPhoneItem)
 public:
  std::string Subject;    // MMS subject, empty for an SMS
  std::string Message;    // the text as sent
  TDateTime DateTime = 0;  // send time, local
  std::string Signature;
  void* DateNode = nullptr;  // the history window's tree node; not owned
  uint8_t DeliveryStatus = dsUnknown;

  void Clear() override;

 protected:
  void AssignTo(TPersistent* dest) const override;
};

using THistoryItemList = TTypedPhoneItemList<THistoryItem>;

// A number of the history with the gate it went through.
struct THistoryNumber {
  std::string Phone;
  std::string GateName;
};

// Data access of the history over the global connection.
class THistory {
 public:
  enum : uint8_t {
    kMatchSubstring = 1,  // the phone matches anywhere in the number
    kDistinctNumbers = 2,  // one row per number, gate and contact; no message fields
  };

  // Appends a row for a message sent at `sendTime` (whole seconds). Raises
  // ESQLiteException.
  static void Add(const THistoryItem& item, TDateTime sendTime = Now());
  // Deletes every row; false, and nothing deleted, when the database refused.
  static bool Clear();
  // LoadFiltered with no flags and no limit.
  static int Load(THistoryItemList& list, const std::string& phone);
  // Appends rows oldest first, each row once: all rows for an empty
  // `phone`, else those whose number is `phone` (or contains it, with
  // kMatchSubstring); at most `limit` when it is above 0. Returns how many.
  // Raises ESQLiteException.
  static int LoadFiltered(TCustomPhoneItemList& list, const std::string& phone, uint8_t flags, int limit);
  // Appends every number and gate of the history once, in the order the
  // distinct load lists them (first use first), without names, captions or
  // formats: the rows a cache of the recipient suggestions filters. Raises
  // ESQLiteException.
  static void LoadNumbers(std::vector<THistoryNumber>& numbers);
};
