// A profile for one window at a time, set up as the main window sets it up:
// both ini files under the global options, the placement storage, and both
// databases open as the global connection. And a way to act on the modal
// window or message box that the code under test is about to open.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "inistorage.h"
#include "options.h"
#include "placement.h"
#include "sqlmgr.h"
#include "support/tempdir.h"

class WindowProfile : public ::testing::Test {
 protected:
  TempDir profile;
  std::string savedProfile = ProfileDir;
  std::unique_ptr<TIniStorage> placement, storage;
  std::unique_ptr<TOptions> options;

  void SetUp() override {
    ProfileDir = profile.Path().string() + "/";
    OpenStorages();
    OpenDatabases(ProfileDir + "Parlomix.db3", ProfileDir + "Gates.db3");
  }
  void TearDown() override {
    if (Database) CloseDatabases();
    CloseStorages();
    ProfileDir = savedProfile;
  }
  void OpenStorages() {
    storage = std::make_unique<TIniStorage>(ProfileDir + "Parlomix.ini");
    storage->SetOwnerOnly(true);
    placement = std::make_unique<TIniStorage>(ProfileDir + "Placemnt.ini");
    placement->AddSubStorage("Configuration", storage.get());
    options = std::make_unique<TOptions>(placement.get());
    Options = options.get();
    PlacementStorage = placement.get();
  }
  void CloseStorages() {
    Options = nullptr;
    PlacementStorage = nullptr;
    options.reset();
    placement.reset();
    storage.reset();
  }
  TSQLiteDatabase& db() { return *Database; }
};

// Runs `act` on the next modal window that is not `current` (a message box,
// a dialog) once it is open, from inside that window's event loop. The
// watcher goes with `owner`.
inline void OnNextModal(QObject* owner, std::function<void(QWidget*)> act, QWidget* current = nullptr) {
  auto* timer = new QTimer(owner);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, act = std::move(act), current] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == current || !modal->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    act(modal);
  });
  timer->start(10);
}
