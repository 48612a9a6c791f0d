// The phone book's and the contact editor's decisions, apart from their
// windows: group names, the rename and drop rules, the editor's duplicate
// verdict and its transliteration check box.
#pragma once

#include <QtCore/qnamespace.h>
#include <cstdint>
#include <string>
#include <vector>

// "Новая группа", or "Новая группа N" for the first N = 1, 2, ... that is
// free: no text in `taken` equals it without regard to case.
std::string NewGroupName(const std::vector<std::string>& taken);

// Whether an in-place edit's text becomes the group's name: it is not empty
// and no node of the tree has it (without regard to case; the edited node,
// still showing its old name, counts too). Otherwise the edit is undone.
bool AcceptGroupName(const std::string& text, const std::vector<std::string>& nodeTexts);

// Whether a contact dragged onto the group tree may drop there: it comes
// from this window's contact list, lands on a node, and that node's group
// (0 for "Без группы") is not the one the list shows.
bool AcceptContactDrop(bool fromContactList, bool onNode, int nodeGroupId, int loadedGroupId);

// "В текущей группе контактов: N".
std::string ContactCountText(int count);

// The contact editor's two duplicate checks. OK needs both to pass: letting
// the field changed last decide would let a duplicate name be stored by
// editing the number afterwards, and the database refuses a second name.
struct TContactDuplicates {
  bool name = false;   // another contact has the edited name
  bool phone = false;  // another contact has the edited number

  bool OkEnabled() const { return !name && !phone; }
  // The warning to show, empty for none; the name's when both fail.
  std::string Warning() const;
};

// Whether a contact found by a duplicate check is another one: found at all
// and not the contact being edited.
inline bool IsOtherContact(int foundId, int editedId) { return foundId != 0 && foundId != editedId; }

// The editor's transliteration check box and a contact's mode: unchecked is
// 2 (never), checked 1 (always), grayed 0 (the main window decides).
uint8_t CheckStateToTranslit(Qt::CheckState state);
Qt::CheckState TranslitToCheckState(uint8_t translit);
// A click on that check box: unchecked to checked, checked to grayed, grayed
// to unchecked.
Qt::CheckState NextTranslitState(Qt::CheckState state);
