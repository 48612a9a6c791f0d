// The decisions of the phone book, the contact editor, the history and the
// about box that need neither a display nor a database.
#include <gtest/gtest.h>

#include "aboutfrm.h"
#include "cp1251.h"
#include "datetime.h"
#include "history.h"
#include "historytext.h"
#include "historytree.h"
#include "phonebookrules.h"

namespace {

std::string U(const std::string& cp) { return cp1251::ToUtf8(cp); }

TEST(PhoneBookRules, NewGroupNameTakesTheFirstFreeNumberWithoutRegardToCase) {
  EXPECT_EQ(U(NewGroupName({"Без группы"_cp})), "Новая группа");
  EXPECT_EQ(U(NewGroupName({"Без группы"_cp, "Новая группа"_cp})), "Новая группа 1");
  EXPECT_EQ(U(NewGroupName({"НОВАЯ ГРУППА"_cp, "новая группа 1"_cp})), "Новая группа 2");
  // A gap is filled; numbers above it do not matter.
  EXPECT_EQ(U(NewGroupName({"Новая группа"_cp, "Новая группа 2"_cp, "Новая группа 3"_cp})), "Новая группа 1");
  // Near misses are no clash.
  EXPECT_EQ(U(NewGroupName({"Новая группа "_cp, "Новая группа1"_cp})), "Новая группа");
}

TEST(PhoneBookRules, ARenameIsUndoneWhenEmptyOrTakenByAnyNode) {
  std::vector<std::string> nodes = {"Без группы"_cp, "Друзья"_cp, "Работа"_cp};
  EXPECT_TRUE(AcceptGroupName("Семья"_cp, nodes));
  EXPECT_FALSE(AcceptGroupName("", nodes));
  EXPECT_FALSE(AcceptGroupName("работа"_cp, nodes));      // another group, other case
  EXPECT_FALSE(AcceptGroupName("ДРУЗЬЯ"_cp, nodes));      // its own name in another case
  EXPECT_FALSE(AcceptGroupName("без группы"_cp, nodes));  // the first node's text is taken too
  EXPECT_TRUE(AcceptGroupName(" Друзья"_cp, nodes));      // not the same text
}

TEST(PhoneBookRules, ADropNeedsTheOwnListANodeAndAnotherGroup) {
  EXPECT_TRUE(AcceptContactDrop(true, true, 5, 0));
  EXPECT_TRUE(AcceptContactDrop(true, true, 0, 5));  // onto "Без группы"
  EXPECT_FALSE(AcceptContactDrop(true, true, 5, 5));
  EXPECT_FALSE(AcceptContactDrop(true, true, 0, 0));
  EXPECT_FALSE(AcceptContactDrop(false, true, 5, 0));
  EXPECT_FALSE(AcceptContactDrop(true, false, 0, 5));
}

TEST(ContactEditorRules, OkNeedsBothChecksAndTheNameWarningComesFirst) {
  TContactDuplicates d;
  EXPECT_TRUE(d.OkEnabled());
  EXPECT_EQ(d.Warning(), "");
  d.phone = true;
  EXPECT_FALSE(d.OkEnabled());
  EXPECT_EQ(U(d.Warning()), "Контакт с таким номером уже существует");
  d.name = true;
  EXPECT_FALSE(d.OkEnabled());
  EXPECT_EQ(U(d.Warning()), "Контакт с таким именем уже существует");
  d.phone = false;
  EXPECT_EQ(U(d.Warning()), "Контакт с таким именем уже существует");
  EXPECT_FALSE(d.OkEnabled());

  EXPECT_FALSE(IsOtherContact(0, 0));
  EXPECT_FALSE(IsOtherContact(7, 7));
  EXPECT_TRUE(IsOtherContact(7, 0));
  EXPECT_TRUE(IsOtherContact(7, 3));
}

TEST(ContactEditorRules, TheCheckBoxCyclesGrayedUncheckedCheckedAndMapsToTheMode) {
  Qt::CheckState s = Qt::PartiallyChecked;
  std::vector<Qt::CheckState> seen;
  for (int i = 0; i < 4; ++i) seen.push_back(s = NextTranslitState(s));
  EXPECT_EQ(seen, (std::vector<Qt::CheckState>{Qt::Unchecked, Qt::Checked, Qt::PartiallyChecked, Qt::Unchecked}));

  EXPECT_EQ(CheckStateToTranslit(Qt::Unchecked), 2);
  EXPECT_EQ(CheckStateToTranslit(Qt::Checked), 1);
  EXPECT_EQ(CheckStateToTranslit(Qt::PartiallyChecked), 0);
  for (uint8_t mode : {0, 1, 2}) EXPECT_EQ(CheckStateToTranslit(TranslitToCheckState(mode)), mode);
  EXPECT_EQ(TranslitToCheckState(7), Qt::PartiallyChecked);  // a damaged row: the main window decides
}

THistoryItem Message(TDateTime time, const std::string& text) {
  THistoryItem item;
  item.DateTime = time;
  item.Message = text;
  item.Phone = "79161234567";
  item.Format = "1.3.7";
  return item;
}

TEST(HistoryText, RowsShowSubjectStatusAndTimeInTheProgramsFormat) {
  THistoryItem item = Message(EncodeDate(2024, 3, 5) + EncodeTime(9, 7, 3), "Привет"_cp);
  EXPECT_EQ(HistoryColumnText(item, hcTime), "05.03.2024 09:07:03");
  EXPECT_EQ(HistoryColumnText(item, hcTo), "+7 916 123-45-67");
  item.Name = "Вася"_cp;
  EXPECT_EQ(U(HistoryColumnText(item, hcTo)), "Вася [+7 916 123-45-67]");
  EXPECT_EQ(U(HistoryColumnText(item, hcMessage)), "Привет");
  item.Subject = "Тема"_cp;
  EXPECT_EQ(U(HistoryColumnText(item, hcMessage)), "Тема. Привет");
  const char* statuses[] = {"Неизвестен", "Не поддерживается или отключен", "Доставлено", "Отменен", "Не доставлено"};
  for (uint8_t s = 0; s < 5; ++s) {
    item.DeliveryStatus = s;
    EXPECT_EQ(U(HistoryColumnText(item, hcStatus)), statuses[s]);
  }
  for (uint8_t s : {5, 99, 255}) {
    item.DeliveryStatus = s;
    EXPECT_EQ(HistoryColumnText(item, hcStatus), "") << int(s);
  }
  EXPECT_EQ(HistoryTimeText(EncodeDate(2024, 3, 5)), "05.03.2024");  // midnight: the date alone
  EXPECT_EQ(HistoryTimeText(1e300), "");                               // a damaged row
}

TEST(HistoryText, TheCopiedRecordHasFiveOrThreeParts) {
  THistoryItem item = Message(EncodeDate(2023, 12, 31) + EncodeTime(23, 59, 0), "Текст\r\nвторая"_cp);
  item.Name = "Вася"_cp;
  item.Subject = "Тема"_cp;
  item.Signature = "Петя"_cp;
  // The signature joined as a send joins it: the delimiter's escapes expanded.
  EXPECT_EQ(U(HistoryRecordText(item, "\\n-- ")),
            "31.12.2023 23:59:00\r\nВася [+7 916 123-45-67]\r\nТема\r\nТекст\r\nвторая\r\n-- Петя");
  EXPECT_TRUE(U(HistoryRecordText(item, " (\\s)")).ends_with("\r\nТекст\r\nвторая (Петя)"));
  item.Subject.clear();
  item.Signature.clear();
  item.Name.clear();
  EXPECT_EQ(U(HistoryRecordText(item, "\\n-- ")), "31.12.2023 23:59:00\r\n+7 916 123-45-67\r\nТекст\r\nвторая");
}

TEST(HistoryText, TheStatusLineSaysWhenAFilterIsSet) {
  EXPECT_EQ(U(HistoryCountText(0, false)), "Сообщений: 0");
  EXPECT_EQ(U(HistoryCountText(12, true)), "Сообщений: 12 с учетом фильтра");
}

struct TreeLine {
  int depth;
  std::string text;
  int item;
};

void Walk(const std::vector<THistoryDateNode*>& nodes, int depth, std::vector<TreeLine>& out) {
  for (const THistoryDateNode* n : nodes) {
    out.push_back({depth, U(n->text), n->item});
    Walk(n->children, depth + 1, out);
  }
}

TEST(HistoryDateTree, YearsMonthsAndDaysInOnePass) {
  THistoryItemList items;
  const TDateTime times[] = {
      EncodeDate(2023, 12, 31) + EncodeTime(8, 5, 0),   // 0
      EncodeDate(2023, 12, 31) + EncodeTime(22, 0, 0),  // 1: same day, no node
      EncodeDate(2024, 1, 1) + EncodeTime(0, 0, 1),     // 2: new year
      EncodeDate(2024, 1, 9) + EncodeTime(12, 30, 0),   // 3
      EncodeDate(2024, 2, 9) + EncodeTime(7, 0, 0),     // 4: same day number, new month
      EncodeDate(2025, 2, 9) + EncodeTime(7, 0, 0),     // 5: same month and day, new year
  };
  for (TDateTime t : times) items.Add(std::make_unique<THistoryItem>(Message(t, "x")));
  THistoryDateTree tree;
  tree.Build(items);
  std::vector<TreeLine> lines;
  Walk(tree.Years(), 0, lines);
  std::vector<std::tuple<int, std::string, int>> got;
  for (const auto& l : lines) got.emplace_back(l.depth, l.text, l.item);
  std::vector<std::tuple<int, std::string, int>> expected = {
      {0, "2023", 0}, {1, "Декабрь", 0}, {2, "31 (08:05)", 0}, {0, "2024", 2},   {1, "Январь", 2},
      {2, "1 (00:00)", 2}, {2, "9 (12:30)", 3}, {1, "Февраль", 4}, {2, "9 (07:00)", 4}, {0, "2025", 5},
      {1, "Февраль", 5}, {2, "9 (07:00)", 5},
  };
  EXPECT_EQ(got, expected);
  // Each message knows its day node.
  auto day = [&](int i) { return static_cast<const THistoryDateNode*>(items[i]->DateNode); };
  EXPECT_EQ(day(0), day(1));
  EXPECT_EQ(day(1)->text, "31 (08:05)");
  EXPECT_EQ(day(3)->parent->parent->text, "2024");
  EXPECT_NE(day(4), day(3));
  for (int i = 0; i < items.Count(); ++i) EXPECT_EQ(day(i)->level, THistoryDateNode::Day);

  // Rebuilding replaces the tree; an empty list gives none.
  tree.Build(THistoryItemList());
  EXPECT_TRUE(tree.Years().empty());
  EXPECT_EQ(tree.NodeCount(), 0);
}

TEST(HistoryDateTree, AMessageWithoutADateStaysUnderThePreviousDay) {
  THistoryItemList items;
  items.Add(std::make_unique<THistoryItem>(Message(1e300, "first, damaged")));
  items.Add(std::make_unique<THistoryItem>(Message(EncodeDate(2024, 5, 1), "a")));
  items.Add(std::make_unique<THistoryItem>(Message(std::nan(""), "damaged")));
  THistoryDateTree tree;
  tree.Build(items);
  EXPECT_EQ(tree.NodeCount(), 3);
  EXPECT_EQ(items[0]->DateNode, nullptr);
  EXPECT_EQ(items[2]->DateNode, items[1]->DateNode);
}

TEST(AboutBox, VersionTextAndMailAddress) {
  EXPECT_EQ(AboutVersionText("1.2.3.45", {9, 9, 9, 9}), "1.2.3.45");
  EXPECT_EQ(AboutVersionText("", {1, 0, 12, 345}), "1.0.12.345");
  EXPECT_EQ(MailtoAddress("a@b.org"), "mailto:a@b.org?subject=Parlomix");
}

}  // namespace
