// Acting on the visible send window from inside its own event loop, one
// stage at a time, as a person at the screen would.
#pragma once

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <vector>

#include "senddispfrm.h"

// Acts on the visible send window in stages, one stage per tick, each stage
// repeated until it returns true; gives up (cancelling the window) after ten
// seconds.
class SendWindowDriver {
 public:
  using Stage = std::function<bool(TSendDispFrm&)>;
  explicit SendWindowDriver(std::vector<Stage> stages) : stages_(std::move(stages)) {
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    timer_.start();
    deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  }
  bool Finished() const { return next_ == stages_.size(); }
  size_t Reached() const { return next_; }

  // The send window on the screen; null when none is.
  static TSendDispFrm* Window() {
    for (QWidget* widget : QApplication::topLevelWidgets())
      if (auto* window = qobject_cast<TSendDispFrm*>(widget); window && window->isVisible()) return window;
    return nullptr;
  }

 private:
  void Tick() {
    TSendDispFrm* window = Window();
    if (!window || Finished()) return;
    if (std::chrono::steady_clock::now() > deadline_) {
      ADD_FAILURE() << "the send window never reached stage " << next_;
      timer_.stop();
      window->done(QDialog::Rejected);
      return;
    }
    if (stages_[next_](*window)) ++next_;
    if (Finished()) timer_.stop();
  }

  std::vector<Stage> stages_;
  size_t next_ = 0;
  QTimer timer_;
  std::chrono::steady_clock::time_point deadline_;
};

// A control of the send window (or of any window) by its name.
template <class T>
T* Control(QWidget& window, const char* name) {
  T* child = window.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(child, nullptr) << name;
  return child;
}

// Stages a person goes through again and again.
namespace SendStage {

// Once the captcha is shown: `code` typed into the code field, then Enter
// there, or a click on "Отправить" when `click`.
inline SendWindowDriver::Stage Answer(const char* code, bool click = false) {
  return [code, click](TSendDispFrm& w) {
    if (!Control<QGroupBox>(w, "gbCode")->isVisible()) return false;
    QLineEdit* field = Control<QLineEdit>(w, "edCode");
    QTest::keyClicks(field, code);
    if (click)
      QTest::mouseClick(Control<QPushButton>(w, "btSend"), Qt::LeftButton);
    else
      QTest::keyClick(field, Qt::Key_Return);
    return true;
  };
}

// Once `button` is shown: a click at its centre.
inline SendWindowDriver::Stage Press(const char* button) {
  return [button](TSendDispFrm& w) {
    QPushButton* control = Control<QPushButton>(w, button);
    if (!control->isVisible()) return false;
    QTest::mouseClick(control, Qt::LeftButton);
    return true;
  };
}

}  // namespace SendStage
