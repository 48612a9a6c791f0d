#include "mainactions.h"

#include "cp1251.h"

const std::vector<TActionDesc>& MainActionTable() {
  static const std::vector<TActionDesc> table = {
      {"aNew", "&Создать"_cp, {"Ctrl+N"}, "Создать сообщение"_cp},
      {"aFileOpen", "&Открыть..."_cp, {"Ctrl+O"}, "Открыть сообщение"_cp},
      {"aFileSave", "&Сохранить"_cp, {"Ctrl+S"}, "Сохранить сообщение"_cp},
      {"aFileSaveAs", "Со&хранить как..."_cp, {}, "Сохранить сообщение как"_cp},
      {"aSendSMS", "От&править"_cp, {"Ctrl+Return", "Ctrl+Enter"}, "Отправить сообщение"_cp},
      {"aExit", "В&ыход"_cp, {}, "Выйти из программы"_cp},
      {"aSaveTemplate", "Сохранить как &шаблон"_cp, {"Ctrl+T"}, "Сохраняет сообщение как шаблон"_cp},
      {"aTemplateMgr", "Менеджер &шаблонов"_cp, {}, ""},
      {"aHistory", "&История"_cp, {"Ctrl+H"}, "История сообщений"_cp},
      {"aContactHistory", "И&стория контакта"_cp, {}, "История контакта"_cp},
      {"aPhoneBook", "&Контакты"_cp, {"Ctrl+B"}, "Адресная книга"_cp},
      {"aAddToPhoneBook", "&Добавить в контакты"_cp, {}, "Добавить в контакты"_cp},
      {"aShowGatesMng", "&База операторов"_cp, {}, "База операторов"_cp},
      {"aShowGateInfo", "Информация об &операторе"_cp, {}, "Информация об операторе"_cp},
      {"aOptions", "&Настройки"_cp, {}, "Настройки"_cp},
      {"aHelp", "Online &справка"_cp, {"F1"}, ""},
      {"aHomePage", "Домашняя &страница"_cp, {}, ""},
      {"aForum", "&Форум Parlomix"_cp, {}, ""},
      {"aFeedback", "О&братная связь"_cp, {}, ""},
      {"aCheckUpdate", "&Проверить обновление Parlomix"_cp, {}, ""},
      {"aCheckUpdateGates", "Про&верить обновление операторов"_cp, {}, ""},
      {"aAbout", "&О программе"_cp, {}, "О программе"_cp},
      {"aTrayShowHide", "&Скрыть/Показать"_cp, {}, ""},
      // The composer's own.
      {"aSMS", "&SMS", {"F2"}, "Тип сообщения СМС"_cp, true},
      {"aMMS", "&MMS", {"F3"}, "Тип сообщения ММС"_cp, true},
      {"aAddMultimedia", "&Добавить"_cp, {}, ""},
      {"aDeleteMultimedia", "&Удалить"_cp, {}, ""},
      {"aClear", "О&чистить"_cp, {}, ""},
      {"aCut", "&Вырезать"_cp, {}, ""},
      {"aCopy", "&Копировать"_cp, {}, ""},
      {"aPaste", "Вст&авить"_cp, {}, ""},
  };
  return table;
}

const std::vector<TMenuDesc>& MainMenuTable() {
  static const std::vector<TMenuDesc> table = {
      {"&Сообщение"_cp,
       {{"aNew"},
        {"aFileOpen"},
        {"aFileSave"},
        {"aFileSaveAs"},
        {},
        {"Тип"_cp, {"aSMS", "aMMS"}},
        {"Мультимедия"_cp, {"aAddMultimedia", "aDeleteMultimedia"}},
        {"aSendSMS"},
        {},
        {"aExit"}}},
      {"С&ервис"_cp,
       {{"aHistory"},
        {"aContactHistory"},
        {},
        {"aPhoneBook"},
        {"aAddToPhoneBook"},
        {},
        {"aShowGatesMng"},
        {"aTemplateMgr"},
        {},
        {"aOptions"}}},
      {"&Помощь"_cp,
       {{"aHelp"},
        {"aHomePage"},
        {"aForum"},
        {"aFeedback"},
        {},
        {"aCheckUpdate"},
        {"aCheckUpdateGates"},
        {},
        {"aAbout"}}},
  };
  return table;
}

const std::vector<const char*>& MainToolBarTable() {
  static const std::vector<const char*> table = {"aNew", "aSMS", "aMMS", "aSendSMS", "aHistory", "aPhoneBook"};
  return table;
}

const std::vector<const char*>& MessageToolBarTable() {
  static const std::vector<const char*> table = {"aClear", "aSaveTemplate", "aCut", "aCopy", "aPaste", "aContactHistory"};
  return table;
}
