// One whole send from the main window, as a person makes it: the number
// typed, the text written, Ctrl+Enter, the captcha answered in the send
// window, Close; through the real dispatcher, gate runner and HTTP client to
// the fake operator site, ending in a history row and the sent counter.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <functional>
#include <map>
#include <optional>

#include "app/mainwindow.h"
#include "cp1251.h"
#include "gates/fakesite.h"
#include "history.h"
#include "lastitems.h"
#include "senddispfrm.h"
#include "uitext.h"

namespace {

// Acts on the visible send window one stage per tick, each stage repeated
// until it returns true; after ten seconds the window is cancelled.
class SendWindowDriver {
 public:
  using Stage = std::function<bool(TSendDispFrm&)>;
  explicit SendWindowDriver(std::vector<Stage> stages) : stages_(std::move(stages)) {
    deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      TSendDispFrm* window = nullptr;
      for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* w = qobject_cast<TSendDispFrm*>(widget); w && w->isVisible()) window = w;
      if (!window || Done()) return;
      if (std::chrono::steady_clock::now() > deadline_) {
        ADD_FAILURE() << "the send window never reached stage " << next_;
        timer_.stop();
        window->done(QDialog::Rejected);
        return;
      }
      if (stages_[next_](*window)) ++next_;
    });
    timer_.start(20);
  }
  bool Done() const { return next_ == stages_.size(); }

 private:
  std::vector<Stage> stages_;
  size_t next_ = 0;
  QTimer timer_;
  std::chrono::steady_clock::time_point deadline_;
};

template <class T>
T* Child(QWidget& window, const char* name) {
  return window.findChild<T*>(QString::fromLatin1(name));
}

class MainWindowSend : public MainWindowTest {
 protected:
  FakeSite site;
  std::map<std::string, std::optional<std::string>> savedEnv;

  void SetUp() override {
    MainWindowTest::SetUp();
    // The machine's proxy never reaches a test.
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
      const char* old = std::getenv(name);
      savedEnv[name] = old ? std::optional<std::string>(old) : std::nullopt;
      unsetenv(name);
    }
    PresetOption("Network\\Proxy", "");
    PresetOption("Message\\Signature", "Вася"_cp);
    FakeGateSpec gate = FakeGate(site);
    WithDatabase([&](TSQLiteDatabase&) { ASSERT_TRUE(gate.Import()); });
  }
  void TearDown() override {
    for (auto& [name, value] : savedEnv)
      if (value) setenv(name.c_str(), value->c_str(), 1);
    MainWindowTest::TearDown();
  }
};

TEST_F(MainWindowSend, AWholeSendFromTheWindowEndsInAHistoryRow) {
  auto frm = Start();
  frm->aNewExecute();
  frm->show();
  frm->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frm.get()));
  frm->cbTo->setFocus();
  QTest::keyClicks(frm->cbTo, "79161234567");
  ASSERT_NE(frm->GetSelectedGate(), nullptr);
  EXPECT_EQ(frm->GetSelectedGate()->Name, "FakeOperator");
  frm->mMsg->setFocus();
  QTest::keyClicks(frm->mMsg, "Hello");
  ASSERT_TRUE(frm->Action("aSendSMS")->isEnabled()) << CpStr(frm->StatusPanel0->text());

  SendWindowDriver driver({
      [](TSendDispFrm& w) {
        if (!Child<QGroupBox>(w, "gbCode")->isVisible()) return false;
        QLineEdit* code = Child<QLineEdit>(w, "edCode");
        QTest::keyClicks(code, FakeSite::kCode);
        QTest::keyClick(code, Qt::Key_Return);
        return true;
      },
      [](TSendDispFrm& w) {
        QPushButton* close = Child<QPushButton>(w, "btClose");
        if (!close->isVisible()) return false;
        EXPECT_EQ(Child<QLabel>(w, "lbOperation")->text(), QStr("Сообщение отправлено и доставлено"_cp));
        QTest::mouseClick(close, Qt::LeftButton);
        return true;
      },
  });
  QTest::keyClick(frm->mMsg, Qt::Key_Return, Qt::ControlModifier);  // returns when the send window has closed
  EXPECT_TRUE(driver.Done());

  // The site got the text with the signature, for the number's parts; the
  // gate has no Unicode, so the signature went transliterated.
  std::vector<std::string> lines = site.Lines();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "GET /form");
  EXPECT_EQ(lines[1], "GET /captcha.png");
  EXPECT_EQ(lines[2], "POST /send");
  std::string posted = site.Requests()[2];
  EXPECT_NE(posted.find("phone=9161234567"), std::string::npos);
  EXPECT_NE(posted.find("text=Hello%0D%0AVasya&"), std::string::npos) << posted;

  // The bookkeeping: one history row, delivered; the counter; the composer
  // cleared as the options say; the signature among the recent ones.
  THistoryItemList history;
  ASSERT_EQ(THistory::Load(history, ""), 1);
  EXPECT_EQ(history[0]->Phone, "79161234567");
  EXPECT_EQ(history[0]->GateName, "FakeOperator");
  EXPECT_EQ(history[0]->Message, "Hello");
  EXPECT_EQ(history[0]->Signature, "Вася"_cp);
  EXPECT_EQ(history[0]->DeliveryStatus, dsDelivered);
  EXPECT_EQ(frm->SentCount(), 1);
  EXPECT_EQ(Options->ReadInteger("Message\\TotalMsgSent"), 1);
  EXPECT_EQ(frm->MemoText(), "");
  std::vector<std::string> signatures;
  TLastItems::Load(TLastItems::kSignature, signatures);
  ASSERT_FALSE(signatures.empty());
  EXPECT_EQ(signatures.front(), "Вася"_cp);
}

TEST_F(MainWindowSend, ACancelledSendWritesNoHistory) {
  auto frm = Start();
  frm->aNewExecute();
  frm->cbTo->SetTextNoSuggest("79161234567");
  frm->FillGateList();
  frm->SetMemoText("Hello");
  SendWindowDriver driver({[](TSendDispFrm& w) {
    if (!Child<QGroupBox>(w, "gbCode")->isVisible()) return false;
    QTest::mouseClick(Child<QPushButton>(w, "btCancel"), Qt::LeftButton);
    return true;
  }});
  frm->Action("aSendSMS")->trigger();
  EXPECT_TRUE(driver.Done());
  THistoryItemList history;
  EXPECT_EQ(THistory::Load(history, ""), 0);
  EXPECT_EQ(frm->SentCount(), 0);
  EXPECT_EQ(frm->MemoText(), "Hello") << "nothing cleared";
}

}  // namespace
