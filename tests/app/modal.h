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
// `timeoutMs`; nothing when none is. The watch ends with the handle
// returned, so that it never acts in a later test.
template <class T>
[[nodiscard]] std::unique_ptr<QTimer> OnModal(std::function<void(T&)> act, int timeoutMs = 5000) {
  auto timer = std::make_unique<QTimer>();
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QTimer* raw = timer.get();
  QObject::connect(raw, &QTimer::timeout, [raw, clock, act, timeoutMs] {
    auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
    if ((!window || !window->isVisible()) && clock->elapsed() < timeoutMs) return;
    raw->stop();
    if (window) act(*window);
  });
  raw->start(10);
  return timer;
}

// Runs `act` once `condition` holds, checked every 10 ms from the event loop
// that runs then; gives up after `timeoutMs`. The watch ends with the handle.
[[nodiscard]] inline std::unique_ptr<QTimer> WhenTrue(std::function<bool()> condition, std::function<void()> act,
                                                      int timeoutMs = 5000) {
  auto timer = std::make_unique<QTimer>();
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QTimer* raw = timer.get();
  QObject::connect(raw, &QTimer::timeout, [raw, clock, condition, act, timeoutMs] {
    bool holds = condition();
    if (!holds && clock->elapsed() < timeoutMs) return;
    raw->stop();
    if (holds) act();
  });
  raw->start(10);
  return timer;
}

// True once `object` is gone; deletions asked for with deleteLater are
// carried out on the way.
template <class T>
bool Gone(const QPointer<T>& object) {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  return object.isNull();
}
