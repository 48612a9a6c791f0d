// Acting on a modal window from inside its own event loop, as a person at
// the screen would.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

// Runs `act` once on the first modal window of class T that is shown within
// `timeoutMs`; nothing when none is.
template <class T>
void OnModal(std::function<void(T&)> act, int timeoutMs = 5000) {
  auto* timer = new QTimer(QCoreApplication::instance());
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QObject::connect(timer, &QTimer::timeout, [timer, clock, act, timeoutMs] {
    auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
    if ((!window || !window->isVisible()) && clock->elapsed() < timeoutMs) return;
    timer->stop();
    timer->deleteLater();
    if (window) act(*window);
  });
  timer->start(10);
}

// Runs `act` once `condition` holds, checked every 10 ms from the event loop
// that runs then; gives up after `timeoutMs`.
inline void WhenTrue(std::function<bool()> condition, std::function<void()> act, int timeoutMs = 5000) {
  auto* timer = new QTimer(QCoreApplication::instance());
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QObject::connect(timer, &QTimer::timeout, [timer, clock, condition, act, timeoutMs] {
    bool holds = condition();
    if (!holds && clock->elapsed() < timeoutMs) return;
    timer->stop();
    timer->deleteLater();
    if (holds) act();
  });
  timer->start(10);
}

// True once `object` is gone; deletions asked for with deleteLater are
// carried out on the way.
template <class T>
bool Gone(const QPointer<T>& object) {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  return object.isNull();
}
