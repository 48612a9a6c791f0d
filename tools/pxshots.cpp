// pxshots FOLDER: opens every window built so far over a throw-away profile
// filled with sample data and saves a picture of each as FOLDER/NAME.png.
// Run it under a real display server (make screenshots uses Xvfb) so that
// fonts and styles are the desktop's. A window is added by one entry in
// kShots below.
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
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

#include "application.h"
#include "cp1251.h"
#include "importgate.h"
#include "inistorage.h"
#include "lastitems.h"
#include "options.h"
#include "phonebook.h"
#include "smsfrm.h"
#include "sqlmgr.h"
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
           "<info><SupportUnicode>1</SupportUnicode><SupportFlash>1</SupportFlash><MaxSymbols>160</MaxSymbols><MaxUnicodeSymbols>70</MaxUnicodeSymbols>" +
           "</info><classprops><Send>1</Send></classprops></gate>";
  };
  std::string mms =
      "<gate><name>MMSC</name><caption>" + "ММС-центр"_cp + "</caption><type>MMS</type><class>HTTP</class>"
      "<version>1</version><priority>10</priority><prefixlist><prefix start=\"7916\" end=\"7916\" format=\"1.3.7\" "
      "tag=\"0\"/></prefixlist><info><SupportUnicode>1</SupportUnicode><MaxSymbols>1000</MaxSymbols>"
      "<MaxUnicodeSymbols>1000</MaxUnicodeSymbols><MaxSubjectSymbols>40</MaxSubjectSymbols>"
      "<SupportMultiMedia>1</SupportMultiMedia><SupportImage>1</SupportImage><MaxMultimediaSize>300000"
      "</MaxMultimediaSize></info><classprops><Send>1</Send></classprops></gate>";
  return "<?xml version=\"1.0\" encoding=\"windows-1251\"?><gates version=\"7\">" +
         gate("MTS", "МТС (Москва)"_cp, 20) + gate("SMSC", "SMS-центр"_cp, 10) + mms + "</gates>";
}

// Fills the profile's databases with what the windows show.
void FillProfile() {
  OpenDatabases(ProfileDir + "Parlomix.db3", ProfileDir + "Gates.db3");
  std::istringstream gates(SampleGates());
  ImportGatePackageStream(gates, true);
  TTemplateList::Add("Опаздываю"_cp, "Опаздываю, буду в |"_cp);
  TTemplateList::Add("Перезвони"_cp, "Перезвони мне, пожалуйста"_cp);
  TLastItems::Add(TLastItems::kSignature, "Вася"_cp);
  // Each picture starts from an empty composer, not from the last one's.
  TIniStorage options(ProfileDir + "Parlomix.ini");
  options.WriteBool("Message\\SaveOnExit", false);
  options.Flush();
  for (auto [name, phone] : {std::pair{"Иванов Иван", "79161234567"}, {"Иванова Мария", "79167654321"},
                             {"Ивлев Пётр", "79160001122"}}) {
    TPhoneBookItem contact;
    contact.Name = cp1251::FromUtf8(name);
    contact.Phone = phone;
    TPhoneBook::AddItem(contact);
  }
  CloseDatabases();
}

// The main window with a message being written.
std::unique_ptr<QWidget> MainWindow() {
  auto frm = std::make_unique<TSMSFrm>(std::vector<std::string>{});
  if (frm->FormCreate() != TSMSFrm::TCreateResult::Running) return nullptr;
  frm->cbTo->SetTextNoSuggest("+7 916 123-45-67");
  frm->FillGateList();
  frm->FormatRecipientText();
  frm->SetMemoText("Привет! Встречаемся у входа в кино в семь.\r\nНе опаздывай :)"_cp);
  frm->cbSignature->setEditText(QStr("Вася"_cp));
  frm->UpdateActions();
  frm->resize(760, 600);
  return frm;
}

// The main window writing an MMS to a contact, a picture attached.
std::unique_ptr<QWidget> ComposerMms() {
  auto frm = std::make_unique<TSMSFrm>(std::vector<std::string>{});
  if (frm->FormCreate() != TSMSFrm::TCreateResult::Running) return nullptr;
  frm->Action("aMMS")->trigger();
  frm->cbTo->SetTextNoSuggest(QStr("Иванов Иван [+79161234567]"_cp));
  frm->FillGateList();
  frm->FormatRecipientText();
  frm->cbSubject->setEditText(QStr("С днём рождения!"_cp));
  frm->SetMemoText("Поздравляю! Это тебе :)"_cp);
  frm->cbSignature->setEditText(QStr("Вася"_cp));
  // A picture of a sunset, drawn for the occasion.
  QImage picture(320, 240, QImage::Format_RGB32);
  QPainter painter(&picture);
  QLinearGradient sky(0, 0, 0, 240);
  sky.setColorAt(0, QColor(0x2a, 0x4d, 0x9b));
  sky.setColorAt(1, QColor(0xf5, 0x9e, 0x42));
  painter.fillRect(picture.rect(), sky);
  painter.setBrush(QColor(0xff, 0xd3, 0x4e));
  painter.setPen(Qt::NoPen);
  painter.drawEllipse(QPoint(160, 190), 60, 60);
  painter.fillRect(QRect(0, 200, 320, 40), QColor(0x1d, 0x3b, 0x2a));
  painter.end();
  std::string file = ProfileDir + "sunset.png";
  picture.save(QString::fromStdString(file), "PNG");
  frm->AddMultimediaFile(file);
  frm->resize(760, 600);
  return frm;
}

// The main window with the recipient's suggestions open: typed by keys, so
// the window is shown first.
std::unique_ptr<QWidget> Suggestions() {
  auto frm = MainWindow();
  if (!frm) return nullptr;
  auto* smsFrm = static_cast<TSMSFrm*>(frm.get());
  smsFrm->aNewExecute();
  smsFrm->SetMemoText("Привет!"_cp);
  return frm;
}

void TypeRecipient(QWidget* window) {
  auto* frm = static_cast<TSMSFrm*>(window);
  frm->activateWindow();
  frm->cbTo->setFocus();
  for (QChar c : QStr("Ив"_cp)) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(frm->cbTo, &press);
  }
  QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
  QApplication::sendEvent(frm->cbTo, &down);
}

// What a picture shows beyond the window itself: the suggestion list floats
// in a window of its own.
QRect ScreenArea(QWidget* window) {
  QRect area = window->frameGeometry();
  if (auto* frm = qobject_cast<TSMSFrm*>(window); frm && frm->cbTo->DroppedDown())
    area = area.united(frm->cbTo->Popup()->geometry());
  return area;
}

struct Shot {
  const char* name;
  std::function<std::unique_ptr<QWidget>()> open;
  // Run once the window is shown; a shot with it is taken from the screen.
  std::function<void(QWidget*)> act = nullptr;
};

const Shot kShots[] = {
    {"mainwindow", MainWindow},
    {"composer-mms", ComposerMms},
    {"recipient-suggestions", Suggestions, TypeRecipient},
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
    auto settle = [] {
      for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
      }
    };
    settle();
    QPixmap picture;
    if (shot.act) {
      shot.act(window.get());
      settle();
      QRect area = ScreenArea(window.get());
      picture = window->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    } else {
      picture = window->grab();
    }
    QString file = folder + "/" + shot.name + ".png";
    if (!picture.save(file)) {
      std::fprintf(stderr, "cannot write %s\n", file.toLocal8Bit().constData());
      ++failures;
    }
    window.reset();
  }
  std::filesystem::remove_all(temp);
  return failures == 0 ? 0 : 1;
}
