// The send window driven offscreen as a person would: the captcha with its
// zoom keys, the code typed and Enter, the success view with its auto-close
// box; Esc and the window manager's close; the error view's help link and
// feedback button.
#include "senddispfrm.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

#include "gatefactory.h"
#include "gates/childprocess.h"
#include "gates/sendsupport.h"
#include "gates/sendwindowdriver.h"
#include "options.h"

namespace {

std::string Text(const QLabel* label) { return label->text().toStdString(); }

class SendWindow : public SendTest {
 protected:
  static bool CaptchaShown(TSendDispFrm& w) { return Control<QGroupBox>(w, "gbCode")->isVisible(); }
  static void Key(TSendDispFrm& w, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(Control<QLineEdit>(w, "edCode"), static_cast<Qt::Key>(key), modifiers);
  }
};

TEST_F(SendWindow, AWholeSendWithTheCaptchaZoomedTheCodeTypedAndEnter) {
  site.CaptchaDelayMs = 300;  // the window is seen before the code box comes
  Import();
  auto sms = MakeSms();
  const Qt::KeyboardModifiers ctrlPad = Qt::ControlModifier | Qt::KeypadModifier;
  int heightBefore = 0, centreBefore = 0;
  SendWindowDriver driver({
      [&](TSendDispFrm& w) {
        EXPECT_FALSE(CaptchaShown(w));
        heightBefore = w.height();
        centreBefore = w.y() + w.height() / 2;
        return true;
      },
      [&](TSendDispFrm& w) {
        if (!CaptchaShown(w)) return false;
        EXPECT_EQ(w.windowTitle().toStdString(), "Отправка сообщения");
        EXPECT_TRUE(w.windowFlags() & Qt::WindowTitleHint);
        EXPECT_FALSE(w.windowFlags() &
                     (Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint | Qt::WindowSystemMenuHint));
        EXPECT_EQ(Text(Control<QLabel>(w, "lbOperation")), "Ожидание ввода кода");
        EXPECT_EQ(Control<QProgressBar>(w, "pbSending")->value(), 4);
        EXPECT_EQ(Text(Control<QLabel>(w, "lbCaptchaDesc")), "Введите код, указанный на картинке");
        EXPECT_EQ(Control<QLabel>(w, "imgCaptcha")->pixmap().size(), QSize(120, 40));
        EXPECT_EQ(Text(Control<QLabel>(w, "lbScale")), "100%");
        EXPECT_FALSE(Control<QPushButton>(w, "btSend")->isEnabled());
        // The window grew by the code box and stayed centred where it was.
        EXPECT_GT(w.height(), heightBefore);
        EXPECT_LE(std::abs(w.y() + w.height() / 2 - centreBefore), 1);
        Key(w, Qt::Key_Plus, ctrlPad);
        EXPECT_EQ(Text(Control<QLabel>(w, "lbScale")), "150%");
        Key(w, Qt::Key_Plus, ctrlPad);
        EXPECT_EQ(Control<QLabel>(w, "imgCaptcha")->pixmap().size(), QSize(240, 80));
        Key(w, Qt::Key_Minus, ctrlPad);
        EXPECT_EQ(Text(Control<QLabel>(w, "lbScale")), "150%");
        Key(w, Qt::Key_Asterisk, ctrlPad);
        EXPECT_EQ(Text(Control<QLabel>(w, "lbScale")), "100%");
        for (int i = 0; i < 12; ++i) Key(w, Qt::Key_Plus, ctrlPad);
        EXPECT_EQ(Text(Control<QLabel>(w, "lbScale")), "333%");  // 16 times does not fit: fitted
        Key(w, Qt::Key_Minus, ctrlPad);
        EXPECT_EQ(Text(Control<QLabel>(w, "lbScale")), "300%");
        // Enter before a code is typed does nothing.
        Key(w, Qt::Key_Return);
        EXPECT_TRUE(CaptchaShown(w));
        QTest::keyClicks(Control<QLineEdit>(w, "edCode"), FakeSite::kCode);
        EXPECT_TRUE(Control<QPushButton>(w, "btSend")->isEnabled());
        Key(w, Qt::Key_Return);
        EXPECT_FALSE(CaptchaShown(w));
        EXPECT_TRUE(Control<QLineEdit>(w, "edCode")->text().isEmpty());
        return true;
      },
      [&](TSendDispFrm& w) {
        if (!Control<QPushButton>(w, "btClose")->isVisible()) return false;
        EXPECT_EQ(Text(Control<QLabel>(w, "lbOperation")), "Сообщение отправлено и доставлено");
        EXPECT_EQ(Control<QProgressBar>(w, "pbSending")->value(), 10);
        EXPECT_FALSE(Control<QPushButton>(w, "btCancel")->isVisible());
        EXPECT_FALSE(Control<QPushButton>(w, "btRetry")->isVisible());
        EXPECT_FALSE(Control<QLabel>(w, "lbHelpLink")->isVisible());
        QCheckBox* autoClose = Control<QCheckBox>(w, "chbAutoClose");
        EXPECT_TRUE(autoClose->isVisible());
        autoClose->setChecked(true);
        QTest::mouseClick(Control<QPushButton>(w, "btClose"), Qt::LeftButton);
        return true;
      },
  });
  SendOutcome out = RunWindow(*sms);
  EXPECT_TRUE(driver.Finished()) << "stage " << driver.Reached();
  EXPECT_TRUE(out.result);
  EXPECT_EQ(out.afterSendCalls, 1);
  EXPECT_EQ(out.status, ssDelivered);
  EXPECT_TRUE(Options->ReadBool("Send\\AutoCloseDispSuccess"));
  // The zoom the code was sent at is the gate's from now on.
  EXPECT_EQ(VarToStr(TGateFactory::CreateGate(gate.name)->Info.GetItemNamed("CaptchaScale")), "300");
}

// A scale below 100 is what a wide captcha fitted into the frame leaves
// behind; the next captcha opens at it.
TEST_F(SendWindow, AStoredScaleOpensTheCaptchaAtItAndEscCancelsTheWait) {
  Import();
  struct Case {
    int64_t scale;
    QSize shown;
    const char* text;
  };
  for (const Case& c : {Case{250, QSize(300, 100), "250%"}, Case{50, QSize(60, 20), "50%"}}) {
    SCOPED_TRACE(c.text);
    TGateFactory::CreateGate(gate.name)->SetStoredParam("CaptchaScale", Variant::Int64(c.scale));
    auto sms = MakeSms();
    const size_t before = site.Lines().size();
    SendWindowDriver driver({[&](TSendDispFrm& w) {
      if (!CaptchaShown(w)) return false;
      EXPECT_EQ(Control<QLabel>(w, "imgCaptcha")->pixmap().size(), c.shown);
      EXPECT_EQ(Text(Control<QLabel>(w, "lbScale")), c.text);
      Key(w, Qt::Key_Escape);
      return true;
    }});
    SendOutcome out = RunWindow(*sms);
    EXPECT_TRUE(driver.Finished());
    EXPECT_FALSE(out.result);
    EXPECT_EQ(out.status, ssCancelled);
    EXPECT_EQ(site.Lines().size(), before + 2);
  }
}

TEST_F(SendWindow, TheErrorViewOffersHelpFeedbackAndRetryAndTheCloseBoxActsAsClose) {
  gate.Set("PageURL", "http://127.0.0.1:" + std::to_string(FreePort()) + "/form");
  Import();
  auto sms = MakeSms();
  std::vector<int> helpContexts;
  std::vector<std::string> feedback;
  TSendDisp::SetHelpHook([&](int context) { helpContexts.push_back(context); });
  TSendDisp::SetFeedbackHook([&](const std::string& gateText, const std::string& phone, const std::string& error,
                                 TSendLogger* log) {
    feedback = {Utf(gateText), phone, Utf(error), log ? "log" : "no log"};
  });
  SendWindowDriver driver({[&](TSendDispFrm& w) {
    if (!Control<QPushButton>(w, "btRetry")->isVisible()) return false;
    QLabel* operation = Control<QLabel>(w, "lbOperation");
    EXPECT_EQ(Text(operation).rfind("Ошибка: 10061: ", 0), 0u) << Text(operation);
    EXPECT_EQ(operation->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_TRUE(Control<QPushButton>(w, "btRetry")->hasFocus() || !w.isActiveWindow());
    EXPECT_FALSE(Control<QPushButton>(w, "btCancel")->isVisible());
    QLabel* help = Control<QLabel>(w, "lbHelpLink");
    EXPECT_TRUE(help->isVisible());
    QTest::mouseClick(help, Qt::LeftButton);
    QTest::mouseClick(Control<QPushButton>(w, "btFeedback"), Qt::LeftButton);
    w.close();  // the window manager's close: as the Close button here
    return true;
  }});
  SendOutcome out = RunWindow(*sms);
  TSendDisp::SetHelpHook(nullptr);
  TSendDisp::SetFeedbackHook(nullptr);
  EXPECT_TRUE(driver.Finished());
  EXPECT_TRUE(out.result);
  EXPECT_EQ(out.status, ssError);
  EXPECT_EQ(helpContexts, std::vector<int>{7001});
  ASSERT_EQ(feedback.size(), 4u);
  EXPECT_EQ(feedback[0], "Фейковый оператор (FakeOperator v.3)");
  EXPECT_EQ(feedback[1], "79161234567");
  EXPECT_EQ(feedback[2], out.errorText);
  EXPECT_EQ(feedback[3], "no log");
}

TEST_F(SendWindow, TheWindowCannotBeClosedWhileAStepRuns) {
  gate.Set("SendInit", "eval(begin while True do Stored['n'] := 1; end;)");
  Import();
  auto sms = MakeSms();
  bool stillOpen = false;
  SendWindowDriver driver({[&](TSendDispFrm& w) {
                         w.close();  // acts as Cancel: the step must end first
                         stillOpen = w.isVisible();
                         EXPECT_FALSE(Control<QPushButton>(w, "btCancel")->isEnabled());
                         return true;
                       },
                       [&](TSendDispFrm& w) {
                         // A second close while the step ends changes nothing.
                         w.close();
                         return true;
                       }});
  SendOutcome out = RunWindow(*sms);
  EXPECT_TRUE(driver.Finished());
  EXPECT_TRUE(stillOpen);
  EXPECT_FALSE(out.result);
  EXPECT_EQ(out.status, ssCancelled);
}

TEST_F(SendWindow, AGateThatCannotBeCreatedIsToldInAMessageBox) {
  auto sms = MakeSms();
  std::string boxText;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      boxText = box->text().toStdString();
      box->done(QMessageBox::Ok);
    }
  });
  timer.start(20);
  SendOutcome out = RunWindow(*sms);
  EXPECT_FALSE(out.result);
  EXPECT_EQ(out.status, ssCancelled);
  EXPECT_EQ(boxText, out.errorText);
  EXPECT_NE(boxText.find("\"FakeOperator\""), std::string::npos) << boxText;
}

}  // namespace
