// pxshots FOLDER: opens every window built so far over a throw-away profile
// filled with sample data and saves a picture of each as FOLDER/NAME.png.
// Run it under a real display server with a window manager (make
// screenshots uses Xvfb and openbox) so that fonts, styles and title bars
// are the desktop's. A window is added by one entry in kShots below.
#include <QCheckBox>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QThread>
#include <QGuiApplication>
#include <qguiapplication_platform.h>
#include <QTimeEdit>
#include <QTimer>
#include <cstdio>
#include <xcb/xcb.h>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "aboutfrm.h"
#include "application.h"
#include "cp1251.h"
#include "feedbackfrm.h"
#include "gatefactory.h"
#include "httpgate.h"
#include "senddispfrm.h"
#include "firstrunfrm.h"
#include "gatemngfrm.h"
#include "history.h"
#include "historyfrm.h"
#include "importgate.h"
#include "inistorage.h"
#include "lastitems.h"
#include "options.h"
#include "optionsfrm.h"
#include "placement.h"
#include "sendlogger.h"
#include "phonebook.h"
#include "phonebookfrm.h"
#include "phoneeditfrm.h"
#include "smsfrm.h"
#include "sqlmgr.h"
#include "templatefrm.h"
#include "templates.h"
#include "uitext.h"
#include "updateinfofrm.h"
#include "updateprgsfrm.h"

namespace {

// Sample gates: two SMS gates for one number, so the gate counter shows, an
// MMS gate and a disabled one for the gate manager. Gate lists without a
// byte-order mark are Windows-1251.
std::string SampleGates() {
  auto gate = [](const std::string& name, const std::string& caption, const std::string& type, int priority,
                 const std::string& info) {
    return "<gate><name>" + name + "</name><caption>" + caption + "</caption><type>" + type +
           "</type><class>HTTP</class><version>3</version><priority>" + std::to_string(priority) + "</priority>" +
           "<prefixlist><prefix start=\"7916\" end=\"7916\" format=\"1.3.7\" tag=\"0\"/>" +
           "<prefix start=\"7915000\" end=\"7915499\" format=\"1.3.7\" tag=\"0\"/></prefixlist><info>" + info +
           "<MaxSymbols>160</MaxSymbols></info><classprops><Send>1</Send></classprops></gate>";
  };
  std::string mts = "<SupportUnicode>1</SupportUnicode><MaxUnicodeSymbols>70</MaxUnicodeSymbols><SupportFlash>1"
                    "</SupportFlash><Captcha>1</Captcha><SupportCheckDelivery>1</SupportCheckDelivery><GateURL>"
                    "http://www.mts.ru/sms/</GateURL><Description>Бесплатная отправка с сайта МТС.\r\nНе более 10 "
                    "сообщений в сутки.</Description>"_cp;
  std::string mms =
      "<gate><name>MMSC</name><caption>" + "ММС-центр"_cp + "</caption><type>MMS</type><class>HTTP</class>"
      "<version>1</version><priority>10</priority><prefixlist><prefix start=\"7916\" end=\"7916\" format=\"1.3.7\" "
      "tag=\"0\"/></prefixlist><info><SupportUnicode>1</SupportUnicode><MaxSymbols>1000</MaxSymbols>"
      "<MaxUnicodeSymbols>1000</MaxUnicodeSymbols><MaxSubjectSymbols>40</MaxSubjectSymbols>"
      "<SupportMultiMedia>1</SupportMultiMedia><SupportImage>1</SupportImage><MaxMultimediaSize>300000"
      "</MaxMultimediaSize></info><classprops><Send>1</Send></classprops></gate>";
  return "<?xml version=\"1.0\" encoding=\"windows-1251\"?><gates version=\"7\">" +
         gate("MTS", "МТС (Москва)"_cp, "SMS", 20, mts) +
         gate("SMSC", "SMS-центр"_cp, "SMS", 10, "<SupportUnicode>1</SupportUnicode><MaxUnicodeSymbols>70</MaxUnicodeSymbols><SupportFlash>1</SupportFlash>") +
         gate("MTSMMS", "МТС MMS"_cp, "MMS", 5, "<GateURL>http://www.mts.ru/mms/</GateURL>") +
         gate("Old", "Старый шлюз"_cp, "SMS", 1, "") + mms + "</gates>";
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

// Fills the profile's databases with what the windows show. The first run
// is over, and update checks go nowhere.
void FillProfile() {
  TIniStorage ini(ProfileDir + "Parlomix.ini");
  ini.WriteString("General\\FirstRunDone", "TRUE");
  for (const char* key : {"Update\\URL", "Update\\GatesURL"}) ini.WriteString(key, "http://127.0.0.1:1/");
  ini.WriteString("Network\\Proxy", "HTTP");
  ini.WriteString("Network\\ProxyHost", "proxy.example.ru");
  ini.WriteString("Network\\ProxyPort", "3128");
  ini.WriteString("Network\\ProxyAuth", "TRUE");
  ini.WriteString("Network\\ProxyName", "ivan");
  ini.WriteString("Network\\ProxyPass", "secret");
  ini.WriteString("Message\\Signature", "Вася"_cp);
  ini.Flush();
  OpenDatabases(ProfileDir + "Parlomix.db3", ProfileDir + "Gates.db3");
  std::istringstream gates(SampleGates());
  ImportGatePackageStream(gates, true);
  TGateFactory::SetGateDisabled("Old", true);
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
  FillPhoneBookAndHistory();
  CloseDatabases();
}

// The main window shows the time of day in its delivery pickers. The
// pictures show one fixed moment instead, so that taking them again changes
// nothing: the timer that keeps the pickers from falling behind is stopped.
std::unique_ptr<TSMSFrm> StartMainWindow() {
  auto frm = std::make_unique<TSMSFrm>(std::vector<std::string>{});
  if (frm->FormCreate() != TSMSFrm::TCreateResult::Running) return nullptr;
  frm->Timer1->stop();
  frm->dtpDeliveryDate->setDate(QDate(2024, 2, 14));
  frm->dtpDeliveryTime->setTime(QTime(18, 30));
  return frm;
}

// The main window with a message being written.
std::unique_ptr<QWidget> MainWindow() {
  auto frm = StartMainWindow();
  if (!frm) return nullptr;
  frm->cbTo->SetTextNoSuggest("+7 916 123-45-67");
  frm->FillGateList();
  frm->FormatRecipientText();
  frm->SetMemoText("Привет! Встречаемся у входа в кино в семь.\r\nНе опаздывай :)"_cp);
  frm->cbSignature->setEditText(QStr("Вася"_cp));
  frm->UpdateActions();
  frm->resize(760, 600);
  return frm;
}

// A newer program offered to the user.
std::unique_ptr<QWidget> UpdateInfo() {
  auto frm = std::make_unique<TUpdateInfoFrm>();
  frm->SetVersion("2.1.5.640");
  frm->SetWhatsNew("Добавлены операторы Билайн и Теле2\r\n<b>Быстрее</b> загружается картинка с кодом\r\n"
                   "Исправлена ошибка при отправке MMS"_cp);
  frm->SetPageAddress("http://parlomix.org/download.html");
  return frm;
}

// A gate list being downloaded, a little under half-way.
std::unique_ptr<QWidget> UpdateProgress() {
  auto frm = std::make_unique<TUpdatePrgsFrm>();
  frm->SetTotal(812345);
  frm->SetPosition(371200);
  return frm;
}

// The report of a failed send, with a send log to attach.
std::unique_ptr<QWidget> Feedback() {
  static std::unique_ptr<TSendLogger> log = TSendLogger::Create("MTS");
  auto frm = std::make_unique<TFeedbackFrm>();
  frm->edName->setText(QStr("Василий"_cp));
  frm->edEMail->setText("vasya@example.org");
  frm->PrepareErrorReport("МТС (Москва) (MTS v.12)"_cp, "79161234567", "Неверный код подтверждения"_cp);
  frm->SetSendLog(log.get());
  frm->chbAttachLog->setChecked(true);
  return frm;
}

// The options, placements and databases of the profile, for the windows
// after the main window, which sets up and takes down its own.
struct Profile {
  TIniStorage options{ProfileDir + "Parlomix.ini"};
  TIniStorage placement{ProfileDir + "Placemnt.ini"};
  std::unique_ptr<TOptions> set;
  Profile() {
    placement.AddSubStorage("Configuration", &options);
    set = std::make_unique<TOptions>(&placement);
    Options = set.get();
    OpenDatabases(ProfileDir + "Parlomix.db3", ProfileDir + "Gates.db3");
  }
  ~Profile() {
    CloseDatabases();
    Options = nullptr;
  }
};
std::unique_ptr<Profile> profile;

// A main window shown in between closes the databases and lets go of the
// options as it goes, so both are taken up again when needed.
void OpenProfile() {
  if (!profile) profile = std::make_unique<Profile>();
  Options = profile->set.get();
  if (!Database) OpenDatabases(ProfileDir + "Parlomix.db3", ProfileDir + "Gates.db3");
}

std::unique_ptr<QWidget> OptionsPage(int page) {
  OpenProfile();
  auto frm = std::make_unique<TOptionsFrm>();
  frm->SelectPage(page);
  return frm;
}

// The wizard after its program check failed.
std::unique_ptr<QWidget> FirstRun() {
  OpenProfile();
  return std::make_unique<TFirstRunFrm>([] {}, [](int kind, TUpdateCheckReport report) { report(kind, 4); });
}

std::unique_ptr<QWidget> GateManager() {
  OpenProfile();
  auto frm = std::make_unique<TGateMngFrm>();
  frm->SetSelectedGateName("MTS");
  return frm;
}

// The main window writing an MMS to a contact, a picture attached.
std::unique_ptr<QWidget> ComposerMms() {
  auto frm = StartMainWindow();
  if (!frm) return nullptr;
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
// Where an X window is on the screen, its border included; nullopt when the
// server does not say.
std::optional<QRect> ServerRect(xcb_connection_t* connection, xcb_window_t id) {
  std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
      xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr), &std::free);
  if (!geometry) return std::nullopt;
  std::unique_ptr<xcb_translate_coordinates_reply_t, decltype(&std::free)> origin(
      xcb_translate_coordinates_reply(connection, xcb_translate_coordinates(connection, id, geometry->root, 0, 0),
                                      nullptr),
      &std::free);
  if (!origin) return std::nullopt;
  const int border = geometry->border_width;
  return QRect(origin->dst_x - border, origin->dst_y - border, geometry->width + 2 * border,
               geometry->height + 2 * border);
}

xcb_connection_t* X11Connection() {
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

// Where the window and the window manager's frame around it are on the X
// server now. What Qt knows of them may lag behind the window manager's last
// move, or be a 1x1 stand-in after a window is mapped again; a picture taken
// there shows the wrong place. Qt's own idea serves off X11.
QRect Framed(const QWidget& window) {
  xcb_connection_t* connection = X11Connection();
  if (!connection)
    return window.frameGeometry().contains(window.geometry()) ? window.frameGeometry() : window.geometry();
  // The frame is the ancestor that is a child of the root window.
  xcb_window_t top = static_cast<xcb_window_t>(window.winId());
  for (;;) {
    std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, top), nullptr), &std::free);
    if (!tree || tree->parent == tree->root || tree->parent == XCB_WINDOW_NONE) break;
    top = tree->parent;
  }
  return ServerRect(connection, top).value_or(window.geometry());
}

// The window without its frame, where the X server has it.
QRect Client(const QWidget& window) {
  xcb_connection_t* connection = X11Connection();
  if (!connection) return window.geometry();
  return ServerRect(connection, static_cast<xcb_window_t>(window.winId())).value_or(window.geometry());
}

QRect ScreenArea(QWidget* window) {
  QRect area = Framed(*window);
  if (auto* frm = qobject_cast<TSMSFrm*>(window); frm && frm->cbTo->DroppedDown())
    area = area.united(Framed(*frm->cbTo->Popup()));
  return area;
}

std::unique_ptr<QWidget> PhoneBook() {
  OpenProfile();
  return std::make_unique<TPhoneBookFrm>();
}

std::unique_ptr<QWidget> ContactEditor() {
  OpenProfile();
  auto editor = std::make_unique<TEditPhoneFrm>();
  std::unique_ptr<TPhoneBookItem> contact = TPhoneBook::GetItemByPhone("79161112233");
  if (contact) editor->SetContact(*contact);
  return editor;
}

std::unique_ptr<QWidget> History() {
  OpenProfile();
  return std::make_unique<THistoryFrm>();
}

std::unique_ptr<QWidget> Templates() {
  OpenProfile();
  return std::make_unique<TTemplateFrm>();
}

std::unique_ptr<QWidget> About() {
  OpenProfile();
  ReadProgramVersion();
  return std::make_unique<TAboutFrm>();
}

// The send window of the MTS gate at its captcha, zoomed to 150%, with a
// code being typed.
std::unique_ptr<QWidget> SendWindow() {
  OpenProfile();
  RegisterHTTPGate();
  static std::unique_ptr<TGateSender> sender = TGateFactory::CreateGateSender("MTS");
  if (!sender) return nullptr;
  sender->Info.SetItemNamed("CaptchaScale", Variant::Int64(150));
  QImage captcha(120, 40, QImage::Format_RGB32);
  captcha.fill(QColor(236, 240, 246));
  {
    QPainter painter(&captcha);
    painter.setPen(QPen(QColor(150, 160, 190), 1));
    for (int x = -40; x < 120; x += 9) painter.drawLine(x, 40, x + 40, 0);
    QFont font = painter.font();
    font.setPixelSize(26);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(40, 60, 120));
    painter.drawText(captcha.rect(), Qt::AlignCenter, "4x7k");
  }
  auto frm = std::make_unique<TSendDispFrm>();
  frm->SetGate(sender.get());
  frm->ShowProgress(sender.get(), stCaptcha, spFinished);
  frm->ShowCaptcha(captcha);
  if (auto* code = frm->findChild<QLineEdit*>("edCode")) code->setText("4x7");
  return frm;
}

// Lets a window be laid out and painted before it is taken.
void Settle() {
  for (int i = 0; i < 20; ++i) {
    QCoreApplication::processEvents();
    QThread::msleep(20);
  }
}

// A window manager frames a window a moment after it is mapped. False when
// no frame came (no window manager runs): the window is taken as it is.
bool WaitForFrame(QWidget& window) {
  for (int i = 0; i < 250 && Framed(window) == Client(window); ++i) {
    QCoreApplication::processEvents();
    QThread::msleep(20);
  }
  Settle();
  return Framed(window) != Client(window);
}

struct Shot {
  const char* name;
  std::function<std::unique_ptr<QWidget>()> open;
  // Run once the window is shown, before it is taken.
  std::function<void(QWidget*)> act = nullptr;
};

const Shot kShots[] = {
    {"mainwindow", MainWindow},
    {"updateinfo", UpdateInfo},
    {"updateprogress", UpdateProgress},
    {"feedback", Feedback},
    {"send-window", SendWindow},
    {"options-general", [] { return OptionsPage(0); }},
    {"options-behaviour", [] { return OptionsPage(1); }},
    {"options-proxy", [] { return OptionsPage(2); }},
    {"options-update", [] { return OptionsPage(3); }},
    {"options-stats", [] { return OptionsPage(4); }},
    {"firstrun", FirstRun},
    {"gatemanager", GateManager},
    {"composer-mms", ComposerMms},
    {"recipient-suggestions", Suggestions, TypeRecipient},
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
  ReadProgramVersion();
  FillProfile();

  int qtArgc = 1;
  TParlomixApp app(qtArgc, argv);
  // A blinking caret would be on in one picture and off in the next.
  QApplication::setCursorFlashTime(0);
  int failures = 0;
  for (const Shot& shot : kShots) {
    // A window manager busy with the window before, or on a loaded machine,
    // may miss a window's mapping: it is shown once more, then made anew,
    // before it is taken without a frame.
    std::unique_ptr<QWidget> window;
    bool framed = false;
    for (int made = 0; made < 3 && !framed; ++made) {
      window.reset();
      Settle();
      window = shot.open();
      if (!window) break;
      for (int attempt = 0; attempt < 2 && !framed; ++attempt) {
        if (attempt > 0) {
          window->hide();
          Settle();
        }
        window->show();
        window->raise();
        window->activateWindow();
        framed = WaitForFrame(*window);
      }
    }
    if (!window) {
      ++failures;
      continue;
    }
    if (!framed) std::fprintf(stderr, "%s: no window manager's frame, taken without it\n", shot.name);
    if (shot.act) {
      shot.act(window.get());
      Settle();
    }
    // Taken from the screen, so that the picture shows the window manager's
    // title bar as a user sees it; once the window manager has put the
    // window where it stays, wholly on the screen.
    // A picture counts once two takes a moment apart are the same: the
    // window manager may still be moving or framing the window. One that
    // never settles is taken as last seen.
    QPixmap picture, last;
    QImage before;
    for (int attempt = 0; attempt < 25 && picture.isNull(); ++attempt) {
      QRect area = ScreenArea(window.get());
      QPixmap taken;
      if (window->screen()->geometry().contains(area))
        taken = window->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
      QImage image = taken.size() == area.size() ? taken.toImage() : QImage();
      if (!image.isNull()) last = taken;
      if (!image.isNull() && image == before) picture = taken;
      before = image;
      if (picture.isNull()) Settle();
    }
    if (picture.isNull()) {
      QRect area = ScreenArea(window.get()), client = window->geometry();
      std::fprintf(stderr, "%s: the window did not settle (frame %d,%d %dx%d, window %d,%d %dx%d), taken as last seen\n",
                   shot.name, area.x(), area.y(), area.width(), area.height(), client.x(), client.y(), client.width(),
                   client.height());
      picture = last;
    }
    QString file = folder + "/" + shot.name + ".png";
    if (picture.isNull() || !picture.save(file)) {
      std::fprintf(stderr, "cannot write %s\n", file.toLocal8Bit().constData());
      ++failures;
    }
    window.reset();
  }
  profile.reset();
  std::filesystem::remove_all(temp);
  return failures == 0 ? 0 : 1;
}
