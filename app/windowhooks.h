// The application's windows behind the hooks of the data layer: the
// template manager behind TTemplateList::ShowManager and the contact editor
// behind TPhoneBook::AddFromText.
#pragma once

// Registers both; the program does it before its main window exists.
void RegisterWindowHooks();
