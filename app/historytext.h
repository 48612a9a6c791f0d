// What the history window writes: the texts of a message row, the record
// "Копировать" puts on the clipboard, the caption for a filtered history and
// the status line. Dates use the program's fixed Russian formats, never the
// machine's locale.
#pragma once

#include <cstdint>
#include <string>

#include "datetime.h"

class THistoryItem;

// The columns of the message list, left to right.
enum THistoryColumn : int { hcTime = 0, hcTo, hcMessage, hcSignature, hcStatus, kHistoryColumnCount };

// A send time as "dd.mm.yyyy hh:nn:ss" (the date alone at midnight); empty
// for a value that is no date.
std::string HistoryTimeText(TDateTime time);
// The status text of a row; empty for a value outside 0 to 4.
std::string HistoryStatusText(uint8_t status);
// The subject and the text as "Subject. Text", or the text alone.
std::string HistoryMessageText(const THistoryItem& item);
// The text of one column of an item's row.
std::string HistoryColumnText(const THistoryItem& item, int column);

// The record "Копировать" copies: time, contact and (when there is one) the
// subject, each on a line of its own, then the text with the signature
// joined by the delimiter option `delimiter` as a send joins them: pasted,
// it reads as the message went out, not with the option's escapes.
std::string HistoryRecordText(const THistoryItem& item, const std::string& delimiter);

// The window's caption for a history filtered to `phone` (digits; empty for
// none): " - " with the contact's name and formatted number, else the number
// as the first gate serving it formats it, else " - +" and the digits.
// Raises ESQLiteException.
std::string HistoryCaption(const std::string& baseCaption, const std::string& phone);

// "Сообщений: N", and " с учетом фильтра" when a filter is set.
std::string HistoryCountText(int count, bool filtered);
