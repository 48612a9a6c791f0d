// Whole journeys through the send window alone, offscreen, with the mouse at
// the centre of each control and the keys a person presses: a wrong code and
// a retry, the captcha reloaded and zoomed with the buttons, a cancel while a
// step runs and while the code is awaited, the window's close box in each
// view, the automatic close after success.
#include "senddispfrm.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "gatefactory.h"
#include "gates/sendsupport.h"
#include "gates/sendwindowdriver.h"
#include "options.h"

namespace {

std::string Text(const QLabel* label) { return label->text().toStdString(); }
bool CaptchaShown(TSendDispFrm& w) { return Control<QGroupBox>(w, "gbCode")->isVisible(); }
bool Shows(TSendDispFrm& w, const char* button) { return Control<QPushButton>(w, button)->isVisible(); }
void Click(TSendDispFrm& w, const char* name) { QTest::mouseClick(Control<QWidget>(w, name), Qt::LeftButton); }
void TypeCode(TSendDispFrm& w, const char* code) { QTest::keyClicks(Control<QLineEdit>(w, "edCode"), code); }

class SendWindowJourney : public SendTest {
 protected:
  void SetUp() override {
    SendTest::SetUp();
    Options->WriteBool("Send\\AutoCloseDispSuccess", false);
  }
  // The hits the site has seen on `path`.
  size_t Hits(const std::string& path) {
    size_t n = 0;
    for (const std::string& line : site.Lines()) n += line.find(" " + path) != std::string::npos;
    return n;
  }
};

TEST_F(SendWindowJourney, AWrongCodeFailsThenRetryWithEnterOnTheFocusedButtonSendsIt) {
  Import();
  auto sms = MakeSms();
  SendWindowDriver driver({
      [](TSendDispFrm& w) {
        if (!CaptchaShown(w)) return false;
        EXPECT_EQ(QApplication::focusWidget(), Control<QLineEdit>(w, "edCode"));
        TypeCode(w, "0000");
        Click(w, "btSend");
        EXPECT_FALSE(CaptchaShown(w));
        return true;
      },
      [](TSendDispFrm& w) {
        if (!Shows(w, "btRetry")) return false;
        QLabel* operation = Control<QLabel>(w, "lbOperation");
        EXPECT_EQ(Text(operation), "Ошибка: Неверно введен код");
        EXPECT_EQ(operation->palette().color(QPalette::WindowText), QColor(Qt::red));
        EXPECT_EQ(Control<QProgressBar>(w, "pbSending")->value(), 6);
        EXPECT_TRUE(Shows(w, "btClose"));
        EXPECT_TRUE(Shows(w, "btFeedback"));
        EXPECT_FALSE(Shows(w, "btCancel"));
        EXPECT_TRUE(Control<QLabel>(w, "lbHelpLink")->isVisible());
        EXPECT_EQ(QApplication::focusWidget(), Control<QPushButton>(w, "btRetry"));
        // Enter on the focused button presses it, as on any dialog.
        QTest::keyClick(Control<QPushButton>(w, "btRetry"), Qt::Key_Return);
        EXPECT_FALSE(Shows(w, "btRetry"));
        EXPECT_TRUE(Shows(w, "btCancel"));
        EXPECT_FALSE(Control<QLabel>(w, "lbHelpLink")->isVisible());
        return true;
      },
      [](TSendDispFrm& w) {
        if (!CaptchaShown(w)) return false;
        QLabel* operation = Control<QLabel>(w, "lbOperation");
        EXPECT_NE(operation->palette().color(QPalette::WindowText), QColor(Qt::red));
        EXPECT_TRUE(Control<QLineEdit>(w, "edCode")->text().isEmpty());
        return true;
      },
      SendStage::Answer(FakeSite::kCode, true),
      [](TSendDispFrm& w) {
        if (!Shows(w, "btClose")) return false;
        EXPECT_EQ(Text(Control<QLabel>(w, "lbOperation")), "Сообщение отправлено и доставлено");
        EXPECT_EQ(QApplication::focusWidget(), Control<QPushButton>(w, "btClose")) << "for Enter";
        QCheckBox* autoClose = Control<QCheckBox>(w, "chbAutoClose");
        EXPECT_TRUE(autoClose->isVisible());
        QTest::mouseClick(autoClose, Qt::LeftButton);  // at its centre
        EXPECT_TRUE(autoClose->isChecked());
        Click(w, "btClose");
        return true;
      },
  });
  SendOutcome out = RunWindow(*sms);
  EXPECT_TRUE(driver.Finished()) << "stage " << driver.Reached();
  EXPECT_TRUE(out.result);
  EXPECT_EQ(out.afterSendCalls, 1);
  EXPECT_EQ(out.status, ssDelivered);
  EXPECT_EQ(Hits("/send"), 2u);
  EXPECT_EQ(Hits("/captcha.png"), 2u);
  EXPECT_TRUE(Options->ReadBool("Send\\AutoCloseDispSuccess"));
}

TEST_F(SendWindowJourney, TheZoomButtonsAndTheCaptchaReloadAnswerClicksAtTheirCentre) {
  Import();
  auto sms = MakeSms();
  SendWindowDriver driver({
      [](TSendDispFrm& w) {
        if (!CaptchaShown(w)) return false;
        QLabel* scale = Control<QLabel>(w, "lbScale");
        Click(w, "sbZoomIn");
        EXPECT_EQ(Text(scale), "150%");
        Click(w, "sbZoomIn");
        EXPECT_EQ(Text(scale), "200%");
        EXPECT_EQ(Control<QLabel>(w, "imgCaptcha")->pixmap().size(), QSize(240, 80));
        Click(w, "sbZoomOut");
        EXPECT_EQ(Text(scale), "150%");
        Click(w, "sbZoomReset");
        EXPECT_EQ(Text(scale), "100%");
        Click(w, "sbZoomOut");
        EXPECT_EQ(Text(scale), "100%");
        // The focus stays in the code field through the zoom clicks.
        EXPECT_EQ(QApplication::focusWidget(), Control<QLineEdit>(w, "edCode"));
        EXPECT_EQ(Control<QToolButton>(w, "sbZoomIn")->toolTip().toStdString(), "Увеличить (Ctr++)");
        EXPECT_EQ(Control<QToolButton>(w, "sbZoomReset")->toolTip().toStdString(), "Оригинальный размер (Ctrl+*)");
        // The zoom keys reach the window wherever they are pressed.
        QTest::keyClick(&w, Qt::Key_Plus, Qt::ControlModifier);
        EXPECT_EQ(Text(scale), "150%");
        QTest::keyClick(&w, Qt::Key_Asterisk, Qt::ControlModifier | Qt::KeypadModifier);
        EXPECT_EQ(Text(scale), "100%");
        QTest::keyClick(Control<QPushButton>(w, "btReloadCaptcha"), Qt::Key_Plus, Qt::ControlModifier);
        EXPECT_EQ(Text(scale), "150%");
        QTest::keyClick(&w, Qt::Key_Minus, Qt::ControlModifier);
        EXPECT_EQ(Text(scale), "100%");
        // Without Ctrl they are a code's characters.
        QTest::keyClick(Control<QLineEdit>(w, "edCode"), Qt::Key_Plus);
        EXPECT_EQ(Text(scale), "100%");
        EXPECT_EQ(Control<QLineEdit>(w, "edCode")->text().toStdString(), "+");
        Click(w, "sbZoomIn");
        Click(w, "btReloadCaptcha");
        EXPECT_FALSE(CaptchaShown(w));
        return true;
      },
      [](TSendDispFrm& w) {
        if (!CaptchaShown(w)) return false;
        // A new picture opens at the gate's stored zoom: only a sent code stores one.
        EXPECT_EQ(Text(Control<QLabel>(w, "lbScale")), "100%");
        Control<QLineEdit>(w, "edCode")->clear();
        TypeCode(w, FakeSite::kCode);
        QTest::keyClick(Control<QLineEdit>(w, "edCode"), Qt::Key_Enter);  // the keypad's Enter
        return true;
      },
      SendStage::Press("btClose"),
  });
  SendOutcome out = RunWindow(*sms);
  EXPECT_TRUE(driver.Finished()) << "stage " << driver.Reached();
  EXPECT_TRUE(out.result);
  EXPECT_EQ(out.status, ssDelivered);
  EXPECT_EQ(Hits("/form"), 2u);
  EXPECT_EQ(Hits("/captcha.png"), 2u);
  EXPECT_EQ(Hits("/send"), 1u);
  // Nothing was checked: the option stays as it was.
  EXPECT_FALSE(Options->ReadBool("Send\\AutoCloseDispSuccess"));
}

TEST_F(SendWindowJourney, TheCodeBoxComesAndGoesWithoutMovingTheWindowSideways) {
  site.CaptchaDelayMs = 200;
  Import();
  auto sms = MakeSms();
  QRect before;
  SendWindowDriver driver({[&](TSendDispFrm& w) {
                             before = w.geometry();
                             return true;
                           },
                           [&](TSendDispFrm& w) {
                             if (!CaptchaShown(w)) return false;
                             EXPECT_EQ(w.geometry().x(), before.x());
                             EXPECT_EQ(w.width(), before.width());
                             EXPECT_GT(w.height(), before.height());
                             Click(w, "btReloadCaptcha");
                             return true;
                           },
                           [&](TSendDispFrm& w) {
                             // The layout settles from the event loop.
                             if (w.height() != before.height()) return false;
                             EXPECT_EQ(w.geometry(), before);
                             return true;
                           },
                           [&](TSendDispFrm& w) {
                             if (!CaptchaShown(w)) return false;
                             QTest::keyClick(&w, Qt::Key_Escape);
                             return true;
                           }});
  SendOutcome out = RunWindow(*sms);
  EXPECT_TRUE(driver.Finished()) << "stage " << driver.Reached();
  EXPECT_EQ(out.status, ssCancelled);
}

TEST_F(SendWindowJourney, APictureThatDoesNotLoadIsRetriedIntoAWholeSend) {
  site.CaptchaAsHtml = true;
  Import();
  auto sms = MakeSms();
  SendWindowDriver driver({[&](TSendDispFrm& w) {
                             if (!Shows(w, "btRetry")) return false;
                             QLabel* operation = Control<QLabel>(w, "lbOperation");
                             EXPECT_EQ(Text(operation), "Ошибка загрузки изображения");
                             EXPECT_EQ(operation->palette().color(QPalette::WindowText), QColor(Qt::red));
                             EXPECT_FALSE(CaptchaShown(w));
                             EXPECT_FALSE(Shows(w, "btCancel"));
                             EXPECT_TRUE(Shows(w, "btFeedback"));
                             EXPECT_TRUE(Control<QLabel>(w, "lbHelpLink")->isVisible());
                             EXPECT_EQ(QApplication::focusWidget(), Control<QPushButton>(w, "btRetry"));
                             site.CaptchaAsHtml = false;
                             QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
                             return true;
                           },
                           SendStage::Answer(FakeSite::kCode), SendStage::Press("btClose")});
  SendOutcome out = RunWindow(*sms);
  EXPECT_TRUE(driver.Finished()) << "stage " << driver.Reached();
  EXPECT_TRUE(out.result);
  EXPECT_EQ(out.status, ssDelivered);
  EXPECT_EQ(Hits("/captcha.png"), 2u);
}

TEST_F(SendWindowJourney, ACancelDuringAStepClosesWhenTheStepEnds) {
  site.CaptchaDelayMs = 400;
  Import();
  auto sms = MakeSms();
  bool openAfterCancel = false;
  SendWindowDriver driver({[&](TSendDispFrm& w) {
    if (Control<QProgressBar>(w, "pbSending")->value() != 3) return false;  // the captcha step runs
    QPushButton* cancel = Control<QPushButton>(w, "btCancel");
    Click(w, "btCancel");
    EXPECT_FALSE(cancel->isEnabled());
    openAfterCancel = w.isVisible();
    return true;
  }});
  SendOutcome out = RunWindow(*sms);
  EXPECT_TRUE(driver.Finished());
  EXPECT_TRUE(openAfterCancel);
  EXPECT_FALSE(out.result);
  EXPECT_EQ(out.afterSendCalls, 1);
  EXPECT_EQ(out.status, ssCancelled);
  EXPECT_EQ(Hits("/send"), 0u);
}

TEST_F(SendWindowJourney, TheCloseBoxCancelsTheCodeWaitAndClosesTheErrorAndSuccessViews) {
  Import();
  {
    SCOPED_TRACE("waiting for the code");
    auto sms = MakeSms();
    SendWindowDriver driver({[](TSendDispFrm& w) {
      if (!CaptchaShown(w)) return false;
      w.close();
      return true;
    }});
    SendOutcome out = RunWindow(*sms);
    EXPECT_TRUE(driver.Finished());
    EXPECT_FALSE(out.result);
    EXPECT_EQ(out.status, ssCancelled);
  }
  {
    SCOPED_TRACE("the error view");
    auto sms = MakeSms();
    SendWindowDriver driver({SendStage::Answer("1"), [](TSendDispFrm& w) {
                               if (!Shows(w, "btRetry")) return false;
                               w.close();  // as Close, never as Retry
                               return true;
                             }});
    SendOutcome out = RunWindow(*sms);
    EXPECT_TRUE(driver.Finished());
    EXPECT_TRUE(out.result);
    EXPECT_EQ(out.status, ssError);
    EXPECT_EQ(Hits("/send"), 1u);
  }
  {
    SCOPED_TRACE("the success view");
    auto sms = MakeSms();
    SendWindowDriver driver({SendStage::Answer(FakeSite::kCode, true), [](TSendDispFrm& w) {
                               if (!Shows(w, "btClose")) return false;
                               QTest::keyClick(&w, Qt::Key_Escape);
                               return true;
                             }});
    SendOutcome out = RunWindow(*sms);
    EXPECT_TRUE(driver.Finished());
    EXPECT_TRUE(out.result);
    EXPECT_EQ(out.status, ssDelivered);
  }
}

TEST_F(SendWindowJourney, WithAutoCloseOnTheWindowClosesItselfAfterSuccess) {
  Options->WriteBool("Send\\AutoCloseDispSuccess", true);
  Import();
  auto sms = MakeSms();
  SendWindowDriver driver({SendStage::Answer(FakeSite::kCode, true)});
  SendOutcome out = RunWindow(*sms);
  EXPECT_TRUE(driver.Finished());
  EXPECT_TRUE(out.result);
  EXPECT_EQ(out.status, ssDelivered);
  EXPECT_EQ(Hits("/logout"), 1u);
}

TEST_F(SendWindowJourney, ACancelDuringTheDeliveryCheckReportsTheMessageAsSent) {
  site.QueuedAnswers = 1000;
  Import();
  auto sms = MakeSms();
  SendWindowDriver driver({SendStage::Answer(FakeSite::kCode, true), [&](TSendDispFrm& w) {
                             if (Hits("/status") < 2) return false;
                             EXPECT_EQ(Control<QProgressBar>(w, "pbSending")->value(), 7);
                             Click(w, "btCancel");
                             return true;
                           }});
  SendOutcome out = RunWindow(*sms);
  EXPECT_TRUE(driver.Finished());
  EXPECT_FALSE(out.result);
  EXPECT_EQ(out.status, ssCancelledInCheck);
}

}  // namespace
