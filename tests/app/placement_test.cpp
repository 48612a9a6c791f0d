// Window placement: saved frames brought back onto the screens there are,
// and pane and column layouts kept across runs, whatever the file holds.
#include "placement.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QLabel>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QWidget>
#include <gtest/gtest.h>

#include "inistorage.h"
#include "support/tempdir.h"

namespace {

const QRect kLeft(0, 0, 1920, 1050), kRight(1920, 0, 1280, 1000);

TEST(FitOntoScreens, AFrameOnAScreenStaysAsItIs) {
  EXPECT_EQ(FitOntoScreens(QRect(100, 100, 600, 500), {kLeft, kRight}), QRect(100, 100, 600, 500));
  EXPECT_EQ(FitOntoScreens(QRect(2000, 50, 600, 500), {kLeft, kRight}), QRect(2000, 50, 600, 500));
}

TEST(FitOntoScreens, AFrameOffEveryScreenComesOntoThePrimary) {
  // The second monitor is gone.
  EXPECT_EQ(FitOntoScreens(QRect(2500, 300, 600, 500), {kLeft}), QRect(1320, 300, 600, 500));
  EXPECT_EQ(FitOntoScreens(QRect(-5000, -5000, 600, 500), {kLeft, kRight}), QRect(0, 0, 600, 500));
}

TEST(FitOntoScreens, APartlyVisibleFrameMovesOntoTheScreenItOverlapsMost) {
  EXPECT_EQ(FitOntoScreens(QRect(1800, 900, 600, 500), {kLeft, kRight}), QRect(1920, 500, 600, 500));
  EXPECT_EQ(FitOntoScreens(QRect(-100, -20, 600, 500), {kLeft, kRight}), QRect(0, 0, 600, 500));
}

TEST(FitOntoScreens, AFrameLargerThanTheScreenShrinks) {
  EXPECT_EQ(FitOntoScreens(QRect(10, 10, 5000, 4000), {kLeft, kRight}), QRect(0, 0, 1920, 1050));
}

TEST(ParseIntList, OnlyExactlyTheCountOfNumbersIsTaken) {
  EXPECT_EQ(ParseIntList("3,1,2", 3), (std::vector<int>{3, 1, 2}));
  EXPECT_EQ(ParseIntList("-5", 1), (std::vector<int>{-5}));
  for (const char* bad : {"", "3,1", "3,1,2,4", "3,,2", "3,1,2,", "a,b,c", "1,2,99999999999", ",1,2"})
    EXPECT_EQ(ParseIntList(bad, 3), std::nullopt) << bad;
}

class Placement : public ::testing::Test {
 protected:
  TempDir dir;
  std::unique_ptr<TIniStorage> storage = std::make_unique<TIniStorage>(dir.File("Placemnt.ini"));

  void Reopen() {
    storage->Flush();
    storage = std::make_unique<TIniStorage>(dir.File("Placemnt.ini"));
  }
};

TEST_F(Placement, AWindowComesBackWhereItWasLeft) {
  QWidget window;
  window.setObjectName("HistoryFrm");
  window.move(40, 30);
  window.resize(500, 400);
  TFormPlacement(storage.get(), "HistoryFrm").Save(window);
  Reopen();
  QWidget again;
  again.resize(100, 100);
  TFormPlacement(storage.get(), "HistoryFrm").Restore(again);
  EXPECT_EQ(again.pos(), QPoint(40, 30));
  EXPECT_EQ(again.size(), QSize(500, 400));
  QWidget other;
  other.resize(123, 45);
  TFormPlacement(storage.get(), "OtherFrm").Restore(other);  // never saved: left alone
  EXPECT_EQ(other.size(), QSize(123, 45));
  TFormPlacement(nullptr, "HistoryFrm").Restore(other);  // no storage: nothing
  EXPECT_EQ(other.size(), QSize(123, 45));
  // Left maximised, it comes back to its normal place, not a frame lower.
  window.showMaximized();
  TFormPlacement(storage.get(), "HistoryFrm").Save(window);
  TFormPlacement(storage.get(), "HistoryFrm").Restore(other);
  other.showNormal();
  EXPECT_EQ(other.geometry(), window.normalGeometry());
}

TEST_F(Placement, ADamagedEntryLeavesTheWindowAsItIs) {
  for (const char* width : {"", "abc", "-5", "0", "2147483647", "99999999999"}) {
    storage->WriteString("F\\Left", "10");
    storage->WriteString("F\\Top", "10");
    storage->WriteString("F\\Width", width);
    storage->WriteString("F\\Height", "300");
    QWidget w;
    w.resize(200, 100);
    TFormPlacement(storage.get(), "F").Restore(w);
    EXPECT_EQ(w.size(), QSize(200, 100)) << width;
  }
}

TEST_F(Placement, AFrameFarOffOrHugeLandsOnTheScreenAtAUsableSize) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  for (const char* left : {"2147483000", "-2147483000"}) {
    storage->WriteString("F\\Left", left);
    storage->WriteString("F\\Top", "2147483000");
    storage->WriteString("F\\Width", "99999");
    storage->WriteString("F\\Height", "300");
    QWidget w;
    TFormPlacement(storage.get(), "F").Restore(w);
    EXPECT_EQ(QRect(w.pos(), w.size()), QRect(screen.left(), screen.bottom() - 299, screen.width(), 300)) << left;
  }
}

TEST_F(Placement, PanesAndColumnsComeBackInTheirOrderAndWidths) {
  QStandardItemModel model(2, 4);
  QTableView view;
  view.setModel(&model);
  QHeaderView* header = view.horizontalHeader();
  header->setSectionsMovable(true);
  header->moveSection(3, 0);  // column 3 shown first
  header->resizeSection(0, 111);
  header->resizeSection(2, 77);
  QSplitter splitter;
  splitter.addWidget(new QLabel("a"));
  splitter.addWidget(new QLabel("b"));
  splitter.resize(400, 100);
  splitter.setSizes({150, 250});
  QList<int> sizes = splitter.sizes();
  TFormPlacement saved(storage.get(), "PhoneBookFrm");
  saved.SaveHeader(*header, "lvContacts");
  saved.SaveSplitter(splitter, "Splitter");
  Reopen();

  QStandardItemModel model2(2, 4);
  QTableView view2;
  view2.setModel(&model2);
  QSplitter splitter2;
  splitter2.addWidget(new QLabel("a"));
  splitter2.addWidget(new QLabel("b"));
  splitter2.resize(400, 100);
  TFormPlacement restored(storage.get(), "PhoneBookFrm");
  restored.RestoreHeader(*view2.horizontalHeader(), "lvContacts");
  restored.RestoreSplitter(splitter2, "Splitter");
  QHeaderView* h2 = view2.horizontalHeader();
  for (int logical = 0; logical < 4; ++logical) {
    EXPECT_EQ(h2->visualIndex(logical), header->visualIndex(logical)) << logical;
    EXPECT_EQ(h2->sectionSize(logical), header->sectionSize(logical)) << logical;
  }
  EXPECT_EQ(splitter2.sizes(), sizes);
}

TEST_F(Placement, AColumnOrderThatIsNoPermutationIsNotUsed) {
  storage->WriteString("F\\list.Order", "0,0,1");
  storage->WriteString("F\\list.Widths", "10,-3,20");
  QStandardItemModel model(1, 3);
  QTableView view;
  view.setModel(&model);
  QHeaderView* h = view.horizontalHeader();
  int width = h->sectionSize(1);
  TFormPlacement(storage.get(), "F").RestoreHeader(*h, "list");
  for (int logical = 0; logical < 3; ++logical) EXPECT_EQ(h->visualIndex(logical), logical);
  EXPECT_EQ(h->sectionSize(1), width);
}

}  // namespace
