#include "history.h"

#include <gtest/gtest.h>

#include "core/fresh_database.h"
#include "cp1251.h"
#include "phonebook.h"

namespace {

class History : public FreshDatabase {
 protected:
  TDateTime start = EncodeDate(2024, 5, 1) + EncodeTime(12, 0, 0);

  void SetUp() override {
    FreshDatabase::SetUp();
    // Two ranges of one gate cover the same numbers.
    AddGate("MTS", "МТС"_cp, {{"7910", "7919", "1.3.7"}, {"79160", "79169", "1.3.7"}});
    AddGate("Beeline", "Билайн"_cp, {{"7903", "7909", "1.3.7"}});
  }
  void Send(const std::string& phone, const std::string& gate, const std::string& text, int minutes,
            uint8_t status = dsDelivered) {
    THistoryItem item;
    item.Phone = phone;
    item.GateName = gate;
    item.Message = text;
    item.Subject = "S";
    item.Signature = "Вася"_cp;
    item.DeliveryStatus = status;
    THistory::Add(item, start + minutes / 1440.0);
  }
  void Contact(const std::string& name, const std::string& phone) {
    TPhoneBookItem item;
    item.Name = name;
    item.Phone = phone;
    TPhoneBook::AddItem(item);
  }
  std::vector<std::string> Texts(const std::string& phone, uint8_t flags = 0, int limit = 0) {
    THistoryItemList list;
    int count = THistory::LoadFiltered(list, phone, flags, limit);
    EXPECT_EQ(count, list.Count());
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i) {
      const THistoryItem* h = list[i];
      out.push_back(flags & THistory::kDistinctNumbers ? h->Phone + "/" + h->GateName + "/" + cp1251::ToUtf8(h->Name)
                                                       : h->Message);
    }
    return out;
  }
};

TEST(DeliveryStatus, TextsAndSendMapping) {
  EXPECT_EQ(DeliveryStatusText(dsUnknown), "Неизвестен"_cp);
  EXPECT_EQ(DeliveryStatusText(dsNotSupported), "Не поддерживается или отключен"_cp);
  EXPECT_EQ(DeliveryStatusText(dsDelivered), "Доставлено"_cp);
  EXPECT_EQ(DeliveryStatusText(dsCancelled), "Отменен"_cp);
  EXPECT_EQ(DeliveryStatusText(dsNotDelivered), "Не доставлено"_cp);
  EXPECT_EQ(DeliveryStatusText(77), "Неизвестен"_cp);
  const uint8_t sendToDelivery[][2] = {{0, dsNotSupported}, {1, dsDelivered}, {2, dsNotDelivered},
                                       {4, dsCancelled},    {5, dsCancelled}, {9, dsUnknown}};
  for (const auto& [send, delivery] : sendToDelivery) EXPECT_EQ(DeliveryStatusOfSend(send), delivery) << int(send);
}

TEST_F(History, TimesAreWholeSecondsRoundedToTheNearest) {
  THistoryItem item;
  item.Phone = "79161234567";
  THistory::Add(item, start + EncodeTime(0, 0, 0, 600));
  THistory::Add(item, start + EncodeTime(0, 0, 1, 400));
  THistoryItemList list;
  ASSERT_EQ(THistory::Load(list, ""), 2);
  EXPECT_EQ(DateTimeToStr(list[0]->DateTime), "01.05.2024 12:00:01");
  EXPECT_EQ(DateTimeToStr(list[1]->DateTime), "01.05.2024 12:00:01");
  EXPECT_EQ(db().GetIntValue("SELECT DateTime FROM History LIMIT 1"), DateTimeToUnix(start) + 1);
}

TEST_F(History, EachRowOnceWithNameFormatAndCaption) {
  Contact("Иванов"_cp, "79161234567");
  Contact("Сидоров"_cp, "79161234567");  // a second contact with the same number
  Send("79161234567", "MTS", "first", 3, dsNotDelivered);
  Send("79031112233", "Beeline", "second", 2);
  Send("79161234567", "Gone", "third", 1);  // the gate no longer exists

  THistoryItemList list;
  ASSERT_EQ(THistory::Load(list, ""), 3);  // one per row, not per contact or range
  const THistoryItem* third = list[0];
  EXPECT_EQ(third->Message, "third");
  EXPECT_EQ(third->Caption, "");
  EXPECT_EQ(third->Format, "");
  const THistoryItem* first = list[2];
  EXPECT_EQ(first->Message, "first");
  EXPECT_EQ(first->Format, "1.3.7");
  EXPECT_EQ(first->Caption, "МТС"_cp);
  EXPECT_TRUE(first->Name == "Иванов"_cp || first->Name == "Сидоров"_cp);
  EXPECT_EQ(first->DeliveryStatus, dsNotDelivered);
  EXPECT_EQ(first->Subject, "S");
  EXPECT_EQ(first->Signature, "Вася"_cp);
  EXPECT_GT(first->ID, 0);
  EXPECT_EQ(list[1]->Name, "");

  // Exact number, oldest first.
  EXPECT_EQ(Texts("79161234567"), (std::vector<std::string>{"third", "first"}));
  EXPECT_EQ(Texts("7916123456"), std::vector<std::string>{});
  EXPECT_EQ(Texts("1234", THistory::kMatchSubstring), (std::vector<std::string>{"third", "first"}));
  EXPECT_EQ(Texts("", 0, 2), (std::vector<std::string>{"third", "second"}));
  // Whatever the caller hands in stays a value, never SQL.
  EXPECT_EQ(Texts("' OR 1=1 --"), std::vector<std::string>{});
}

TEST_F(History, DistinctNumbersForSuggestions) {
  Contact("Иванов"_cp, "79161234567");
  for (int i = 0; i < 5; ++i) Send("79161234567", "MTS", "m", i);
  Send("79161234567", "Beeline", "m", 10);  // the same number through another gate
  Send("79031916000", "Beeline", "m", 11);
  Send("79035550000", "Beeline", "m", 12);

  const uint8_t kSuggest = THistory::kMatchSubstring | THistory::kDistinctNumbers;
  EXPECT_EQ(Texts("916", kSuggest, 100),
            (std::vector<std::string>{"79161234567/MTS/Иванов", "79161234567/Beeline/Иванов", "79031916000/Beeline/"}));
  EXPECT_EQ(Texts("916", kSuggest, 1).size(), 1u);

  THistoryItemList list;
  THistory::LoadFiltered(list, "555", kSuggest, 100);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0]->Message, "");
  EXPECT_EQ(list[0]->ID, 0);
  EXPECT_EQ(list[0]->Format, "1.3.7");
  EXPECT_EQ(list[0]->Caption, "Билайн"_cp);
}

// The bare numbers are the distinct suggestions without a filter, in their
// order, without the lookups.
TEST_F(History, NumbersAreTheDistinctRowsInTheirOrder) {
  std::vector<THistoryNumber> numbers;
  THistory::LoadNumbers(numbers);
  EXPECT_TRUE(numbers.empty());
  Send("79035550000", "Beeline", "m", 12);
  for (int i = 0; i < 3; ++i) Send("79161234567", "MTS", "m", 20 - i);
  Send("79161234567", "Beeline", "m", 10);
  Send("79161234567", "", "m", 30);
  THistoryItemList list;
  THistory::LoadFiltered(list, "", THistory::kMatchSubstring | THistory::kDistinctNumbers, 0);
  THistory::LoadNumbers(numbers);
  ASSERT_EQ(numbers.size(), 4u);
  ASSERT_EQ(list.Count(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(numbers[i].Phone, list[i]->Phone);
    EXPECT_EQ(numbers[i].GateName, list[i]->GateName);
  }
  EXPECT_EQ(numbers[0].GateName, "Beeline");
  EXPECT_EQ(numbers[1].Phone, "79035550000");
  EXPECT_EQ(numbers[2].GateName, "MTS") << "first used at minute 18";
}

TEST_F(History, ClearEmptiesTheTable) {
  EXPECT_TRUE(THistory::Clear());
  Send("79161234567", "MTS", "x", 0);
  EXPECT_TRUE(THistory::Clear());
  EXPECT_EQ(db().GetIntValue("SELECT count(*) FROM History"), 0);
  // Inside a transaction of the caller's the clear refuses rather than
  // committing the caller's work.
  db().BeginTransaction();
  Send("79161234567", "MTS", "x", 0);
  EXPECT_FALSE(THistory::Clear());
  db().Rollback();
  EXPECT_EQ(db().GetIntValue("SELECT count(*) FROM History"), 0);
}

TEST(HistoryItem, AssignAndClear) {
  THistoryItem a;
  a.Phone = "7";
  a.Message = "m";
  a.DateTime = 3.5;
  a.DeliveryStatus = dsDelivered;
  int node = 0;
  a.DateNode = &node;
  THistoryItem b;
  b.Assign(&a);
  EXPECT_EQ(b.Phone + b.Message, "7m");
  EXPECT_EQ(b.DateTime, 3.5);
  EXPECT_EQ(b.DateNode, &node);
  EXPECT_EQ(b.DeliveryStatus, dsDelivered);
  b.Clear();
  EXPECT_EQ(b.Phone + b.Message, "");
  EXPECT_EQ(b.DateNode, nullptr);
  EXPECT_EQ(b.DeliveryStatus, dsUnknown);
  // A contact takes the shared fields of a history item.
  TPhoneBookItem contact;
  contact.Signature = "kept";
  contact.Assign(&a);
  EXPECT_EQ(contact.Phone, "7");
  EXPECT_EQ(contact.Signature, "kept");
}

}  // namespace
