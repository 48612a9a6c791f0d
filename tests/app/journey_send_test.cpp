// Sends started from the main window and carried through the send window as
// a person would: the code typed and Enter, a wrong code and a retry, the
// close box while the code is awaited, a failing site with its error report
// window; each ending in the history row, the status bar and the counters.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <algorithm>

#include "app/journey.h"
#include "app/sendprofile.h"
#include "feedbackfrm.h"
#include "gates/sendwindowdriver.h"
#include "history.h"
#include "options.h"
#include "senddispfrm.h"
#include "stats.h"
#include "uitext.h"
#include "weblinks.h"

namespace {

bool CaptchaShown(TSendDispFrm& w) { return Control<QGroupBox>(w, "gbCode")->isVisible(); }
bool Shows(TSendDispFrm& w, const char* button) { return Control<QPushButton>(w, button)->isVisible(); }
void Click(QWidget& w, const char* name) { QTest::mouseClick(Control<QWidget>(w, name), Qt::LeftButton); }

class SendJourney : public MainWindowSendTest {
 protected:
  std::unique_ptr<TestFrm> frm;

  void SetUp() override {
    MainWindowSendTest::SetUp();
    frm = Start();
    frm->show();
    frm->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frm.get()));
    QTest::keyClick(frm.get(), Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(QApplication::focusWidget(), frm->cbTo);
    Type("79161234567");
    frm->mMsg->setFocus();
    Type("Hello");
    ASSERT_TRUE(frm->Action("aSendSMS")->isEnabled()) << CpStr(frm->StatusPanel0->text());
  }
  void TearDown() override {
    if (frm) frm->FormDestroy();
    frm.reset();
    MainWindowSendTest::TearDown();
  }
  // Clicks the main window's send button at its centre; returns once the
  // send window has closed.
  void ClickSend() { QTest::mouseClick(frm->btSend, Qt::LeftButton); }
  std::string Counter() const { return CpStr(frm->StatusPanel1->text()); }
  // Today's statistics row of the gate: "sent,errors"; empty when none.
  static std::string TodaysStats() {
    const std::string report = TStats::BuildReport(TStats::Today() + kDay);
    const std::string gate = ",FakeOperator,";
    const size_t at = report.find(gate);
    return at == std::string::npos ? std::string() : report.substr(at + gate.size());
  }
  static constexpr int64_t kDay = 24 * 60 * 60;
  // The history rows; their number.
  static int History(THistoryItemList& rows) { return THistory::Load(rows, ""); }
};

TEST_F(SendJourney, ACodeTypedAndEnterEndInADeliveredHistoryRowAndTheCounter) {
  SendWindowDriver driver({[&](TSendDispFrm& w) {
                             if (!Control<QGroupBox>(w, "gbCode")->isVisible()) return false;
                             // Modal over the main window and centred on it,
                             // with the code box shown too.
                             EXPECT_EQ(w.parentWidget(), frm.get());
                             EXPECT_TRUE(w.isModal());
                             const QPoint offset = w.frameGeometry().center() - frm->frameGeometry().center();
                             EXPECT_LE(offset.manhattanLength(), 4) << offset.x() << "," << offset.y();
                             return true;
                           },
                           SendStage::Answer(FakeSite::kCode), SendStage::Press("btClose")});
  ClickSend();
  EXPECT_TRUE(driver.Finished());
  THistoryItemList rows;
  ASSERT_EQ(History(rows), 1);
  EXPECT_EQ(rows[0]->DeliveryStatus, dsDelivered);
  EXPECT_EQ(rows[0]->Message, "Hello");
  EXPECT_EQ(frm->SentCount(), 1);
  EXPECT_EQ(Counter(), "Отправлено сообщений 1, всего 1"_cp);
  EXPECT_EQ(frm->MemoText(), "");
  EXPECT_EQ(frm->cbTo->currentText().toStdString(), "");
  EXPECT_EQ(TodaysStats(), "1,0");
}

TEST_F(SendJourney, AWrongCodeThenRetryBooksOneSendWithoutDeliveryCheck) {
  Options->WriteBool("Send\\CheckDelivery", false);
  Options->WriteInteger("Message\\TotalMsgSent", 41);
  SendWindowDriver driver({SendStage::Answer("0000"), SendStage::Press("btRetry"),
                           SendStage::Answer(FakeSite::kCode), [](TSendDispFrm& w) {
                             if (!Shows(w, "btClose")) return false;
                             EXPECT_EQ(Control<QLabel>(w, "lbOperation")->text(),
                                       QStr("Сообщение отправлено. Проверка доставки не поддерживается или отключена."_cp));
                             Click(w, "btClose");
                             return true;
                           }});
  ClickSend();
  EXPECT_TRUE(driver.Finished());
  THistoryItemList rows;
  ASSERT_EQ(History(rows), 1);
  EXPECT_EQ(rows[0]->DeliveryStatus, dsNotSupported);
  EXPECT_EQ(Counter(), "Отправлено сообщений 1, всего 42"_cp);
  EXPECT_EQ(Options->ReadInteger("Message\\TotalMsgSent"), 42);
}

TEST_F(SendJourney, TheSameMessageSentTwiceInARowIsBookedTwice) {
  Options->WriteBool("Message\\ClearAfterSend", false);
  frm->mMsg->setFocus();
  for (int send = 1; send <= 2; ++send) {
    SCOPED_TRACE(send);
    SendWindowDriver driver({[&](TSendDispFrm& w) {
                               // Each send opens a fresh window, over the main
                               // window even when that is not the active one.
                               EXPECT_EQ(w.parentWidget(), frm.get());
                               EXPECT_TRUE(Control<QPushButton>(w, "btCancel")->isEnabled());
                               EXPECT_FALSE(Control<QPushButton>(w, "btClose")->isVisible());
                               return true;
                             },
                             SendStage::Answer(FakeSite::kCode), SendStage::Press("btClose")});
    // Offscreen, no window is active once a modal one has closed: the
    // second send starts from the action itself.
    if (send == 1)
      Press(Qt::Key_Return, Qt::ControlModifier);
    else
      frm->Action("aSendSMS")->trigger();
    EXPECT_TRUE(driver.Finished());
    EXPECT_EQ(frm->MemoText(), "Hello");
  }
  THistoryItemList rows;
  EXPECT_EQ(History(rows), 2);
  EXPECT_EQ(Counter(), "Отправлено сообщений 2, всего 2"_cp);
  EXPECT_EQ(TodaysStats(), "2,0");
}

TEST_F(SendJourney, TheCloseBoxWhileTheCodeIsAwaitedKeepsTheMessageAndBooksNothing) {
  SendWindowDriver driver({[](TSendDispFrm& w) {
    if (!CaptchaShown(w)) return false;
    w.close();
    return true;
  }});
  ClickSend();
  EXPECT_TRUE(driver.Finished());
  THistoryItemList rows;
  EXPECT_EQ(History(rows), 0);
  EXPECT_EQ(frm->SentCount(), 0);
  EXPECT_EQ(Counter(), "Отправлено сообщений 0, всего 0"_cp);
  EXPECT_EQ(frm->MemoText(), "Hello");
  EXPECT_EQ(TodaysStats(), "") << "a cancelled send is not counted";
}

TEST_F(SendJourney, AFailingSiteOpensTheErrorReportAndTheErrorGoesToHistoryWhenAsked) {
  Options->WriteBool("Message\\ErrorMsgToHistory", true);
  site.CaptchaAsHtml = true;
  std::string report;
  bool themeLocked = false;
  std::string operation;
  UrlRecorder browser;
  SendWindowDriver driver({[&](TSendDispFrm& w) {
    if (!Shows(w, "btFeedback")) return false;
    operation = CpStr(Control<QLabel>(w, "lbOperation")->text());
    In<TFeedbackFrm>([&](TFeedbackFrm& feedback) {
      report = CpStr(Control<QPlainTextEdit>(feedback, "mMsg")->toPlainText());
      themeLocked = !Control<QWidget>(feedback, "cbTheme")->isEnabled();
      Click(feedback, "btCancel");
    });
    Click(w, "btFeedback");  // returns when the report window has closed
    EXPECT_TRUE(w.isVisible());
    QTest::mouseClick(Control<QLabel>(w, "lbHelpLink"), Qt::LeftButton);
    Click(w, "btClose");
    return true;
  }});
  ClickSend();
  EXPECT_TRUE(driver.Finished());
  EXPECT_EQ(operation.rfind("Ошибка"_cp, 0), 0u) << cp1251::ToUtf8(operation);
  EXPECT_TRUE(themeLocked);
  ASSERT_EQ(browser.urls.size(), 1u);
  EXPECT_EQ(browser.urls[0], HelpContextURL(Options->ReadString("General\\HelpURL"), 7001));
  EXPECT_NE(report.find("Имя оператора: Фейковый оператор (FakeOperator v.3)"_cp), std::string::npos)
      << cp1251::ToUtf8(report);
  EXPECT_NE(report.find("Первые цифры номера отправки: 7916123"_cp), std::string::npos);
  THistoryItemList rows;
  ASSERT_EQ(History(rows), 1);
  EXPECT_EQ(rows[0]->DeliveryStatus, dsNotDelivered);
  EXPECT_EQ(frm->SentCount(), 1);
  EXPECT_EQ(TodaysStats(), "0,1");  // none went out, one failed
}

TEST_F(SendJourney, ACancelDuringTheDeliveryCheckIsBookedAsSentAndCancelled) {
  Options->WriteBool("Message\\ClearOnlyText", true);
  site.QueuedAnswers = 1000;
  const QString recipient = frm->cbTo->currentText();
  ASSERT_FALSE(recipient.isEmpty());
  SendWindowDriver driver({SendStage::Answer(FakeSite::kCode), [&](TSendDispFrm& w) {
                             if (site.Lines().back().rfind("GET /status", 0) != 0) return false;
                             QTest::mouseClick(Control<QPushButton>(w, "btCancel"), Qt::LeftButton);
                             return true;
                           }});
  ClickSend();
  EXPECT_TRUE(driver.Finished());
  THistoryItemList rows;
  ASSERT_EQ(History(rows), 1);
  EXPECT_EQ(rows[0]->DeliveryStatus, dsCancelled);
  EXPECT_EQ(frm->SentCount(), 1);
  EXPECT_EQ(Counter(), "Отправлено сообщений 1, всего 1"_cp);
  // Only the text is cleared: the recipient stays for the next message.
  EXPECT_EQ(frm->MemoText(), "");
  EXPECT_EQ(frm->cbTo->currentText(), recipient);
  EXPECT_EQ(TodaysStats(), "") << "a cancelled send is not counted";
}

}  // namespace

namespace {

// An MMS gate on the same site beside the SMS one.
class MmsSendJourney : public MainWindowSendTest {
 protected:
  void SetUp() override {
    MainWindowSendTest::SetUp();
    FakeGateSpec mms = FakeGate(site, "MMS");
    mms.name = "FakeMMS";
    WithDatabase([&](TSQLiteDatabase&) { ASSERT_TRUE(mms.Import()); });
  }
};

TEST_F(MmsSendJourney, AnMmsWithASubjectKeepsTheSubjectAsTypedInTheHistory) {
  auto frm = Start();
  frm->show();
  frm->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frm.get()));
  QTest::keyClick(frm.get(), Qt::Key_N, Qt::ControlModifier);
  Type("79161234567");
  frm->Action("aMMS")->trigger();
  ASSERT_NE(frm->GetSelectedGate(), nullptr);
  EXPECT_EQ(frm->GetSelectedGate()->Name, "FakeMMS");
  frm->cbSubject->setFocus();
  Type(QStringLiteral("Отпуск"));
  frm->mMsg->setFocus();
  Type("Photo");
  ASSERT_TRUE(frm->btSend->isEnabled()) << CpStr(frm->StatusPanel0->text());
  SendWindowDriver driver({SendStage::Answer(FakeSite::kCode), SendStage::Press("btClose")});
  QTest::mouseClick(frm->btSend, Qt::LeftButton);
  EXPECT_TRUE(driver.Finished());
  const std::vector<std::string> lines = site.Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "POST /upload"), 1);
  THistoryItemList rows;
  ASSERT_EQ(THistory::Load(rows, ""), 1);
  EXPECT_EQ(rows[0]->GateName, "FakeMMS");
  EXPECT_EQ(rows[0]->Subject, "Отпуск"_cp);
  EXPECT_EQ(rows[0]->Message, "Photo");
  EXPECT_EQ(rows[0]->DeliveryStatus, dsDelivered);
  EXPECT_EQ(CpStr(frm->StatusPanel1->text()), "Отправлено сообщений 1, всего 1"_cp);
  frm->FormDestroy();
}

}  // namespace
