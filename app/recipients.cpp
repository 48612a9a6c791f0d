#include "recipients.h"

#include <string_view>
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
  // The rows point into the caches: they go first.
  Clear();
  loaded_ = false;
  contacts_.Load();
  numbers_.clear();
  THistory::LoadNumbers(numbers_);
  stamp_ = stamp;
  loaded_ = true;
}

void TRecipientSuggestions::Clear() {
  rows_.clear();
  texts_.clear();
}

void TRecipientSuggestions::Find(const std::string& text, int historyLimit) {
  Refresh();
  Clear();
  std::vector<const TContactMatch*> matches;
  contacts_.Find(text, matches);
  rows_.reserve(matches.size());
  for (const TContactMatch* m : matches) rows_.push_back({m, nullptr});
  std::string digits = ExtractDigits(text);
  if (digits.empty() && !text.empty()) return;
  std::unordered_set<std::string_view> listed;
  for (const TContactMatch* m : matches) listed.insert(m->Phone);
  // The limit counts the numbers containing the digits, those the phone
  // book shows already included.
  int taken = 0;
  for (const THistoryNumber& n : numbers_) {
    if (historyLimit > 0 && taken >= historyLimit) break;
    if (n.Phone.find(digits) == std::string::npos) continue;
    ++taken;
    if (!listed.count(n.Phone)) rows_.push_back({nullptr, &n});
  }
}

const std::string& TRecipientSuggestions::Text(int index) {
  if (index < 0 || index >= Count()) return kNone;
  auto made = texts_.find(index);
  if (made != texts_.end()) return made->second;
  const Row& row = rows_[index];
  std::string name = row.contact ? row.contact->Name : std::string();
  const std::string& phone = Phone(index);
  std::string format;
  try {
    if (row.contact) {
      format = LookUpContactFormat(phone, row.contact->GateName);
    } else {
      name = TPhoneBook::GetNameByPhone(phone);
      format = LookUpGateFormat(phone, row.number->GateName);
    }
  } catch (const ESQLiteException&) {
    // Shown unformatted (a history row then without its name) rather than
    // not at all.
  }
  return texts_.emplace(index, FormatContact(name, phone, format)).first->second;
}

const std::string& TRecipientSuggestions::Phone(int index) const {
  if (index < 0 || index >= Count()) return kNone;
  const Row& row = rows_[index];
  return row.contact ? row.contact->Phone : row.number->Phone;
}
