// The main window's shell used as a person uses it: the file dialogs behind
// the message-file keys (a picked file opened as it is named), the history
// row and counters a send leaves across two runs, the timer on an earlier
// time of today, the weekly statistics upload at its edges, and the
// new-version window's page link under the mouse.
#include <QDateEdit>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimeEdit>
#include <filesystem>

#include "app/filedialog.h"
#include "app/journey.h"
#include "app/mainwindow.h"
#include "app/qtwait.h"
#include "app/statsserver.h"
#include "cp1251.h"
#include "datetime.h"
#include "smsfile.h"
#include "stats.h"
#include "updateinfofrm.h"

namespace {

namespace fs = std::filesystem;

class AuditShell : public MainWindowTest {
 protected:
  // A started window, shown and active, as a person finds it.
  std::unique_ptr<TestFrm> StartShown() {
    auto frm = Start();
    frm->show();
    frm->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(frm.get()));
    return frm;
  }
};

TEST_F(AuditShell, TheFileKeysGoThroughTheirDialogs) {
  TempDir files;
  auto frm = StartShown();
  frm->SetMemoText("Первый текст"_cp);

  // Ctrl+S on a message never saved asks for a name; one typed without a
  // dot gets the message extension.
  DialogSeen save;
  AnswerFileDialog(save, files.File("note"));
  QTest::keyClick(frm.get(), Qt::Key_S, Qt::ControlModifier);
  ASSERT_TRUE(save.opened);
  EXPECT_EQ(save.mode, QFileDialog::AcceptSave);
  EXPECT_EQ(save.suffix, "plmx");
  EXPECT_EQ(save.filters, QStringList({QStr("Файлы сообщений (*.plmx)"_cp), QStr("Все файлы (*.*)"_cp)}));
  EXPECT_EQ(frm->FileName(), files.File("note.plmx"));
  ASSERT_TRUE(fs::exists(files.File("note.plmx")));
  ASSERT_TRUE(Reactivate(*frm));

  // Once named, Ctrl+S writes there without asking.
  frm->SetMemoText("Второй текст"_cp);
  QTest::keyClick(frm.get(), Qt::Key_S, Qt::ControlModifier);
  TSMSFile written;
  written.LoadFromFile(files.File("note.plmx"));
  EXPECT_EQ(VarToStr(written.Message.GetItemNamed(MsgKey::Message)), "Второй текст"_cp);

  // Ctrl+O takes an existing message file and shows it.
  frm->aNewExecute();
  ASSERT_TRUE(Reactivate(*frm));
  DialogSeen open;
  AnswerFileDialog(open, files.File("note.plmx"));
  QTest::keyClick(frm.get(), Qt::Key_O, Qt::ControlModifier);
  ASSERT_TRUE(open.opened);
  EXPECT_EQ(open.mode, QFileDialog::AcceptOpen);
  EXPECT_EQ(open.fileMode, QFileDialog::ExistingFile) << "only a file that is there";
  EXPECT_EQ(open.filters, save.filters);
  EXPECT_EQ(frm->MemoText(), "Второй текст"_cp);
  EXPECT_EQ(frm->FileName(), files.File("note.plmx"));
}

// A send written to the history carries the time it was booked; the
// session's count starts again at every run, the total goes on.
TEST_F(AuditShell, ASendIsBookedAtItsTimeAndTheTotalOutlivesTheRun) {
  TSMS msg;
  msg.SetItemNamed(MsgKey::Message, Variant::String("Текст"_cp));
  msg.SetItemNamed(MsgKey::Phone, Variant::String("79161234567"));
  {
    auto frm = Start();
    int64_t before = DateTimeToUnix(Now());
    frm->AfterSend("G", msg, 1, "");
    int64_t after = DateTimeToUnix(Now());
    int64_t booked = Database->GetIntValue("SELECT DateTime FROM History");
    EXPECT_GE(booked, before);
    EXPECT_LE(booked, after);
    EXPECT_EQ(frm->StatusPanel1->text(), QStr("Отправлено сообщений 1, всего 1"_cp));
  }
  auto frm = Start();
  EXPECT_EQ(frm->StatusPanel1->text(), QStr("Отправлено сообщений 0, всего 1"_cp));
  frm->AfterSend("G", msg, 0, "");
  EXPECT_EQ(frm->StatusPanel1->text(), QStr("Отправлено сообщений 1, всего 2"_cp));
}

// A file picked in the open dialog is opened as it is named, also without
// a dot in its name; only a name that is not there gets the extension.
TEST_F(AuditShell, TheOpenDialogOpensThePickedFileEvenWithoutADot) {
  TempDir files;
  auto frm = StartShown();
  frm->SetMemoText("Без расширения"_cp);
  frm->SaveMessageFile(files.File("plain"));
  frm->SetMemoText("С расширением"_cp);
  frm->SaveMessageFile(files.File("plain.plmx"));
  frm->aNewExecute();
  ASSERT_TRUE(Reactivate(*frm));
  DialogSeen open;
  AnswerFileDialog(open, files.File("plain"));
  frm->Action("aFileOpen")->trigger();
  ASSERT_TRUE(open.opened);
  EXPECT_EQ(frm->MemoText(), "Без расширения"_cp);
  EXPECT_EQ(frm->FileName(), files.File("plain"));

  frm->OpenChosenFile(files.File("other"));
  EXPECT_EQ(frm->FileName(), files.File("other.plmx"));
  frm->aNewExecute();
  frm->OpenChosenFile(files.File("plainX"));
  EXPECT_EQ(frm->MemoText(), "") << "neither that name nor it with the extension is there";
}

// The timer keeps the chosen time of today from lying before now as well as
// the date.
TEST_F(AuditShell, TheTimerMovesAnEarlierTimeOfTodayToNow) {
  if (QTime::currentTime() < QTime(0, 2) || QTime::currentTime() > QTime(23, 58)) GTEST_SKIP() << "too near midnight";
  auto frm = Start();
  frm->dtpDeliveryDate->setDate(QDate::currentDate());
  frm->dtpDeliveryTime->setTime(QTime(0, 0));
  QDateTime before = QDateTime::currentDateTime();
  frm->Timer1Timer();
  QDateTime chosen(frm->dtpDeliveryDate->date(), frm->dtpDeliveryTime->time());
  EXPECT_GE(chosen.secsTo(before), -1);
  EXPECT_LE(chosen.secsTo(before), 60) << "now, to the minute the picker shows";
  QTime later = QTime::currentTime().addSecs(3600);
  if (later > QTime::currentTime()) {
    frm->dtpDeliveryTime->setTime(later);
    frm->Timer1Timer();
    EXPECT_EQ(frm->dtpDeliveryTime->time().hour(), later.hour()) << "a later time stays";
  }
}

class AuditStatsUpload : public AuditShell {
 protected:
  StatsServer server;
  int64_t today = TStats::Today();

  void SetUp() override {
    AuditShell::SetUp();
    PresetOption("Network\\Proxy", "Direct");
    PresetOption("Stats\\PostURL", server.Url());
    PresetOption("Stats\\LastPost", std::to_string(today - 30 * 86400));
  }
};

// Nothing to report is reported all the same: the week is then done.
TEST_F(AuditStatsUpload, AnEmptyReportIsStillSentAndEndsTheWeek) {
  auto frm = Start();
  bool marked = WaitUntil([&] { return DateTimeToUnix(Options->ReadDateTime("Stats\\LastPost")) == today; });
  auto posts = server.Posts();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].body, "");
  EXPECT_TRUE(marked);
}

TEST_F(AuditStatsUpload, WithoutCountingNothingIsSent) {
  PresetOption("Stats\\LogStats", "FALSE");
  WithDatabase([&](TSQLiteDatabase& db) {
    db.ExecSQL("INSERT INTO Stats (Date,GateName,SendCount,SendError,Posted) VALUES (" +
               std::to_string(today - 86400) + ",'A',1,0,0)");
  });
  auto frm = Start();
  WaitUntil([] { return false; }, 300);
  EXPECT_TRUE(server.Posts().empty());
  EXPECT_EQ(DateTimeToUnix(Options->ReadDateTime("Stats\\LastPost")), today - 30 * 86400);
}

// The download page's link: underlined while the mouse is over it, and a
// click opens the page.
TEST(AuditUpdateInfo, TheDownloadLinkAnswersTheMouse) {
  UrlRecorder browser;
  QWidget owner;
  TUpdateInfoFrm frm(&owner);
  frm.SetPageAddress("http://parlomix.org/download.html");
  frm.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frm));
  EXPECT_FALSE(frm.lbDownload->font().underline());
  EXPECT_EQ(frm.lbDownload->palette().color(QPalette::WindowText), QColor(Qt::blue));
  QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
  QApplication::sendEvent(frm.lbDownload, &enter);
  EXPECT_TRUE(frm.lbDownload->font().underline());
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(frm.lbDownload, &leave);
  EXPECT_FALSE(frm.lbDownload->font().underline());
  QTest::mouseClick(frm.lbDownload, Qt::LeftButton);
  EXPECT_EQ(browser.urls, (std::vector<std::string>{"http://parlomix.org/download.html"}));
}

}  // namespace
