// The suggestion field used as a person would: typing with the list open,
// arrows, wheel, Enter, clicks, the drop-down button, focus changes.
#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QListView>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "suggestedit.h"

namespace {

// A window with the field above another one; the field offers `count`
// suggestions made of the typed text and a number.
class SuggestField : public ::testing::Test {
 protected:
  QWidget window;
  TSuggestEdit* edit = new TSuggestEdit;
  QLineEdit* other = new QLineEdit;
  int count = 3;
  int requests = 0;
  bool refill = true;
  QSignalSpy* selected = nullptr;

  void SetUp() override {
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(edit);
    layout->addWidget(other);
    QObject::connect(edit, &TSuggestEdit::SuggestData, &window, [this] {
      ++requests;
      if (!refill) return;
      QStringList rows;
      for (int i = 0; i < count; ++i) rows << edit->currentText() + " " + QString::number(i);
      edit->SuggestItems().SetStrings(rows);
    });
    selected = new QSignalSpy(edit, &TSuggestEdit::Select);
    window.resize(300, 100);
    PlaceAt(100);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    edit->setFocus();
    QCoreApplication::processEvents();
  }
  void TearDown() override { delete selected; }

  void PlaceAt(int y) {
    QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    window.move(area.left() + 50, area.top() + y);
  }
  QListView* List() const { return edit->Popup()->List(); }
  int Rows() const { return (edit->Popup()->height() - 2 * edit->Popup()->lineWidth()) / edit->SuggestItems().RowHeight(); }
  int Highlighted() const {
    QModelIndex current = List()->currentIndex();
    return current.isValid() && List()->selectionModel()->isSelected(current) ? current.row() : -1;
  }
  bool FocusInField() const {
    QWidget* focus = QApplication::focusWidget();
    return focus == edit || focus == edit->lineEdit();
  }
};

TEST_F(SuggestField, TypingOpensTheListAndTheFieldKeepsTheKeyboard) {
  QTest::keyClicks(edit, "ab");
  EXPECT_EQ(edit->currentText(), "ab");
  EXPECT_EQ(requests, 2) << "one request per typed change";
  ASSERT_TRUE(edit->DroppedDown());
  EXPECT_TRUE(FocusInField());
  EXPECT_EQ(QApplication::activeWindow(), &window) << "the list is never activated";
  EXPECT_EQ(List()->model()->data(List()->model()->index(0, 0)).toString(), "ab 0");
  EXPECT_EQ(Highlighted(), -1);
  EXPECT_EQ(edit->Popup()->width(), edit->width());
  EXPECT_GE(edit->Popup()->y(), edit->mapToGlobal(QPoint(0, edit->height())).y()) << "below the field";
  QTest::keyClick(edit, Qt::Key_C);
  EXPECT_EQ(edit->currentText(), "abc") << "typing goes on into the field";
}

// The owner matches the text to a contact when it changes, and its
// suggestions (and the gates it lists with them) build on that match: the
// change is told first.
TEST_F(SuggestField, TheOwnerHearsOfTheChangeBeforeItIsAskedForSuggestions) {
  std::vector<std::string> heard;
  QObject::connect(edit, &QComboBox::editTextChanged, &window,
                   [&](const QString& text) { heard.push_back("change " + text.toStdString()); });
  QObject::connect(edit, &TSuggestEdit::SuggestData, &window,
                   [&] { heard.push_back("suggest " + edit->currentText().toStdString()); });
  QTest::keyClicks(edit, "ab");
  EXPECT_EQ(heard, (std::vector<std::string>{"change a", "suggest a", "change ab", "suggest ab"}));
  heard.clear();
  edit->lineEdit()->selectAll();
  QTest::keyClick(edit, Qt::Key_Backspace);
  EXPECT_EQ(heard, (std::vector<std::string>{"change ", "suggest "}));
  EXPECT_FALSE(edit->DroppedDown());
}

TEST_F(SuggestField, ThreeRowsShowAsFourAndFortyScrollInSixteen) {
  QTest::keyClick(edit, Qt::Key_A);
  EXPECT_EQ(Rows(), 4);
  count = 40;
  QTest::keyClick(edit, Qt::Key_B);
  EXPECT_EQ(Rows(), 16);
  QCoreApplication::processEvents();
  EXPECT_GT(List()->verticalScrollBar()->maximum(), 0) << "the rest scrolls";
  count = 0;
  QTest::keyClick(edit, Qt::Key_C);
  EXPECT_EQ(Rows(), 1);
}

TEST_F(SuggestField, ArrowsAndPagesMoveTheHighlightNotTheCaret) {
  QTest::keyClicks(edit, "xy");
  edit->lineEdit()->setCursorPosition(1);
  QTest::keyClick(edit, Qt::Key_Down);
  EXPECT_EQ(Highlighted(), 0);
  QTest::keyClick(edit, Qt::Key_Down);
  QTest::keyClick(edit, Qt::Key_Down);
  EXPECT_EQ(Highlighted(), 2);
  QTest::keyClick(edit, Qt::Key_Up);
  EXPECT_EQ(Highlighted(), 1);
  EXPECT_EQ(edit->lineEdit()->cursorPosition(), 1);
  EXPECT_EQ(edit->currentText(), "xy") << "moving through the list changes no text";
  QTest::keyClick(edit, Qt::Key_PageDown);
  EXPECT_EQ(Highlighted(), 2);
  QTest::keyClick(edit, Qt::Key_PageUp);
  EXPECT_EQ(Highlighted(), 0);
  EXPECT_TRUE(FocusInField());
}

TEST_F(SuggestField, EnterAcceptsTheHighlightedRowWithoutAskingAgain) {
  QTest::keyClicks(edit, "ma");
  QTest::keyClick(edit, Qt::Key_Down);
  QTest::keyClick(edit, Qt::Key_Down);
  int before = requests;
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(edit->currentText(), "ma 1");
  EXPECT_EQ(selected->count(), 1);
  EXPECT_FALSE(edit->DroppedDown());
  EXPECT_EQ(requests, before) << "the accepted text asks for no suggestions";
  // Enter with nothing highlighted closes and accepts nothing.
  QTest::keyClick(edit, Qt::Key_X);
  QTest::keyClick(edit, Qt::Key_Enter);
  EXPECT_EQ(edit->currentText(), "ma 1x");
  EXPECT_FALSE(edit->DroppedDown());
  EXPECT_EQ(selected->count(), 1);
}

TEST_F(SuggestField, EscapeClosesWithoutAccepting) {
  QTest::keyClicks(edit, "es");
  QTest::keyClick(edit, Qt::Key_Down);
  QTest::keyClick(edit, Qt::Key_Escape);
  EXPECT_FALSE(edit->DroppedDown());
  EXPECT_EQ(edit->currentText(), "es");
  EXPECT_FALSE(edit->lineEdit()->isModified());
  EXPECT_EQ(selected->count(), 0);
}

TEST_F(SuggestField, TextFromCodeOpensNothing) {
  edit->SetTextNoSuggest("from code");
  edit->setEditText("set text");
  EXPECT_EQ(requests, 0);
  EXPECT_FALSE(edit->DroppedDown());
  EXPECT_TRUE(edit->SuggestEnabled()) << "on again afterwards";
  // An open list stays as it is while code sets the text.
  QTest::keyClick(edit, Qt::Key_A);
  ASSERT_TRUE(edit->DroppedDown());
  edit->SetTextNoSuggest("");
  EXPECT_TRUE(edit->DroppedDown());
  EXPECT_EQ(requests, 1);
  edit->SetSuggestEnabled(false);
  QTest::keyClick(edit, Qt::Key_B);
  EXPECT_EQ(requests, 1) << "typing with suggestions off";
}

TEST_F(SuggestField, DeletingTheLastCharacterClosesAndAcceptsNothing) {
  QTest::keyClick(edit, Qt::Key_Q);
  QTest::keyClick(edit, Qt::Key_Down);
  ASSERT_EQ(Highlighted(), 0);
  QTest::keyClick(edit, Qt::Key_Backspace);
  EXPECT_FALSE(edit->DroppedDown());
  EXPECT_EQ(edit->currentText(), "") << "the refill cleared the highlight";
  EXPECT_EQ(selected->count(), 0);
}

TEST_F(SuggestField, EveryRefillClearsTheHighlight) {
  QTest::keyClick(edit, Qt::Key_A);
  QTest::keyClick(edit, Qt::Key_Down);
  QTest::keyClick(edit, Qt::Key_Down);
  ASSERT_EQ(Highlighted(), 1);
  QTest::keyClick(edit, Qt::Key_B);
  EXPECT_EQ(Highlighted(), -1);
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(edit->currentText(), "ab");
}

TEST_F(SuggestField, PointingHighlightsAndAClickAccepts) {
  QTest::keyClicks(edit, "pt");
  QRect row2 = List()->visualRect(List()->model()->index(2, 0));
  QWidget* viewport = List()->viewport();
  QMouseEvent move(QEvent::MouseMove, row2.center(), viewport->mapToGlobal(row2.center()), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(viewport, &move);
  EXPECT_EQ(Highlighted(), 2);
  QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, row2.center());
  EXPECT_EQ(edit->currentText(), "pt 2");
  EXPECT_EQ(selected->count(), 1);
  EXPECT_FALSE(edit->DroppedDown());
  EXPECT_TRUE(FocusInField());
}

TEST_F(SuggestField, TheWheelOverTheFieldScrollsTheList) {
  count = 40;
  QTest::keyClick(edit, Qt::Key_W);
  ASSERT_EQ(List()->verticalScrollBar()->value(), 0);
  QPointF at(5, 5);
  QWheelEvent wheel(at, edit->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(edit, &wheel);
  EXPECT_GT(List()->verticalScrollBar()->value(), 0);
}

TEST_F(SuggestField, OpensAboveWhenThereIsNoRoomBelow) {
  count = 15;
  QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  window.move(area.left() + 50, area.bottom() - window.frameGeometry().height() - 5);
  QCoreApplication::processEvents();
  QTest::keyClick(edit, Qt::Key_U);
  ASSERT_TRUE(edit->DroppedDown());
  QRect popup = edit->Popup()->geometry();
  EXPECT_LE(popup.bottom(), edit->mapToGlobal(QPoint(0, 0)).y());
  EXPECT_GE(popup.top(), area.top());
}

TEST_F(SuggestField, LeavingTheFieldClosesTheList) {
  QSignalSpy exited(edit, &TSuggestEdit::Exited), entered(edit, &TSuggestEdit::Entered);
  QTest::keyClick(edit, Qt::Key_L);
  QTest::keyClick(edit, Qt::Key_Down);
  other->setFocus();
  QCoreApplication::processEvents();
  EXPECT_FALSE(edit->DroppedDown());
  EXPECT_EQ(edit->currentText(), "l") << "leaving accepts nothing";
  EXPECT_EQ(exited.count(), 1);
  edit->setFocus();
  QCoreApplication::processEvents();
  EXPECT_EQ(entered.count(), 1);
}

TEST_F(SuggestField, TheButtonAsksFirstAndTogglesTheList) {
  edit->SetTextNoSuggest("bt");
  edit->showPopup();
  EXPECT_EQ(requests, 1);
  ASSERT_TRUE(edit->DroppedDown());
  EXPECT_TRUE(edit->lineEdit()->isReadOnly()) << "read-only while the button holds it open";
  QTest::keyClick(edit, Qt::Key_Down);
  // An owner that keeps its rows: the highlight survives the request.
  refill = false;
  edit->showPopup();
  EXPECT_FALSE(edit->DroppedDown());
  EXPECT_FALSE(edit->lineEdit()->isReadOnly());
  EXPECT_EQ(edit->currentText(), "bt 0") << "closing by the button accepts";
  EXPECT_EQ(requests, 2);
  // One that refills clears it first: nothing to accept.
  refill = true;
  edit->showPopup();
  QTest::keyClick(edit, Qt::Key_Down);
  edit->showPopup();
  EXPECT_EQ(edit->currentText(), "bt 0");
  EXPECT_EQ(selected->count(), 1);
}

TEST_F(SuggestField, ThousandsOfRowsAskOnlyForTheRowsShown) {
  int asked = 0;
  QObject::disconnect(edit, &TSuggestEdit::SuggestData, &window, nullptr);
  QObject::connect(edit, &TSuggestEdit::SuggestData, &window, [&] {
    edit->SuggestItems().Reset(10000, [&asked](int row) {
      ++asked;
      return QString::number(row);
    });
  });
  QTest::keyClick(edit, Qt::Key_7);
  QCoreApplication::processEvents();
  List()->repaint();
  EXPECT_EQ(List()->model()->rowCount(), 10000);
  EXPECT_GT(asked, 0);
  EXPECT_LT(asked, 200);
}

}  // namespace
