// What the main window books when a send has ended: statistics, the history
// row, the sent counters and the clearing of the composer, decided from the
// send status and the options alone.
#pragma once

#include <cstdint>

class TCustomOptions;

// Send statuses a finished send reports.
enum TSendStatus : uint8_t {
  ssSent = 0,              // sent, no delivery check
  ssDelivered = 1,         // sent and delivered
  ssError = 2,
  ssCancelled = 4,
  ssCancelledInCheck = 5,  // cancelled during the delivery check: the message went out
};

// How the composer is cleared.
enum class TClearKind { None, Text, All };

struct TAfterSendOptions {
  bool logStats = true;           // Stats\LogStats
  bool addToHistory = true;       // Message\AddToHistory
  bool errorMsgToHistory = false; // Message\ErrorMsgToHistory
  bool clearAfterSend = true;     // Message\ClearAfterSend
  bool clearOnlyText = false;     // Message\ClearOnlyText

  static TAfterSendOptions Read(const TCustomOptions& options);
};

struct TAfterSendPlan {
  bool logStats = false;    // count the send in the statistics
  bool statsError = false;  // ... as a failure
  bool done = false;        // raise the sent counters
  bool addHistory = false;  // write a history row
  uint8_t deliveryStatus = 0;  // of that row
  TClearKind clear = TClearKind::None;
  // The clearing when the history row could not be written (a full disk):
  // a failure's text is then kept in the composer.
  TClearKind clearWithoutHistory = TClearKind::None;
};

// The bookkeeping of one finished send. A failed send is booked like a sent
// one when failures go to the history; but the composer is cleared after a
// failure only when a history row keeps the text, or the unsent message
// would be lost.
TAfterSendPlan PlanAfterSend(uint8_t status, const TAfterSendOptions& options);

// A sent-message counter raised by one send. The counters are 32-bit
// numbers, the total stored as such in the options file: one at its top
// stays there rather than wrapping round to a negative count.
int32_t CountedSend(int32_t count);
