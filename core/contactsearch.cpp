#include "contactsearch.h"

#include <unordered_map>
#include <unordered_set>

#include "cp1251.h"

namespace {

char FoldAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

bool SqlLike(std::string_view pattern, std::string_view text) {
  // One pass with a step back to the last "%": a run the "%" took too
  // short is retried one character longer.
  size_t p = 0, t = 0, starP = std::string_view::npos, starT = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '%') {
      starP = p++;
      starT = t;
    } else if (p < pattern.size() && (pattern[p] == '_' || FoldAscii(pattern[p]) == FoldAscii(text[t]))) {
      ++p;
      ++t;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '%') ++p;
  return p == pattern.size();
}

void TContactSearch::Load() {
  std::vector<TContactMatch> rows;
  TPhoneBook::LoadMatchRows(rows);
  std::vector<Contact> contacts;
  contacts.reserve(rows.size());
  std::unordered_map<std::string_view, int> perNumber;
  for (TContactMatch& row : rows) {
    std::string upper = cp1251::UpperCase(row.Name);
    contacts.push_back({std::move(upper), std::move(row)});
  }
  for (const Contact& c : contacts) ++perNumber[c.match.Phone];
  for (Contact& c : contacts) c.sharesNumber = perNumber[c.match.Phone] > 1;
  contacts_ = std::move(contacts);
}

void TContactSearch::Find(const std::string& text, std::vector<const TContactMatch*>& matches) const {
  TContactPatterns patterns = ContactPatterns(text);
  // Only numbers that several contacts share need remembering.
  std::unordered_set<std::string_view> shared;
  for (const Contact& c : contacts_) {
    bool found = SqlLike(patterns.name, c.upperName) || (!patterns.phone.empty() && SqlLike(patterns.phone, c.match.Phone));
    if (found && (!c.sharesNumber || shared.insert(c.match.Phone).second)) matches.push_back(&c.match);
  }
}
