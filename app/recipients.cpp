#include "recipients.h"

#include <unordered_set>

#include "phone.h"
#include "phonebook.h"
#include "prefixsql.h"
#include "sqlmgr.h"

namespace {

const std::string kNone;

}  // namespace

void TRecipientSuggestions::Refresh() {
  TDataStamp stamp = CurrentDatabase().DataStamp("main");
  if (loaded_ && stamp == stamp_) return;
  std::vector<THistoryNumber> numbers;
  THistory::LoadNumbers(numbers);
  numbers_ = std::move(numbers);
  stamp_ = stamp;
  loaded_ = true;
}

void TRecipientSuggestions::Find(const std::string& text, int historyLimit) {
  rows_.clear();
  std::vector<TContactMatch> matches;
  TPhoneBook::FindMatchesByText(text, matches);
  rows_.reserve(matches.size());
  std::unordered_set<std::string> listed;
  for (TContactMatch& m : matches) {
    listed.insert(m.Phone);
    Row row;
    row.name = std::move(m.Name);
    row.phone = std::move(m.Phone);
    row.gateName = std::move(m.GateName);
    rows_.push_back(std::move(row));
  }
  std::string digits = ExtractDigits(text);
  if (digits.empty() && !text.empty()) return;
  Refresh();
  // The limit counts the numbers containing the digits, those the phone
  // book shows already included.
  int taken = 0;
  for (const THistoryNumber& n : numbers_) {
    if (historyLimit > 0 && taken >= historyLimit) break;
    if (n.Phone.find(digits) == std::string::npos) continue;
    ++taken;
    if (listed.count(n.Phone)) continue;
    Row row;
    row.phone = n.Phone;
    row.gateName = n.GateName;
    row.fromHistory = true;
    rows_.push_back(std::move(row));
  }
}

const std::string& TRecipientSuggestions::Text(int index) {
  if (index < 0 || index >= Count()) return kNone;
  Row& row = rows_[index];
  if (row.made) return row.text;
  std::string format;
  try {
    if (row.fromHistory) {
      row.name = TPhoneBook::GetNameByPhone(row.phone);
      format = LookUpGateFormat(row.phone, row.gateName);
    } else {
      format = LookUpContactFormat(row.phone, row.gateName);
    }
  } catch (const ESQLiteException&) {
    // Shown unformatted (a history row then without its name) rather than
    // not at all.
  }
  row.text = FormatContact(row.name, row.phone, format);
  row.made = true;
  return row.text;
}

const std::string& TRecipientSuggestions::Phone(int index) const {
  return index < 0 || index >= Count() ? kNone : rows_[index].phone;
}
