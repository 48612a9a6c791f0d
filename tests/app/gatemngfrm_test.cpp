// The gate manager over a real gates database: the list with its pictures
// and greyed disabled gates, what it says of the selected gate, the two
// switches and where they are stored, the site link, and its place.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListView>
#include <QMouseEvent>
#include <QPushButton>
#include <QSplitter>
#include <QStringListModel>

#include "app/mainwindow.h"
#include "cp1251.h"
#include "gatedetails.h"
#include "gatemngfrm.h"
#include "linklabel.h"
#include "placement.h"
#include "gates/gate_database.h"
#include "support/optionsprofile.h"
#include "uitext.h"

namespace {

class GateManager : public GateDatabase {
 protected:
  OptionsProfile ini;
  void SetUp() override {
    GateDatabase::SetUp();
    PlacementStorage = &ini.placement;
  }
  void TearDown() override {
    PlacementStorage = nullptr;
    GateDatabase::TearDown();
  }
  // Every row a list view shows.
  static std::vector<std::string> Rows(const QListView* view) {
    std::vector<std::string> rows;
    for (int i = 0; i < view->model()->rowCount(); ++i) rows.push_back(CpStr(view->model()->index(i, 0).data().toString()));
    return rows;
  }
  int64_t Changes() { return db().GetIntValue("SELECT total_changes()"); }
  std::string Text(const std::string& sql) { return db().GetStringValue(sql); }
};

TEST_F(GateManager, AnEmptyDatabaseShowsNothingAndTheBoxesDoNothing) {
  TGateMngFrm frm;
  frm.show();
  EXPECT_EQ(frm.windowTitle(), QStr("База операторов"_cp));
  EXPECT_EQ(frm.minimumSize(), QSize(600, 515));
  EXPECT_EQ(frm.lbGates->model()->rowCount(), 0);
  EXPECT_EQ(frm.SelectedGateName(), "");
  for (QLabel* label : {frm.lbGateName, frm.lbGateType, static_cast<QLabel*>(frm.lbSite), frm.lbGateVersion})
    EXPECT_TRUE(label->text().isEmpty());
  EXPECT_TRUE(Rows(frm.mDescr).empty());
  EXPECT_TRUE(Rows(frm.mPrefixList).empty());
  int64_t before = Changes();
  frm.chbDisabled->click();
  frm.chbDontCheckDelivery->click();
  frm.chbDisabledClick();
  frm.chbDontCheckDeliveryClick();
  EXPECT_EQ(Changes(), before);
}

TEST_F(GateManager, TheListByCaptionWithTypePicturesAndGreyedDisabledGates) {
  Gate("Zeta", "SMS", "HTTP", "1", "0", 10, "Бета"_cp);
  Gate("Alpha", "MMS", "HTTP", "1", "1", 10, "Альфа"_cp);
  Gate("Mid", "sms", "HTTP", "1", "0", 10, "<b>Вега</b>"_cp);
  TGateMngFrm frm;
  frm.show();
  EXPECT_EQ(Rows(frm.lbGates), (std::vector<std::string>{"<b>Вега</b>"_cp, "Альфа"_cp, "Бета"_cp}))
      << "captions as plain text, in caption order";
  QAbstractItemModel* model = frm.lbGates->model();
  auto icon = [&](int row) { return model->index(row, 0).data(Qt::DecorationRole).value<QIcon>(); };
  auto colour = [&](int row) { return model->index(row, 0).data(Qt::ForegroundRole).value<QBrush>().color(); };
  EXPECT_EQ(icon(0).cacheKey(), icon(2).cacheKey()) << "both SMS";
  EXPECT_NE(icon(1).cacheKey(), icon(0).cacheKey()) << "MMS has the other picture";
  EXPECT_EQ(GateImageIndex("SMS"), 0);
  EXPECT_EQ(GateImageIndex("MMS"), 1);
  EXPECT_EQ(GateImageIndex("Fax"), 1);
  EXPECT_NE(colour(1), colour(0)) << "the disabled gate is greyed";
  EXPECT_EQ(colour(1), frm.palette().color(QPalette::Disabled, QPalette::Text));
  EXPECT_EQ(colour(0), colour(2));
  EXPECT_EQ(frm.lbGates->sizeHintForRow(0), 20);
  EXPECT_EQ(frm.SelectedGateName(), "Mid") << "the first entry without a preselection";
}

TEST_F(GateManager, ThePreselectedGateIsFoundInAnyCase) {
  Gate("Alpha");
  Gate("Beeline");
  Gate("МТС"_cp);
  for (auto [asked, expected] : {std::pair{"beeline", "Beeline"}, std::pair{"мтс", "МТС"}, std::pair{"nobody", "Alpha"}}) {
    TGateMngFrm frm;
    frm.SetSelectedGateName(cp1251::FromUtf8(asked));
    frm.show();
    EXPECT_EQ(frm.SelectedGateName(), cp1251::FromUtf8(expected)) << asked;
    EXPECT_EQ(CpStr(frm.lbGateName->text()), cp1251::FromUtf8(expected));
  }
}

TEST_F(GateManager, WhatTheSelectedGateSupports) {
  Gate("Plain", "SMS", "HTTP", "7");
  Param("Plain", 0, "MaxSymbols", "160");
  Param("Plain", 0, "MaxUnicodeSymbols", "70");
  Param("Plain", 0, "GateURL", "<a href=\"http://evil\">site</a>");
  Prefix("Plain", "7916", "7916", "1.3.7");
  Prefix("Plain", "7901000", "7901999", "1.3.7");
  Gate("Wide", "MMS", "HTTP", "12");
  Param("Wide", 0, "Captcha", "TRUE");
  Param("Wide", 0, "SupportUnicode", "1");
  Param("Wide", 0, "MaxSymbols", "160");
  Param("Wide", 0, "MaxUnicodeSymbols", "70");
  Param("Wide", 0, "SupportFlash", "0");
  Param("Wide", 0, "SupportDTDelivery", "true");
  Param("Wide", 0, "SupportCheckDelivery", "2");
  Param("Wide", 0, "Description", "Первая строка\r\nвторая\nтретья\r\n"_cp);
  TGateMngFrm frm;
  frm.SetSelectedGateName("Plain");
  frm.show();
  EXPECT_EQ(CpStr(frm.lbGateType->text()), "SMS");
  EXPECT_EQ(frm.lbGateVersion->text(), "7");
  EXPECT_EQ(frm.lbSite->text(), "<a href=\"http://evil\">site</a>") << "shown as it is";
  EXPECT_EQ(frm.lbSite->textFormat(), Qt::PlainText);
  EXPECT_EQ(frm.lbGateName->textFormat(), Qt::PlainText);
  std::vector<std::string> prefixes = Rows(frm.mPrefixList);
  std::sort(prefixes.begin(), prefixes.end());
  EXPECT_EQ(prefixes, (std::vector<std::string>{"+7 901 000 - +7 901 999", "+7 916 "}));
  EXPECT_EQ(Rows(frm.mDescr), (std::vector<std::string>{
                                  "Требует код подтверждения: нет"_cp,
                                  "Поддерживает юникод: нет"_cp,
                                  "Количество символов: 160"_cp,
                                  "Поддерживает быстрые сообщения: нет"_cp,
                                  "Поддерживает указание времени доставки: нет"_cp,
                                  "Поддерживает проверку статуса доставки: нет"_cp,
                              }));
  frm.lbGates->setCurrentIndex(frm.lbGates->model()->index(1, 0));
  EXPECT_EQ(frm.SelectedGateName(), "Wide");
  EXPECT_EQ(frm.lbGateVersion->text(), "12");
  EXPECT_EQ(frm.lbSite->text(), "") << "no GateURL";
  EXPECT_EQ(Rows(frm.mDescr), (std::vector<std::string>{
                                  "Требует код подтверждения: да"_cp,
                                  "Поддерживает юникод: да"_cp,
                                  "Количество символов: 160/70"_cp,
                                  "Поддерживает быстрые сообщения: нет"_cp,
                                  "Поддерживает указание времени доставки: да"_cp,
                                  "Поддерживает проверку статуса доставки: да"_cp,
                                  "",
                                  "Первая строка"_cp,
                                  "вторая"_cp,
                                  "третья"_cp,
                              }));
  EXPECT_TRUE(Rows(frm.mPrefixList).empty());
}

TEST_F(GateManager, TheDeliveryBoxIsEnabledOnlyWhereTheGateChecksDelivery) {
  Gate("Checks");
  Param("Checks", 0, "SupportCheckDelivery", "1");
  Gate("Cannot");
  Param("Cannot", 2, "DontCheckDelivery", "True");
  TGateMngFrm frm;
  frm.SetSelectedGateName("Cannot");
  frm.show();
  EXPECT_FALSE(frm.chbDontCheckDelivery->isEnabled());
  EXPECT_TRUE(frm.chbDontCheckDelivery->isChecked()) << "still shows the stored flag";
  EXPECT_TRUE(frm.chbDisabled->isEnabled());
  frm.lbGates->setCurrentIndex(frm.lbGates->model()->index(1, 0));
  ASSERT_EQ(frm.SelectedGateName(), "Checks");
  EXPECT_TRUE(frm.chbDontCheckDelivery->isEnabled());
  EXPECT_FALSE(frm.chbDontCheckDelivery->isChecked());
}

TEST_F(GateManager, BothFlagsAreStoredOnAClickAndReadBack) {
  Gate("Beta", "SMS", "HTTP", "1", "0", 10, "B");
  Param("Beta", 0, "SupportCheckDelivery", "1");
  Prefix("Beta", "7916", "7916", "1.3.7");
  Gate("Alpha", "SMS", "HTTP", "1", "0", 10, "A");
  Prefix("Alpha", "7916", "7916", "1.3.7");
  {
    TGateMngFrm frm;
    frm.SetSelectedGateName("Beta");
    frm.show();
    QModelIndex row = frm.lbGates->model()->index(1, 0);
    QColor enabled = row.data(Qt::ForegroundRole).value<QBrush>().color();
    frm.chbDisabled->click();
    EXPECT_EQ(Text("SELECT Disabled FROM gates.Gate WHERE Name='Beta'"), "1");
    EXPECT_NE(row.data(Qt::ForegroundRole).value<QBrush>().color(), enabled) << "greyed at once";
    std::vector<std::string> offered;
    TGateFactory::FindGatesForPhone("79161234567", gkAll, offered);
    EXPECT_EQ(offered, std::vector<std::string>{"Alpha"}) << "no longer offered for sending";
    frm.chbDontCheckDelivery->click();
    EXPECT_EQ(Stored("Beta", "DontCheckDelivery"), "True");
    EXPECT_TRUE(TGate::Create("Beta")->Info.GetItemNamed("DontCheckDelivery").AsBoolean());
  }
  {
    TGateMngFrm frm;
    frm.SetSelectedGateName("Beta");
    frm.show();
    EXPECT_TRUE(frm.chbDisabled->isChecked());
    EXPECT_TRUE(frm.chbDontCheckDelivery->isChecked());
    frm.chbDisabled->click();
    frm.chbDontCheckDelivery->click();
    EXPECT_EQ(Text("SELECT Disabled FROM gates.Gate WHERE Name='Beta'"), "0");
    EXPECT_FALSE(TGate::Create("Beta")->Info.GetItemNamed("DontCheckDelivery").AsBoolean());
  }
}

TEST_F(GateManager, ShowingGatesWritesNothing) {
  Gate("One", "SMS", "HTTP", "1", "1");
  Param("One", 2, "DontCheckDelivery", "1");
  Param("One", 0, "SupportCheckDelivery", "1");
  Gate("Two");
  Gate("Three", "SMS", "HTTP", "1", "1");
  int64_t before = Changes();
  TGateMngFrm frm;
  frm.SetSelectedGateName("One");
  frm.show();
  for (int pass = 0; pass < 2; ++pass)
    for (int row = 0; row < 3; ++row) frm.lbGates->setCurrentIndex(frm.lbGates->model()->index(row, 0));
  frm.btClose->click();
  EXPECT_EQ(Changes(), before);
}

TEST_F(GateManager, OnlyWebAddressesOpenFromTheSiteLabel) {
  UrlRecorder browser;
  Gate("Site");
  TGateMngFrm frm;
  frm.show();
  auto click = [&](const std::string& url) {
    frm.lbSite->setText(QStr(url));
    QPointF at(2, 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, frm.lbSite->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
    QMouseEvent release(QEvent::MouseButtonRelease, at, frm.lbSite->mapToGlobal(at), Qt::LeftButton, {}, {});
    QApplication::sendEvent(frm.lbSite, &press);
    QApplication::sendEvent(frm.lbSite, &release);
  };
  for (const char* url : {"file:///etc/passwd", "javascript:alert(1)", "mailto:a@b.ru", "", "ftp://x.ru/",
                          "http://", "http//x.ru"})
    click(url);
  EXPECT_TRUE(browser.urls.empty());
  click("http://www.mts.ru/sms");
  click("HTTPS://sms.beeline.ru/");
  EXPECT_EQ(browser.urls, (std::vector<std::string>{"http://www.mts.ru/sms", "https://sms.beeline.ru/"}));
  EXPECT_EQ(frm.lbSite->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(GateManager, TheListWidthIsKept) {
  Gate("Alpha");
  {
    TGateMngFrm frm;
    frm.show();
    frm.Splitter->setSizes({260, 300});
    int width = frm.Splitter->sizes().front();
    frm.btClose->click();
    EXPECT_NE(ini.placement.ReadString("GateMngFrm\\Gates.Sizes", ""), "");
    EXPECT_EQ(ini.placement.ReadString("GateMngFrm\\Gates.Sizes", "").substr(0, 3), std::to_string(width));
  }
  TGateMngFrm frm;
  frm.show();
  EXPECT_EQ(frm.Splitter->sizes().front(), 260);
}

}  // namespace
