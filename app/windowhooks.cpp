#include "windowhooks.h"

#include "phonebook.h"
#include "phoneeditfrm.h"
#include "smsfrm.h"
#include "templatefrm.h"
#include "templates.h"

void RegisterWindowHooks() {
  TTemplateList::SetManagerHook([](const std::string& text) {
    TTemplateFrm frm(TSMSFrm::Instance());
    frm.HandedText = text;
    return frm.exec() == QDialog::Accepted ? frm.EditorText() : std::string();
  });
  TPhoneBook::SetContactEditorHook([](TPhoneBookItem& item) {
    TEditPhoneFrm editor;
    editor.SetContact(item);
    if (editor.exec() != QDialog::Accepted) return false;
    editor.GetContact(item);
    return true;
  });
}
