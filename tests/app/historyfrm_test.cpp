// The history window over a real database, offscreen: its date tree, the
// caption of a filtered history, selections following each other, the
// clipboard, and a hundred thousand rows.
#include <QAction>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QTreeView>
#include <algorithm>

#include "datawindows.h"
#include "history.h"
#include "historyfrm.h"
#include "historymodels.h"
#include "historytext.h"
#include "qtwait.h"
#include "weblinks.h"

namespace {

class HistoryWindow : public DataWindowTest {
 protected:
  void SetUp() override {
    DataWindowTest::SetUp();
    Gate("MTS", "МТС"_cp, "7916", 20);
    Gate("Kyiv", "Киевстар"_cp, "38067", 10, "3.2.7");
    Contact("Петров"_cp, "79031112233");
  }
  static void Sent(const std::string& phone, TDateTime time, const std::string& text, const std::string& gate = "MTS",
                   const std::string& subject = "", const std::string& signature = "", uint8_t status = dsDelivered) {
    THistoryItem item;
    item.Phone = phone;
    item.GateName = gate;
    item.Message = text;
    item.Subject = subject;
    item.Signature = signature;
    item.DeliveryStatus = status;
    THistory::Add(item, time);
  }
  static TDateTime At(int y, int m, int d, int h = 12, int n = 0, int s = 0) {
    return EncodeDate(y, m, d) + EncodeTime(h, n, s);
  }

  std::unique_ptr<THistoryFrm> Open(const std::string& filter = "") {
    auto frm = std::make_unique<THistoryFrm>();
    frm->FilterPhone = filter;
    frm->show();
    QApplication::processEvents();
    return frm;
  }
  // The tree as "text" lines indented by two blanks a level.
  static std::vector<std::string> Tree(const THistoryFrm& frm) {
    std::vector<std::string> lines;
    QAbstractItemModel* model = frm.tvDates->model();
    std::function<void(const QModelIndex&, int)> walk = [&](const QModelIndex& parent, int depth) {
      for (int r = 0; r < model->rowCount(parent); ++r) {
        QModelIndex index = model->index(r, 0, parent);
        lines.push_back(std::string(depth * 2, ' ') + Utf8(index.data().toString()));
        walk(index, depth + 1);
      }
    };
    walk({}, 0);
    return lines;
  }
  static std::string Cell(const THistoryFrm& frm, int row, int column) {
    return Utf8(frm.lvHistory->model()->index(row, column).data().toString());
  }
  static std::string SelectedNodeText(const THistoryFrm& frm) {
    const THistoryDateNode* node = frm.SelectedNode();
    return node ? cp1251::ToUtf8(node->text) : "";
  }
};

TEST_F(HistoryWindow, TheDateTreeSplitsYearsMonthsAndDays) {
  Sent("79161234567", At(2023, 12, 31, 9, 15), "один");
  Sent("79161234567", At(2023, 12, 31, 18, 0), "два");
  Sent("79031112233", At(2024, 1, 1, 0, 5), "три");
  Sent("79161234567", At(2024, 1, 20), "четыре");
  Sent("79161234567", At(2024, 3, 20, 7, 30), "пять");
  auto frm = Open();
  EXPECT_EQ(Utf8(frm->windowTitle()), "История");
  EXPECT_EQ(HelpContextOf(frm->tvDates), 2000);
  EXPECT_EQ(Tree(*frm), (std::vector<std::string>{"2023", "  Декабрь", "    31 (09:15)", "2024", "  Январь",
                                                  "    1 (00:05)", "    20 (12:00)", "  Март", "    20 (07:30)"}));
  EXPECT_EQ(frm->lvHistory->model()->rowCount(), 5);
  EXPECT_EQ(Utf8(frm->StatusPanel->text()), "Сообщений: 5");

  // The newest message is selected and shown, and so is its day.
  EXPECT_EQ(frm->SelectedRow(), 4);
  EXPECT_EQ(SelectedNodeText(*frm), "20 (07:30)");
  QRect row = frm->lvHistory->visualRect(frm->lvHistory->model()->index(4, 0));
  EXPECT_TRUE(frm->lvHistory->viewport()->rect().intersects(row));
}

TEST_F(HistoryWindow, RowsShowTimeContactTextSignatureAndStatus) {
  Sent("79031112233", At(2024, 2, 3, 4, 5), "Текст"_cp, "MTS", "Тема"_cp, "Вася"_cp, dsNotDelivered);
  Sent("79169999999", At(2024, 2, 3, 5, 6), "Ещё"_cp, "MTS", "", "", dsCancelled);
  Sent("380671234567", At(2024, 2, 3, 6, 7), "Киев"_cp, "Kyiv", "", "", 9);  // a status no send leaves
  Sent("79169999999", At(2028, 12, 28, 20, 58, 48), "Позже"_cp, "MTS", "", "", dsNotSupported);
  auto frm = Open();
  QHeaderView* header = frm->lvHistory->header();
  std::vector<std::string> captions;
  for (int c = 0; c < header->count(); ++c)
    captions.push_back(Utf8(frm->lvHistory->model()->headerData(c, Qt::Horizontal).toString()));
  EXPECT_EQ(captions, (std::vector<std::string>{"Время", "Кому", "Сообщение", "Подпись", "Статус доставки"}));
  EXPECT_FALSE(header->sectionsClickable());
  // Nothing saved, nothing cut: each column at least as wide as made, as its
  // header's text and as the times and statuses it shows.
  const int made[] = {120, 150, 300, 100, 100};
  const QAbstractItemView& rows = *frm->lvHistory;  // its width a column's rows need, as the view measures it
  for (int c = 0; c < header->count(); ++c) {
    EXPECT_GE(header->sectionSize(c), std::max(made[c], header->sectionSizeHint(c))) << captions[c];
    if (c == hcTime || c == hcStatus) {
      EXPECT_GE(header->sectionSize(c), rows.sizeHintForColumn(c)) << captions[c];
    }
  }
  // Saved widths, narrower or wider, come back as saved.
  profile.placement.WriteString("HistoryFrm\\lvHistory.Widths", "60,150,420,100,70");
  auto again = Open();
  const int saved[] = {60, 150, 420, 100, 70};
  for (int c = 0; c < header->count(); ++c) EXPECT_EQ(again->lvHistory->header()->sectionSize(c), saved[c]) << captions[c];

  EXPECT_EQ(Cell(*frm, 0, 0), "03.02.2024 04:05:00");
  EXPECT_EQ(Cell(*frm, 0, 1), "Петров [+79031112233]");  // no range covers 7903
  EXPECT_EQ(Cell(*frm, 0, 2), "Тема. Текст");
  EXPECT_EQ(Cell(*frm, 0, 3), "Вася");
  EXPECT_EQ(Cell(*frm, 0, 4), "Не доставлено");
  EXPECT_EQ(Cell(*frm, 1, 1), "+7 916 999-99-99");
  EXPECT_EQ(Cell(*frm, 1, 4), "Отменен");
  EXPECT_EQ(Cell(*frm, 2, 1), "+380 67 123-45-67");
  EXPECT_EQ(Cell(*frm, 2, 4), "");
  EXPECT_EQ(Cell(*frm, 3, 0), "28.12.2028 20:58:48");
  EXPECT_EQ(Cell(*frm, 3, 4), "Не поддерживается или отключен");
}

TEST_F(HistoryWindow, AFilteredCaptionNamesTheContactOrFormatsTheNumber) {
  Sent("79031112233", At(2024, 1, 1), "a");
  Sent("79161234567", At(2024, 1, 2), "b");
  Sent("79161234567", At(2024, 1, 3), "c");
  const std::pair<std::string, std::string> cases[] = {
      {"79031112233", "История - Петров +79031112233"},
      {"79161234567", "История - +7 916 123-45-67"},  // no contact: the first gate's format
      {"380671234567", "История - +380 67 123-45-67"},
      {"4912345", "История - +4912345"},  // neither
  };
  for (const auto& [phone, caption] : cases) {
    auto frm = Open(phone);
    EXPECT_EQ(Utf8(frm->windowTitle()), caption) << phone;
  }
  auto frm = Open("79161234567");
  EXPECT_EQ(frm->Items().Count(), 2);
  EXPECT_EQ(Utf8(frm->StatusPanel->text()), "Сообщений: 2 с учетом фильтра");

  // Shown again: the caption is made anew, the messages listed once.
  frm->hide();
  frm->show();
  QApplication::processEvents();
  EXPECT_EQ(Utf8(frm->windowTitle()), "История - +7 916 123-45-67");
  EXPECT_EQ(frm->Items().Count(), 2);
  EXPECT_EQ(frm->lvHistory->model()->rowCount(), 2);
  frm->FilterPhone.clear();
  frm->hide();
  frm->show();
  QApplication::processEvents();
  EXPECT_EQ(Utf8(frm->windowTitle()), "История");
  EXPECT_EQ(Utf8(frm->StatusPanel->text()), "Сообщений: 3");
}

TEST_F(HistoryWindow, AMessageToANumberTwoContactsShareIsListedOnce) {
  Contact("Петров дома"_cp, "79031112233");
  Sent("79031112233", At(2024, 1, 1), "a");
  auto frm = Open();
  EXPECT_EQ(frm->lvHistory->model()->rowCount(), 1);
  EXPECT_EQ(Utf8(frm->StatusPanel->text()), "Сообщений: 1");
}

TEST_F(HistoryWindow, TreeAndListSelectionsFollowEachOther) {
  Sent("79161234567", At(2023, 11, 5), "0");
  Sent("79161234567", At(2023, 12, 1, 8), "1");
  Sent("79161234567", At(2023, 12, 1, 9), "2");
  Sent("79161234567", At(2023, 12, 7), "3");
  Sent("79161234567", At(2024, 1, 2), "4");
  auto frm = Open();
  auto* model = static_cast<THistoryDateModel*>(frm->tvDates->model());
  QModelIndex year2023 = model->index(0, 0);
  QModelIndex december = model->index(1, 0, year2023);
  ASSERT_EQ(Utf8(december.data().toString()), "Декабрь");

  // A month chosen in the tree: its first message in the list, the month
  // staying selected in the tree.
  frm->tvDates->setCurrentIndex(december);
  EXPECT_EQ(frm->SelectedRow(), 1);
  EXPECT_EQ(SelectedNodeText(*frm), "Декабрь");
  frm->tvDates->setCurrentIndex(year2023);
  EXPECT_EQ(frm->SelectedRow(), 0);
  EXPECT_EQ(SelectedNodeText(*frm), "2023");

  // A message chosen in the list: its day in the tree, the list staying.
  frm->SelectRow(2);
  EXPECT_EQ(SelectedNodeText(*frm), "1 (08:00)");
  EXPECT_EQ(frm->SelectedRow(), 2);
  frm->SelectRow(3);
  EXPECT_EQ(SelectedNodeText(*frm), "7 (12:00)");
  EXPECT_TRUE(frm->tvDates->isExpanded(december));

  // A click on the node already selected brings its message back.
  frm->SelectRow(4);
  frm->tvDates->setCurrentIndex(december);
  frm->SelectRow(3);
  emit frm->tvDates->clicked(frm->tvDates->currentIndex());
  EXPECT_EQ(frm->SelectedRow(), 3);  // the day of row 3 is selected: its first message is row 3
}

TEST_F(HistoryWindow, CopyPutsTheTextOrTheWholeRecordOnTheClipboard) {
  Options->WriteString("Message\\SignatureDelimiter", "\\n-- ");
  Sent("79031112233", At(2024, 5, 6, 7, 8), "Строка 1\r\nСтрока 2"_cp, "MTS", "Тема"_cp, "Вася"_cp);
  Sent("79161234567", At(2024, 5, 6, 9, 10), "Просто"_cp);
  auto frm = Open();
  frm->SelectRow(0);
  frm->Action("aCopy")->trigger();
  EXPECT_EQ(Utf8(QApplication::clipboard()->text()), "Строка 1\r\nСтрока 2");
  frm->Action("aCopyAsText")->trigger();
  EXPECT_EQ(Utf8(QApplication::clipboard()->text()),
            "06.05.2024 07:08:00\r\nПетров [+79031112233]\r\nТема\r\nСтрока 1\r\nСтрока 2\r\n-- Вася");
  frm->SelectRow(1);
  frm->Action("aCopyAsText")->trigger();
  EXPECT_EQ(Utf8(QApplication::clipboard()->text()), "06.05.2024 09:10:00\r\n+7 916 123-45-67\r\nПросто");

  // Nothing selected: nothing copied, nothing closed.
  frm->lvHistory->selectionModel()->clearSelection();
  QApplication::clipboard()->setText("before");
  frm->Action("aCopy")->trigger();
  frm->Action("aCopyAsText")->trigger();
  frm->Action("aSendSMS")->trigger();
  EXPECT_EQ(Utf8(QApplication::clipboard()->text()), "before");
  EXPECT_TRUE(frm->isVisible());
  const std::pair<const char*, const char*> captions[] = {{"aSendSMS", "Отправить сообщение"},
                                                          {"aPasteText", "Добавить к сообщению"},
                                                          {"aCopy", "Копировать текст"},
                                                          {"aCopyAsText", "Копировать"},
                                                          {"aClose", "Закрыть"}};
  for (const auto& [name, caption] : captions) EXPECT_EQ(Utf8(frm->Action(name)->text()), caption);
  frm->Action("aClose")->trigger();
  EXPECT_EQ(frm->result(), QDialog::Rejected);
}

TEST_F(HistoryWindow, ARowWithAnImpossibleTimeStillOpensTheWindow) {
  Sent("79161234567", At(2024, 1, 2), "ok");
  db().ExecSQL("INSERT INTO History (DateTime, GateName, Phone, Message) VALUES (99999999999999, 'MTS', '1', 'far')");
  db().ExecSQL("INSERT INTO History (DateTime, GateName, Phone, Message) VALUES ('soon', 'MTS', '1', 'text')");
  auto frm = Open();
  ASSERT_EQ(frm->lvHistory->model()->rowCount(), 3);
  // The database orders text after numbers; text reads as 0 seconds.
  EXPECT_EQ(Tree(*frm), (std::vector<std::string>{"2024", "  Январь", "    2 (12:00)"}));
  EXPECT_EQ(Cell(*frm, 1, 2), "far");
  EXPECT_EQ(Cell(*frm, 1, 0), "");  // no date the calendar knows
  EXPECT_EQ(Cell(*frm, 2, 0), "01.01.1970");
  for (int row : {1, 2}) {
    frm->SelectRow(row);
    EXPECT_EQ(SelectedNodeText(*frm), "2 (12:00)");  // out of order: under the day before
  }
}

TEST_F(HistoryWindow, AnEmptyHistoryShowsNothing) {
  auto frm = Open("79161234567");
  EXPECT_EQ(frm->tvDates->model()->rowCount(), 0);
  EXPECT_EQ(frm->lvHistory->model()->rowCount(), 0);
  EXPECT_EQ(Utf8(frm->StatusPanel->text()), "Сообщений: 0 с учетом фильтра");
  EXPECT_EQ(frm->SelectedItem(), nullptr);
}

TEST_F(HistoryWindow, AHundredThousandRowsAreOneModelAndOneTree) {
  // Two messages an hour from 2020 on.
  db().ExecSQL(
      "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 99999) "
      "INSERT INTO History (DateTime, GateName, Phone, Message, DeliveryStatus) "
      "SELECT 1577880000 + i * 1800, 'MTS', '7916' || (1000000 + i % 50), 'message ' || i, i % 5 FROM n");
  auto frm = Open();
  EXPECT_EQ(frm->lvHistory->model()->rowCount(), 100000);
  EXPECT_EQ(frm->tvDates->model()->rowCount(), 6);  // 2020 to 2025
  EXPECT_EQ(frm->SelectedRow(), 99999);
  EXPECT_EQ(Cell(*frm, 99999, 2), "message 99999");
  // One node a year, a month of a year and a day, as the database counts them.
  int64_t nodes = db().GetIntValue(
      "SELECT (SELECT COUNT(DISTINCT strftime('%Y', DateTime, 'unixepoch')) FROM History) + "
      "(SELECT COUNT(DISTINCT strftime('%Y-%m', DateTime, 'unixepoch')) FROM History) + "
      "(SELECT COUNT(DISTINCT strftime('%Y-%m-%d', DateTime, 'unixepoch')) FROM History)");
  EXPECT_EQ(frm->DateTree().NodeCount(), nodes);
}

}  // namespace
