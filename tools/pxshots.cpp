// pxshots FOLDER: opens every window built so far over a throw-away profile
// filled with sample data and saves a picture of each as FOLDER/NAME.png.
// Run it under a real display server (make screenshots uses Xvfb) so that
// fonts and styles are the desktop's. A window is added by one entry in
// kShots below.
#include <QComboBox>
#include <QDir>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "aboutfrm.h"
#include "application.h"
#include "cp1251.h"
#include "history.h"
#include "historyfrm.h"
#include "importgate.h"
#include "inistorage.h"
#include "lastitems.h"
#include "options.h"
#include "phonebook.h"
#include "phonebookfrm.h"
#include "phoneeditfrm.h"
#include "smsfrm.h"
#include "sqlmgr.h"
#include "templatefrm.h"
#include "templates.h"
#include "uitext.h"

namespace {

// Sample gates: two for one number, so the gate counter shows. Gate lists
// without a byte-order mark are Windows-1251.
std::string SampleGates() {
  auto gate = [](const std::string& name, const std::string& caption, int priority) {
    return "<gate><name>" + name + "</name><caption>" + caption + "</caption><type>SMS</type><class>HTTP</class>" +
           "<version>1</version><priority>" + std::to_string(priority) +
           "</priority><prefixlist><prefix start=\"7916\" end=\"7916\" format=\"1.3.7\" tag=\"0\"/></prefixlist>" +
           "<info><SupportUnicode>1</SupportUnicode><SupportFlash>1</SupportFlash><MaxSymbols>160</MaxSymbols>" +
           "</info><classprops><Send>1</Send></classprops></gate>";
  };
  return "<?xml version=\"1.0\" encoding=\"windows-1251\"?><gates version=\"7\">" +
         gate("MTS", "МТС (Москва)"_cp, 20) + gate("SMSC", "SMS-центр"_cp, 10) + "</gates>";
}

// Contacts in and out of groups, and the messages sent to them.
void FillPhoneBookAndHistory() {
  int friends = 0;
  for (const char* name : {"Друзья", "Работа", "Семья"}) {
    TPhoneBookGroup group;
    group.Name = cp1251::FromUtf8(name);
    int id = TPhoneBook::AddGroup(group).ID;
    if (!friends) friends = id;
  }
  struct Sample {
    const char *name, *phone, *gate, *signature;
    int group;
  };
  const Sample contacts[] = {
      {"Анна Смирнова", "79161112233", "MTS", "Ваш сын", 0},
      {"Борис", "79165554433", "", "", 0},
      {"Вера Петровна", "79167778899", "SMSC", "Вася", 0},
      {"Дмитрий (работа)", "79160001122", "", "", 0},
      {"Сергей", "79163334455", "MTS", "", friends},
  };
  for (const Sample& c : contacts) {
    TPhoneBookItem item;
    item.Name = cp1251::FromUtf8(c.name);
    item.Phone = c.phone;
    item.GateName = c.gate;
    item.Signature = cp1251::FromUtf8(c.signature);
    item.GroupID = c.group;
    TPhoneBook::AddItem(item);
  }
  struct Sent {
    const char *phone, *gate, *subject, *text, *signature;
    int year, month, day, hour, minute;
    uint8_t status;
  };
  const Sent history[] = {
      {"79161112233", "MTS", "", "С Новым годом!", "Вася", 2023, 12, 31, 23, 55, dsDelivered},
      {"79165554433", "SMSC", "", "Буду через десять минут", "", 2024, 1, 15, 9, 10, dsNotSupported},
      {"79167778899", "SMSC", "", "Заберу детей сам", "Вася", 2024, 1, 15, 18, 40, dsNotDelivered},
      {"79160001122", "MTS", "Фото", "Смотри, что нашёл", "", 2024, 2, 3, 12, 0, dsDelivered},
      {"79161112233", "MTS", "", "Перезвони, когда сможешь", "Вася", 2024, 2, 3, 14, 25, dsCancelled},
      {"79169990000", "MTS", "", "Встречаемся у входа в кино в семь", "", 2024, 2, 14, 19, 5, dsDelivered},
  };
  for (const Sent& h : history) {
    THistoryItem item;
    item.Phone = h.phone;
    item.GateName = h.gate;
    item.Subject = cp1251::FromUtf8(h.subject);
    item.Message = cp1251::FromUtf8(h.text);
    item.Signature = cp1251::FromUtf8(h.signature);
    item.DeliveryStatus = h.status;
    THistory::Add(item, EncodeDate(h.year, h.month, h.day) + EncodeTime(h.hour, h.minute, 0));
  }
}

// Fills the profile's databases with what the windows show.
void FillProfile() {
  OpenDatabases(ProfileDir + "Parlomix.db3", ProfileDir + "Gates.db3");
  std::istringstream gates(SampleGates());
  ImportGatePackageStream(gates, true);
  TTemplateList::Add("Опаздываю"_cp, "Опаздываю, буду в |"_cp);
  TTemplateList::Add("Перезвони"_cp, "Перезвони мне, пожалуйста"_cp);
  TLastItems::Add(TLastItems::kSignature, "Вася"_cp);
  FillPhoneBookAndHistory();
  CloseDatabases();
}

// The main window with a message being written.
std::unique_ptr<QWidget> MainWindow() {
  auto frm = std::make_unique<TSMSFrm>(std::vector<std::string>{});
  if (frm->FormCreate() != TSMSFrm::TCreateResult::Running) return nullptr;
  frm->cbTo->setEditText("+7 916 123-45-67");
  frm->FillGateList();
  frm->SetMemoText("Привет! Встречаемся у входа в кино в семь.\r\nНе опаздывай :)"_cp);
  frm->cbSignature->setEditText(QStr("Вася"_cp));
  frm->UpdateActions();
  frm->resize(760, 600);
  return frm;
}

// The databases and options the data windows read, while no main window
// holds them.
void OpenProfileData() {
  static TIniStorage placement(ProfileDir + "Placemnt.ini"), storage(ProfileDir + "Parlomix.ini");
  static std::unique_ptr<TOptions> options;
  if (!options) {
    placement.AddSubStorage("Configuration", &storage);
    options = std::make_unique<TOptions>(&placement);
  }
  Options = options.get();
  OpenDatabases(ProfileDir + "Parlomix.db3", ProfileDir + "Gates.db3");
}

std::unique_ptr<QWidget> PhoneBook() {
  OpenProfileData();
  return std::make_unique<TPhoneBookFrm>();
}

std::unique_ptr<QWidget> ContactEditor() {
  OpenProfileData();
  auto editor = std::make_unique<TEditPhoneFrm>();
  std::unique_ptr<TPhoneBookItem> contact = TPhoneBook::GetItemByPhone("79161112233");
  if (contact) editor->SetContact(*contact);
  return editor;
}

std::unique_ptr<QWidget> History() {
  OpenProfileData();
  return std::make_unique<THistoryFrm>();
}

std::unique_ptr<QWidget> Templates() {
  OpenProfileData();
  return std::make_unique<TTemplateFrm>();
}

std::unique_ptr<QWidget> About() {
  OpenProfileData();
  ReadProgramVersion();
  return std::make_unique<TAboutFrm>();
}

struct Shot {
  const char* name;
  std::function<std::unique_ptr<QWidget>()> open;
};

const Shot kShots[] = {
    {"mainwindow", MainWindow},
    {"phonebook", PhoneBook},
    {"contacteditor", ContactEditor},
    {"history", History},
    {"templates", Templates},
    {"about", About},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: pxshots FOLDER\n");
    return 2;
  }
  QString folder = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(folder);

  // A profile and instance guard of its own: a running Parlomix is left alone.
  std::string temp = QDir::tempPath().toStdString() + "/pxshots-XXXXXX";
  if (!mkdtemp(temp.data())) return 1;
  setenv("XDG_RUNTIME_DIR", temp.c_str(), 1);
  ProgramDir = std::filesystem::path(ProgramFileName()).parent_path().string() + "/";
  TranslitDir = ProgramDir + "Translit/";
  ProfileDir = temp + "/";
  FillProfile();

  int qtArgc = 1;
  TParlomixApp app(qtArgc, argv);
  int failures = 0;
  for (const Shot& shot : kShots) {
    std::unique_ptr<QWidget> window = shot.open();
    if (!window) {
      ++failures;
      continue;
    }
    window->show();
    // Let the window be laid out and painted before it is taken.
    for (int i = 0; i < 20; ++i) {
      QCoreApplication::processEvents();
      QThread::msleep(20);
    }
    QString file = folder + "/" + shot.name + ".png";
    if (!window->grab().save(file)) {
      std::fprintf(stderr, "cannot write %s\n", file.toLocal8Bit().constData());
      ++failures;
    }
    window.reset();
  }
  CloseDatabases();
  Options = nullptr;
  std::filesystem::remove_all(temp);
  return failures == 0 ? 0 : 1;
}
