// What the send window shows after each report, and the captcha zoom, without
// a display.
#include "sendformstate.h"

#include <gtest/gtest.h>

#include "cp1251.h"
#include "gates/gate_database.h"

namespace {

std::string Utf(const std::string& cp) { return cp1251::ToUtf8(cp); }

class SendFormState : public GateDatabase {
 protected:
  void SetUp() override {
    GateDatabase::SetUp();
    Gate("G");
    sender = TGate::Create<TGateSender>("G");
  }
  std::unique_ptr<TGateSender> sender;
  TSendFormState state;
};

TEST_F(SendFormState, StartsWaitingWithOnlyCancel) {
  EXPECT_EQ(Utf(state.Operation), "Ожидание");
  EXPECT_EQ(state.Bar, 0);
  EXPECT_TRUE(state.Cancel && state.CancelEnabled);
  EXPECT_FALSE(state.Close || state.Retry || state.Feedback || state.HelpLink || state.AutoClose || state.CodeBox);
}

TEST_F(SendFormState, TheBarCountsTwoPerStep) {
  EXPECT_EQ(ProgressPosition(0, 0), 1);
  EXPECT_EQ(ProgressPosition(0, 1), 2);
  EXPECT_EQ(ProgressPosition(2, 2), 6);
  EXPECT_EQ(ProgressPosition(4, 1), 10);
}

TEST_F(SendFormState, AFailureShowsTheErrorInRedWithRetryFocused) {
  sender->SetError(geDeliveryTimeout);
  state.Progress(*sender, 3, 2);
  EXPECT_EQ(Utf(state.Operation), "Ошибка: Превышен интервал ожидания подтверждения доставки");
  EXPECT_EQ(state.Bar, 8);
  EXPECT_TRUE(state.OperationIsError && state.HelpLink && state.Close && state.Retry && state.Feedback);
  EXPECT_FALSE(state.Cancel);
  EXPECT_EQ(state.Focus, TSendFocus::Retry);
  // A failure without a text of its own.
  sender->SetError(geNone);
  state.Progress(*sender, 0, 2);
  EXPECT_EQ(Utf(state.Operation), "Ошибка: Неизвестная ошибка");
  // A retry starts from the plain view again.
  state.Reset();
  state.Progress(*sender, 0, 0);
  EXPECT_EQ(Utf(state.Operation), "Инициализация");
  EXPECT_FALSE(state.OperationIsError || state.Retry || state.HelpLink);
  EXPECT_TRUE(state.Cancel);
}

TEST_F(SendFormState, TheEndShowsCloseAndTheAutoCloseBox) {
  sender->SendStatus = ssSent;
  state.Progress(*sender, 4, 0);
  EXPECT_TRUE(state.Cancel);
  state.Progress(*sender, 4, 1);
  EXPECT_EQ(Utf(state.Operation), "Сообщение отправлено. Проверка доставки не поддерживается или отключена.");
  EXPECT_FALSE(state.Cancel);
  EXPECT_TRUE(state.Close && state.AutoClose);
  EXPECT_EQ(state.Focus, TSendFocus::Close);
  EXPECT_FALSE(state.Retry);
}

TEST_F(SendFormState, TheCaptchaBoxTakesTheGatesDescription) {
  state.CaptchaShown(*sender);
  EXPECT_TRUE(state.CodeBox);
  EXPECT_EQ(Utf(state.CaptchaDescription), "Введите код, указанный на картинке");
  EXPECT_EQ(state.Focus, TSendFocus::Code);
  sender->CaptchaDescription = cp1251::FromUtf8("Только цифры");
  state.CaptchaShown(*sender);
  EXPECT_EQ(Utf(state.CaptchaDescription), "Только цифры");
  state.CaptchaMissing();
  EXPECT_EQ(Utf(state.Operation), "Ошибка загрузки изображения");
  EXPECT_TRUE(state.OperationIsError && state.Retry && !state.Cancel);
}

TEST(CaptchaZoom, TheStoredScaleOpensTheCaptchaUpToTheTopLevel) {
  EXPECT_DOUBLE_EQ(StoredZoom(Variant::String("250")), 2.5);
  EXPECT_DOUBLE_EQ(StoredZoom(Variant::Int64(150)), 1.5);
  for (const Variant& broken : {Variant(), Variant::String("0"), Variant::String("-40"), Variant::String("big"),
                                Variant::String("1.5"), Variant::String("")})
    EXPECT_DOUBLE_EQ(StoredZoom(broken), 1) << VarToStr(broken);
  // What the window stored after fitting a wide captcha opens the next one.
  EXPECT_DOUBLE_EQ(StoredZoom(Variant::String("50")), 0.5);
  EXPECT_DOUBLE_EQ(StoredZoom(Variant::String("99999")), 16);
}

TEST(CaptchaZoom, LevelsStepUpAndDownAndStopAtTheEnds) {
  EXPECT_DOUBLE_EQ(ZoomIn(1), 1.5);
  EXPECT_DOUBLE_EQ(ZoomIn(8), 12);
  EXPECT_DOUBLE_EQ(ZoomIn(16), 16);
  EXPECT_DOUBLE_EQ(ZoomOut(1), 1);
  EXPECT_DOUBLE_EQ(ZoomOut(1.5), 1);
  // A fitted zoom between levels.
  EXPECT_DOUBLE_EQ(ZoomIn(400.0 / 140), 3);
  EXPECT_DOUBLE_EQ(ZoomOut(400.0 / 140), 2);
  EXPECT_DOUBLE_EQ(ZoomIn(1.5 - 1e-12), 2);
}

TEST(CaptchaZoom, APictureIsFittedIntoTheFrame) {
  TCaptchaFit fit = FitCaptcha(120, 40, 2.5, 400, 140);
  EXPECT_EQ(fit.Width, 300);
  EXPECT_EQ(fit.Height, 100);
  EXPECT_DOUBLE_EQ(fit.Zoom, 2.5);
  fit = FitCaptcha(120, 40, 16, 400, 140);
  EXPECT_EQ(fit.Width, 400);
  EXPECT_EQ(fit.Height, 133);
  EXPECT_EQ(ScaleText(fit.Zoom), "333%");
  // Too tall as well: the height decides, and the width follows it.
  fit = FitCaptcha(200, 100, 2.5, 400, 140);
  EXPECT_EQ(fit.Height, 140);
  EXPECT_DOUBLE_EQ(fit.Zoom, 1.4);
  EXPECT_EQ(fit.Width, 280);
  fit = FitCaptcha(0, 0, 2, 400, 140);
  EXPECT_EQ(fit.Width, 0);
  EXPECT_DOUBLE_EQ(fit.Zoom, 2);
}

TEST(CaptchaZoom, RoundingTakesHalvesToEven) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-0.5), 0);
  EXPECT_EQ(ScaleText(0.125), "12%");
  EXPECT_EQ(ScaleText(1.5), "150%");
}

}  // namespace
