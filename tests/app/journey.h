// A person at the screen: keys sent to whatever widget has the focus, and
// modal windows answered as they come up. QTest's own typing knows only
// Latin-1 characters; other letters go as key events that carry their text,
// as a keyboard with a Russian layout sends them.
#pragma once

#include <QApplication>
#include <QString>
#include <QTest>
#include <functional>

#include "datawindows.h"

// Keys that write `text` into `widget`.
inline void TypeInto(QWidget* widget, const QString& text) {
  for (QChar ch : text) {
    if (ch.unicode() < 0x80)
      QTest::keyClick(widget, ch.toLatin1());
    else
      QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
  }
}

// Keys that write `text` wherever the focus is.
inline void Type(const QString& text) {
  QWidget* target = QApplication::focusWidget();
  ASSERT_NE(target, nullptr) << "typing with no focused widget";
  TypeInto(target, text);
}

inline void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QWidget* target = QApplication::focusWidget();
  ASSERT_NE(target, nullptr) << "a key with no focused widget";
  QTest::keyClick(target, key, modifiers);
}

// Makes `window` the active one and keeps it so until the window system's
// queue has settled: the offscreen platform activates windows through queued
// events, and leaves no window active once a modal one has closed, where a
// desktop would activate the window below.
inline bool Reactivate(QWidget& window) {
  for (int round = 0; round < 5; ++round) {
    if (!window.isActiveWindow()) window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window)) return false;
    QTest::qWait(20);
    if (window.isActiveWindow()) return true;
  }
  return false;
}

// Runs `act` in the window of class T that the next modal opening shows,
// once it is active; the test fails when another window or none opens, and
// when `act` leaves it open (it is then cancelled, so that the test goes on).
template <class T>
void In(std::function<void(T&)> act) {
  WhenModal([act](QWidget* top) {
    auto* window = qobject_cast<T*>(top);
    ASSERT_NE(window, nullptr) << top->metaObject()->className();
    EXPECT_TRUE(Reactivate(*window));
    act(*window);
    if (window->isVisible()) {
      ADD_FAILURE() << T::staticMetaObject.className() << " stayed open";
      window->reject();
    }
  });
}
