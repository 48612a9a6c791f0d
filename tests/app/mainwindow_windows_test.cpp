// The main window's doors to the options window and the gate manager.
#include <QCheckBox>
#include <QComboBox>
#include <QSystemTrayIcon>
#include <QListView>
#include <QPushButton>
#include <QTabWidget>
#include <sys/stat.h>

#include "app/mainwindow.h"
#include "app/modal.h"
#include "cp1251.h"
#include "gatemngfrm.h"
#include "optionsfrm.h"
#include "placement.h"
#include "uitext.h"

namespace {

using MainWindowDoors = MainWindowTest;

mode_t FileMode(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 0777;
}

TEST_F(MainWindowDoors, OptionsOpenOnTheAskedPageAndOKAppliesThemToAnOwnerOnlyFile) {
  auto frm = Start();
  std::string file = ProfileDir + "Parlomix.ini";
  chmod(file.c_str(), 0644);
  ASSERT_FALSE(frm->Tray()->isVisible());
  for (const char* key : {"Left", "Top", "Width", "Height"})
    PlacementStorage->WriteInteger(std::string("OptionsFrm\\") + key, 1);
  int page = -1;
  auto watch1 = OnModal<TOptionsFrm>([&](TOptionsFrm& options) {
    page = options.pgOptions->currentIndex();
    EXPECT_EQ(options.frameGeometry().center(), frm->frameGeometry().center()) << "not where it was left";
    options.chbAlwaysInTray->setChecked(true);
    options.btCancel->click();
  });
  frm->Action("aOptions")->trigger();
  EXPECT_EQ(page, 0);
  EXPECT_FALSE(frm->Tray()->isVisible()) << "Cancel applies nothing";
  EXPECT_EQ(FileMode(file), 0644u) << "nor writes the file";

  auto watch2 = OnModal<TOptionsFrm>([&](TOptionsFrm& options) {
    page = options.pgOptions->currentIndex();
    options.chbAlwaysInTray->setChecked(true);
    options.btOk->click();
  });
  frm->ShowOptions(TOptionsFrm::pgUpdate);
  EXPECT_EQ(page, 3);
  EXPECT_TRUE(frm->Tray()->isVisible()) << "OK applies the options";
  EXPECT_EQ(FileMode(file), 0600u) << "the saved options file is its owner's only";
  TIniFile written;
  written.LoadFromFile(file);
  std::string value;
  EXPECT_TRUE(written.ReadValue("Interface", "AlwaysInTray", value));
  EXPECT_EQ(value, "TRUE");
}

TEST_F(MainWindowDoors, TheGateManagerOpensOnTheFirstGateOrOnTheComposersGate) {
  WithDatabase([](TSQLiteDatabase& db) {
    AddGate(db, "Alpha", "A gate", "7901");
    AddGate(db, "Beeline", "B gate", "7916");
  });
  auto frm = Start();
  CentreWindow(*frm, nullptr);  // room on the screen for the manager around its centre
  for (const char* key : {"Left", "Top", "Width", "Height"})
    PlacementStorage->WriteInteger(std::string("GateMngFrm\\") + key, 1);
  std::string shown;
  auto record = [&](TGateMngFrm& manager) {
    shown = manager.SelectedGateName();
    EXPECT_EQ(manager.frameGeometry().center(), frm->frameGeometry().center()) << "not where it was left";
    manager.btClose->click();
  };
  auto watch3 = OnModal<TGateMngFrm>(record);
  frm->Action("aShowGatesMng")->trigger();
  EXPECT_EQ(shown, "Alpha");
  frm->cbTo->setEditText("+7 916 123-45-67");
  frm->FillGateList();
  ASSERT_NE(frm->GetSelectedGate(), nullptr);
  auto watch4 = OnModal<TGateMngFrm>(record);
  frm->Action("aShowGateInfo")->trigger();
  EXPECT_EQ(shown, "Beeline");
}

}  // namespace
