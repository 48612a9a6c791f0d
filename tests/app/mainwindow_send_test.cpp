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
#include <functional>

#include "app/sendprofile.h"
#include "cp1251.h"
#include "gates/sendwindowdriver.h"
#include "history.h"
#include "lastitems.h"
#include "senddispfrm.h"
#include "uitext.h"

namespace {

using MainWindowSend = MainWindowSendTest;

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
      SendStage::Answer(FakeSite::kCode),
      [](TSendDispFrm& w) {
        QPushButton* close = Control<QPushButton>(w, "btClose");
        if (!close->isVisible()) return false;
        EXPECT_EQ(Control<QLabel>(w, "lbOperation")->text(), QStr("Сообщение отправлено и доставлено"_cp));
        QTest::mouseClick(close, Qt::LeftButton);
        return true;
      },
  });
  QTest::keyClick(frm->mMsg, Qt::Key_Return, Qt::ControlModifier);  // returns when the send window has closed
  EXPECT_TRUE(driver.Finished());

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
    if (!Control<QGroupBox>(w, "gbCode")->isVisible()) return false;
    QTest::mouseClick(Control<QPushButton>(w, "btCancel"), Qt::LeftButton);
    return true;
  }});
  frm->Action("aSendSMS")->trigger();
  EXPECT_TRUE(driver.Finished());
  THistoryItemList history;
  EXPECT_EQ(THistory::Load(history, ""), 0);
  EXPECT_EQ(frm->SentCount(), 0);
  EXPECT_EQ(frm->MemoText(), "Hello") << "nothing cleared";
}

}  // namespace
