#include "phonebookrules.h"

#include <algorithm>
#include <iterator>

#include "cp1251.h"
#include "phonebook.h"

namespace {

bool AnySame(const std::string& text, const std::vector<std::string>& texts) {
  return std::any_of(texts.begin(), texts.end(), [&](const std::string& t) { return cp1251::SameText(t, text); });
}

struct TranslitState {
  Qt::CheckState state;
  uint8_t translit;
  Qt::CheckState next;
};

constexpr TranslitState kTranslitStates[] = {
    {Qt::Unchecked, TPhoneBookItem::kTranslitNever, Qt::Checked},
    {Qt::Checked, TPhoneBookItem::kTranslitAlways, Qt::PartiallyChecked},
    {Qt::PartiallyChecked, TPhoneBookItem::kTranslitDefault, Qt::Unchecked},
};

const TranslitState& StateRow(Qt::CheckState state) {
  for (const TranslitState& row : kTranslitStates)
    if (row.state == state) return row;
  return kTranslitStates[2];
}

}  // namespace

std::string NewGroupName(const std::vector<std::string>& taken) {
  const std::string base = "Новая группа"_cp;
  std::string name = base;
  for (int n = 1; AnySame(name, taken); ++n) name = base + " " + std::to_string(n);
  return name;
}

bool AcceptGroupName(const std::string& text, const std::vector<std::string>& nodeTexts) {
  return !text.empty() && !AnySame(text, nodeTexts);
}

bool AcceptContactDrop(bool fromContactList, bool onNode, int nodeGroupId, int loadedGroupId) {
  return fromContactList && onNode && nodeGroupId != loadedGroupId;
}

std::string ContactCountText(int count) { return "В текущей группе контактов: "_cp + std::to_string(count); }

std::string TContactDuplicates::Warning() const {
  if (name) return "Контакт с таким именем уже существует"_cp;
  if (phone) return "Контакт с таким номером уже существует"_cp;
  return {};
}

uint8_t CheckStateToTranslit(Qt::CheckState state) { return StateRow(state).translit; }

Qt::CheckState TranslitToCheckState(uint8_t translit) {
  for (const TranslitState& row : kTranslitStates)
    if (row.translit == translit) return row.state;
  return Qt::PartiallyChecked;
}

Qt::CheckState NextTranslitState(Qt::CheckState state) { return StateRow(state).next; }
