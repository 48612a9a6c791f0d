// The main window coming up and going down over a real profile: what the
// creation steps leave behind, the command line, the gate file imported at
// every start, the message kept between runs, another copy, and failures.
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTimeEdit>
#include <sys/stat.h>

#include <filesystem>

#include "app/mainwindow.h"
#include "app/qtwait.h"
#include "corelimits.h"
#include "cp1251.h"
#include "gates/import_support.h"
#include "instanceguard.h"
#include "messagefiles.h"
#include "smsfile.h"
#include "support/testfifo.h"
#include "uitext.h"

namespace {

namespace fs = std::filesystem;

using MainWindowStart = MainWindowTest;

std::string GateCaption(const std::string& name) {
  Database->AddParamText(":Name", name);
  return Database->GetStringValue("SELECT Caption FROM gates.Gate WHERE Name=:Name");
}

TEST_F(MainWindowStart, AFreshProfileGetsDatabasesOptionsAndTheSampleText) {
  auto frm = Start();
  EXPECT_TRUE(fs::exists(ProfileDir + "Parlomix.db3"));
  EXPECT_TRUE(fs::exists(ProfileDir + "Gates.db3"));
  EXPECT_TRUE(fs::exists(ProfileDir + "Parlomix.ini"));
  EXPECT_TRUE(fs::exists(ProfileDir + "Placemnt.ini"));
  struct stat st {};
  ASSERT_EQ(stat((ProfileDir + "Parlomix.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "the options file holds the proxy password";
  EXPECT_EQ(frm->MemoText(), "Привет. Как дела? Что делаешь? ;)"_cp);
  EXPECT_TRUE(Options->ReadBool("General\\FirstRunDone")) << "the first-run wizard has run";
  EXPECT_EQ(TSMSFrm::Instance(), frm.get());
  EXPECT_EQ(frm->StatusPanel1->text(), QStr("Отправлено сообщений 0, всего 0"_cp));
  EXPECT_GE(frm->cbTranslTable->count(), 1) << "the shipped table is listed";
  EXPECT_TRUE(frm->cbTranslTable->isEnabled());
  EXPECT_TRUE(frm->messages.empty());
  frm.reset();
  EXPECT_EQ(TSMSFrm::Instance(), nullptr);
  EXPECT_EQ(Options, nullptr);
  EXPECT_EQ(Database, nullptr);
}

TEST_F(MainWindowStart, TheChosenTransliterationTableIsSelected) {
  TIniFile table;
  table.WriteValue("General", "Name", "Zeta");
  table.WriteValue("Table", "\xE0", "a");
  profile.Write("Translit/zeta.ttb", table.Serialize());
  PresetOption("Message\\TraslitTable", "zeta");
  auto frm = Start();
  ASSERT_GE(frm->cbTranslTable->count(), 2);
  EXPECT_EQ(frm->cbTranslTable->currentText(), "Zeta");
}

TEST_F(MainWindowStart, ImportGateXmlIsImportedWithForceAtEveryStart) {
  GateXml gate;
  gate.name = "Imported";
  gate.caption = "First caption";
  profile.Write("ImportGate.xml", gate.Element());
  {
    auto frm = Start();
    EXPECT_EQ(GateCaption("Imported"), "First caption");
    // A newer gate stored since must give way to the file all the same.
    Database->ExecSQL("UPDATE gates.Gate SET Caption='Changed', Version=99 WHERE Name='Imported'");
  }
  auto frm = Start();
  EXPECT_EQ(GateCaption("Imported"), "First caption");
  EXPECT_TRUE(fs::exists(ProfileDir + "ImportGate.xml")) << "left in place";
}

TEST_F(MainWindowStart, TheCommandLineImportsGatesAndPackagesWithForce) {
  TempDir files;
  GateXml single;
  single.name = "Single";
  single.caption = "From the file";
  std::string singleFile = files.Write("my gates/single.xml", single.Element());
  GateXml a, b;
  a.name = "PackA";
  b.name = "PackB";
  std::string packageFile = files.Write("pack.xml", PackageXml({a, b}, "42"));
  WithDatabase([](TSQLiteDatabase& db) {
    AddGate(db, "Single", "Stored, newer", "7916");
    db.ExecSQL("UPDATE gates.Gate SET Version=500 WHERE Name='Single'");
  });
  auto frm = Start({"/IG\"" + singleFile + "\"", "-il" + packageFile, "-ig" + files.File("missing.xml"), "x"});
  EXPECT_EQ(GateCaption("Single"), "From the file");
  EXPECT_EQ(GateCaption("PackA"), "Caption");
  EXPECT_EQ(GateCaption("PackB"), "Caption");
  EXPECT_EQ(Database->GetStringValue("SELECT ParamValue FROM gates.Config WHERE ParamName='gatesversion'"), "42");
  // A file that is not there is told, and the start goes on.
  ASSERT_EQ(frm->messages.size(), 1u);
  EXPECT_NE(frm->messages[0].find("missing.xml"), std::string::npos);
}

// A pipe where the start reads a file is told and never waited on, and
// the start goes on (with the defaults for an ini file).
TEST_F(MainWindowStart, AFileTheStartCannotReadIsToldNotWaitedOnNorReplaced) {
  TempDir files;
  for (std::string where : {"-il", "-ig", "ImportGate.xml", "Placemnt.ini", "Parlomix.ini"}) {
    SCOPED_TRACE(where);
    const bool option = where.starts_with("-");
    const std::string path = option ? files.File("gates.xml") : ProfileDir + where;
    TestFifo pipe(path);
    auto frm = Start(option ? std::vector<std::string>{where + path} : std::vector<std::string>{});
    EXPECT_FALSE(pipe.Blocked());
    ASSERT_EQ(frm->messages.size(), 1u);
    EXPECT_NE(frm->messages[0].find(path + "\": "), std::string::npos) << frm->messages[0];
  }
  // A file too large to read is put aside, never replaced by the defaults.
  const std::string kept = "[Message]\nSignature=mine\n" + std::string(kMaxIniFileSize, ';');
  profile.Write("Parlomix.ini", kept);
  auto frm = Start();
  EXPECT_NE(frm->messages.at(0).find("в \""_cp + ProfileDir + "Parlomix.ini.bad\""), std::string::npos);
  frm.reset();
  EXPECT_EQ(profile.Read("Parlomix.ini.bad"), kept);
}

TEST_F(MainWindowStart, TheProfileSwitchMovesEverythingButTheUpdateFolder) {
  TempDir other;
  profile.Write("Update/old-setup.exe", "x");
  other.Write("Update/other.exe", "y");
  auto frm = Start({"-p\"" + other.Path().string() + "\""});
  EXPECT_EQ(ProfileDir, other.Path().string() + "/");
  EXPECT_TRUE(fs::exists(other.File("Parlomix.db3")));
  EXPECT_FALSE(fs::exists(profile.File("Parlomix.db3")));
  // Emptied before the switch was read: the first profile's folder.
  EXPECT_FALSE(fs::exists(profile.File("Update/old-setup.exe")));
  EXPECT_TRUE(fs::exists(other.File("Update/other.exe")));
}

TEST_F(MainWindowStart, TheMessageBeingWrittenComesBackWithItsAttachment) {
  const std::string picture("GIF89a\x01\x00\x01\x00\x00\xff\x00,", 14);
  {
    auto frm = Start();
    frm->Action("aMMS")->trigger();
    frm->cbTo->setEditText("+7 916 123-45-67");
    frm->SetMemoText("Строка один\r\nи два & <три>"_cp);
    frm->cbSubject->setEditText(QStr("Тема"_cp));
    frm->cbSignature->setEditText(QStr("Вася"_cp));
    frm->FMedia->SetItemNamed(ContentKey::FileName, Variant::String("pic.gif"));
    frm->FMedia->SetItemNamed(ContentKey::ContentType, Variant::String("image/gif"));
    frm->FMedia->SetStream(std::make_shared<TMemoryStream>(picture));
  }
  ASSERT_TRUE(fs::exists(ProfileDir + "autosave.plmx"));
  auto frm = Start();
  EXPECT_TRUE(frm->Action("aMMS")->isChecked());
  EXPECT_EQ(frm->RecipientPhone(), "79161234567");
  EXPECT_EQ(frm->MemoText(), "Строка один\r\nи два & <три>"_cp) << "replaces the sample text";
  EXPECT_EQ(frm->cbSubject->currentText(), QStr("Тема"_cp));
  EXPECT_EQ(frm->cbSignature->currentText(), QStr("Вася"_cp));
  ASSERT_NE(frm->FMedia->Stream(), nullptr);
  EXPECT_EQ(frm->FMedia->Stream()->Bytes(), picture);
  EXPECT_EQ(VarToStr(frm->FMedia->GetItemNamed(ContentKey::FileName)), "pic.gif");
  EXPECT_EQ(frm->lbMMSize->text(), QStr("Размер: 0.01 Кб"_cp));
}

// Two copies on one profile: the one whose composer nobody touched does
// not replace what the other saved when it ended first; a copy whose
// composer was changed, even only cleared, saves it.
TEST_F(MainWindowStart, AnUntouchedComposerNeverReplacesASavedMessage) {
  profile.Write("autosave.plmx", "<message type=\"SMS\"><text>as started</text></message>");
  for (bool cleared : {false, true}) {
    auto frm = Start();
    if (cleared) frm->aClearExecute();
    profile.Write("autosave.plmx", "<message type=\"SMS\"><text>the other copy's</text></message>");
    frm.reset();
    std::string saved = profile.Read("autosave.plmx");
    EXPECT_EQ(saved.find("<text>the other copy's</text>") != std::string::npos, !cleared) << saved;
  }
  // Nobody saved since the start: the message on screen is saved.
  PresetOption("Message\\SaveOnExit", "FALSE");
  profile.Write("autosave.plmx", "<message type=\"SMS\"><text>stale old draft</text></message>");
  auto frm = Start();
  Options->WriteBool("Message\\SaveOnExit", true);
  frm.reset();
  EXPECT_EQ(profile.Read("autosave.plmx").find("stale old draft"), std::string::npos);
}

TEST_F(MainWindowStart, TheEndOfTheSessionSavesTheMessageAtOnce) {
  auto frm = Start();
  frm->SetMemoText("written when the session ended");
  frm->CommitSession();
  EXPECT_NE(profile.Read("autosave.plmx").find("<text>written when the session ended</text>"), std::string::npos);
}

TEST_F(MainWindowStart, WithoutSaveOnExitNothingIsKeptOrRestored) {
  PresetOption("Message\\SaveOnExit", "FALSE");
  profile.Write("autosave.plmx", "<?xml version=\"1.0\"?><message type=\"SMS\"><text>old</text></message>");
  {
    auto frm = Start();
    EXPECT_EQ(frm->MemoText(), "Привет. Как дела? Что делаешь? ;)"_cp);
    frm->SetMemoText("new");
  }
  EXPECT_NE(profile.Read("autosave.plmx").find("<text>old</text>"), std::string::npos);
}

TEST_F(MainWindowStart, ADamagedAutosaveNeverStopsTheStart) {
  // The first start shows the sample text, later ones an empty memo.
  std::string shown = "Привет. Как дела? Что делаешь? ;)"_cp;
  auto saved = [](const std::string& inside) { return "<message type=\"SMS\">" + inside + "</message>"; };
  // What cannot become the composer's message is put aside and told once.
  for (const std::string& damaged :
       {std::string("<message type=\"SMS\"><text>unclosed"),
        saved("<text>" + std::string(kMaxMessageText + 1, 'x') + "</text>")}) {
    profile.Write("autosave.plmx", damaged);
    auto frm = Start();
    ASSERT_EQ(frm->messages.size(), 1u);
    EXPECT_NE(frm->messages[0].find("autosave.plmx.bad"), std::string::npos);
    EXPECT_EQ(frm->MemoText(), shown);
    frm.reset();
    EXPECT_EQ(profile.Read("autosave.plmx.bad"), damaged);
    shown.clear();
  }
  auto frm = Start();
  EXPECT_TRUE(frm->messages.empty());
  frm.reset();

  // A delivery time beyond the calendar reads as none: the message comes
  // back and the time is clamped to now.
  for (const char* beyond : {"253402300800", "9223372036854775807", "-9223372036854775808"}) {
    profile.Write("autosave.plmx", saved("<text>kept</text><delivery>-1</delivery><deliverytime>" +
                                         std::string(beyond) + "</deliverytime>"));
    auto frm = Start();
    EXPECT_TRUE(frm->messages.empty()) << beyond;
    EXPECT_EQ(frm->MemoText(), "kept") << beyond;
    EXPECT_TRUE(frm->chbDeliveryTime->isChecked()) << beyond;
    frm->Timer1Timer();
    EXPECT_EQ(frm->dtpDeliveryDate->date(), QDate::currentDate()) << beyond;
  }
}

TEST_F(MainWindowStart, AnAutosaveThatFailsHalfWayIsPutAsideWithTheMessageShown) {
  // The phone book gone: matching the recipient fails once the controls
  // hold the message.
  WithDatabase([](TSQLiteDatabase& db) { db.ExecSQL("DROP TABLE PhoneBook"); });
  const std::string kSaved = "<message type=\"MMS\"><to>79161234567</to><text>half</text><subject>S</subject></message>";
  profile.Write("autosave.plmx", kSaved);
  auto frm = Start();
  ASSERT_EQ(frm->messages.size(), 1u);
  EXPECT_EQ(profile.Read("autosave.plmx.bad"), kSaved);
  EXPECT_TRUE(frm->Action("aMMS")->isChecked());
  EXPECT_EQ(frm->RecipientPhone(), "79161234567");
  EXPECT_EQ(frm->MemoText(), "half");
  EXPECT_EQ(frm->cbSubject->currentText(), "S");
}

TEST_F(MainWindowStart, AnotherCopyRunningTakesOverBeforeAnythingIsTouched) {
  TInstanceGuard running(TInstanceGuard::DefaultFolder());
  ASSERT_TRUE(running.Claim());
  QStringList forwarded;
  QObject::connect(&running, &TInstanceGuard::activationRequested, &running,
                   [&](const QString&, const QStringList& args) { forwarded = args; });
  profile.Write("autosave.plmx", "kept as it is");
  {
    auto frm = std::make_unique<TestFrm>(std::vector<std::string>{"-ig/tmp/x.xml"});
    EXPECT_EQ(frm->FormCreate(), TSMSFrm::TCreateResult::AnotherCopy);
  }
  ASSERT_TRUE(WaitUntil([&] { return !forwarded.isEmpty(); }));
  EXPECT_EQ(forwarded, QStringList({"-ig/tmp/x.xml"}));
  EXPECT_EQ(profile.Read("autosave.plmx"), "kept as it is");
  EXPECT_FALSE(fs::exists(ProfileDir + "Parlomix.db3"));
  EXPECT_FALSE(fs::exists(ProfileDir + "Gates.db3"));
  EXPECT_EQ(Database, nullptr);

  // With the option off the copy runs beside the other.
  PresetOption("Interface\\OneInstance", "FALSE");
  auto frm = Start();
  EXPECT_TRUE(fs::exists(ProfileDir + "Parlomix.db3"));
}

TEST_F(MainWindowStart, AFailedStartLeavesTheSavedMessageAlone) {
  profile.Write("autosave.plmx", "kept as it is");
  profile.Write("Parlomix.db3", std::string(4096, 'x'));
  auto frm = std::make_unique<TestFrm>(std::vector<std::string>{});
  EXPECT_THROW(frm->FormCreate(), ESQLiteException);
  frm.reset();
  EXPECT_EQ(profile.Read("autosave.plmx"), "kept as it is");
  EXPECT_EQ(Database, nullptr);
  EXPECT_EQ(Options, nullptr);
}

TEST_F(MainWindowStart, ALaterStartRaisesTheWindowAndNothingElse) {
  auto frm = Start();
  frm->hide();
  TempDir files;
  GateXml gate;
  gate.name = "Forwarded";
  std::string file = files.Write("g.xml", gate.Element());
  TInstanceGuard later(TInstanceGuard::DefaultFolder());
  ASSERT_FALSE(later.Claim());
  ASSERT_TRUE(later.ActivateOther({"", {"-ig" + QPath(file), "-p/elsewhere"}}));
  ASSERT_TRUE(WaitUntil([&] { return frm->isVisible(); }));
  EXPECT_EQ(GateCaption("Forwarded"), "") << "its switches were meant for a start of its own";
  EXPECT_EQ(ProfileDir, profile.Path().string() + "/") << "a running copy keeps its profile";
}

TEST_F(MainWindowStart, TheDeliveryTimeNeverLiesInThePast) {
  auto frm = Start();
  frm->dtpDeliveryDate->setDate(QDate(2001, 2, 3));
  frm->Timer1Timer();
  EXPECT_EQ(frm->dtpDeliveryDate->date(), QDate::currentDate());
  QDate later = QDate::currentDate().addDays(3);
  frm->dtpDeliveryDate->setDate(later);
  frm->Timer1Timer();
  EXPECT_EQ(frm->dtpDeliveryDate->date(), later);
}

TEST_F(MainWindowStart, ClearHistoryOnExitEmptiesTheHistory) {
  PresetOption("Message\\ClearHistoryOnExit", "TRUE");
  {
    auto frm = Start();
    Database->ExecSQL("INSERT INTO History (DateTime, GateName, Phone, Message, DeliveryStatus) VALUES (1,'G','7','m',1)");
  }
  WithDatabase([](TSQLiteDatabase& db) { EXPECT_EQ(db.GetIntValue("SELECT count(*) FROM History"), 0); });
}

}  // namespace
