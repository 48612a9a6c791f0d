#include "phonebook.h"

#include <gtest/gtest.h>

#include "core/fresh_database.h"
#include "contactsearch.h"
#include "cp1251.h"
#include "prefixsql.h"

namespace {

class PhoneBook : public FreshDatabase {
 protected:
  int friends = 0, work = 0;

  void SetUp() override {
    FreshDatabase::SetUp();
    AddGate("MTS", "МТС"_cp, {{"7910", "7919", "1.3.7"}, {"7980", "7989", "1.3.7"}});
    AddGate("Beeline", "Билайн"_cp, {{"7903", "7909", "1.3.7"}, {"7960", "7969", "1.3.7"}});
    AddGate("Kyivstar", "Киевстар"_cp, {{"38067", "38067", "3.2.7"}});
    friends = Group("Друзья"_cp);
    work = Group("Работа"_cp);
    Contact("Иванов Иван"_cp, "79161234567", "", friends);
    Contact("Петров"_cp, "79031112233", "Beeline", friends);
    Contact("Сидоров"_cp, "79161234567", "", work);  // shares Иванов's number
    Contact("Taras", "380671234567", "", 0);
    Contact("Abroad", "4915112345678", "", 0);          // no range covers it
    Contact("Wrong gate", "79161110000", "Beeline", 0);  // the gate has no range for it
  }

  int Group(const std::string& name) {
    TPhoneBookGroup group;
    group.Name = name;
    return TPhoneBook::AddGroup(group).ID;
  }
  int Contact(const std::string& name, const std::string& phone, const std::string& gate, int group) {
    TPhoneBookItem item;
    item.Name = name;
    item.Phone = phone;
    item.GateName = gate;
    item.GroupID = group;
    return TPhoneBook::AddItem(item).ID;
  }
  static std::vector<std::string> Names(const TCustomPhoneItemList& list) {
    std::vector<std::string> names;
    for (const auto& item : list) names.push_back(cp1251::ToUtf8(item->Name));
    return names;
  }
  std::vector<std::string> Loaded(const std::vector<int>& groups) {
    TPhoneBookItemList list;
    int count = TPhoneBook::LoadItems(list, groups);
    EXPECT_EQ(count, list.Count());
    return Names(list);
  }
  std::vector<std::string> Found(const std::string& text) {
    TPhoneBookItemList list;
    bool any = TPhoneBook::FindByText(text, list);
    EXPECT_EQ(any, !list.Empty());
    return Names(list);
  }
};

TEST_F(PhoneBook, GroupFiltersAndSharedNumbers) {
  using V = std::vector<std::string>;
  // Everybody, by name in the byte order of UTF-8, both holders of the
  // shared number included.
  EXPECT_EQ(Loaded({}), (V{"Abroad", "Taras", "Wrong gate", "Иванов Иван", "Петров", "Сидоров"}));
  EXPECT_EQ(Loaded({0}), (V{"Abroad", "Taras", "Wrong gate"}));
  EXPECT_EQ(Loaded({0, friends}), (V{"Abroad", "Taras", "Wrong gate"}));
  EXPECT_EQ(Loaded({friends, work}), (V{"Иванов Иван", "Петров", "Сидоров"}));
  EXPECT_EQ(Loaded({work}), V{"Сидоров"});

  TPhoneBookGroupList groups;
  EXPECT_EQ(TPhoneBook::LoadGroups(groups), 2);
  EXPECT_EQ(groups[0]->Name, "Друзья"_cp);
  EXPECT_EQ(groups[1]->ID, work);

  // Suggestions show a number once.
  EXPECT_EQ(Found("79161234567").size(), 1u);
  EXPECT_EQ(Found("7916").size(), 2u);

  // A deleted group leaves its members without a group.
  EXPECT_TRUE(TPhoneBook::DeleteGroup(friends));
  EXPECT_EQ(Loaded({0}), (V{"Abroad", "Taras", "Wrong gate", "Иванов Иван", "Петров"}));
  groups.Clear();
  EXPECT_EQ(TPhoneBook::LoadGroups(groups), 1);
}

TEST_F(PhoneBook, FormatsAndCaptionsComeFromTheGates) {
  TPhoneBookItemList list;
  TPhoneBook::LoadItems(list, {});
  auto find = [&](const std::string& name) -> TPhoneBookItem* {
    for (int i = 0; i < list.Count(); ++i)
      if (list[i]->Name == name) return list[i];
    return nullptr;
  };
  EXPECT_EQ(find("Иванов Иван"_cp)->Format, "1.3.7");  // any gate's range serves a contact without a gate
  EXPECT_EQ(find("Иванов Иван"_cp)->Caption, "");
  EXPECT_EQ(find("Петров"_cp)->Format, "1.3.7");
  EXPECT_EQ(find("Петров"_cp)->Caption, "Билайн"_cp);
  EXPECT_EQ(find("Petrov"), nullptr);
  EXPECT_EQ(find("Taras")->Format, "3.2.7");
  EXPECT_EQ(find("Abroad")->Format, "");
  EXPECT_EQ(find("Wrong gate")->Format, "");  // only the contact's own gate counts
  EXPECT_EQ(find("Сидоров"_cp)->GroupID, work);

  // The nearest range start below a number need not cover it; the lookup
  // goes on to one that does.
  AddGate("Narrow", "N", {{"79165", "79165", "2.2.7"}});
  Contact("Nearest", "79169000000", "", 0);
  EXPECT_EQ(TPhoneBook::GetItemByPhone("79169000000")->Format, "1.3.7");
  EXPECT_EQ(TPhoneBook::GetItemByPhone("79165000000") , nullptr);
  Contact("Inside", "79165000000", "Narrow", 0);
  EXPECT_EQ(TPhoneBook::GetItemByPhone("79165000000")->Format, "2.2.7");

  // A gate removed from the gates database: the contact keeps its gate name.
  db().ExecSQL("DELETE FROM gates.Gate WHERE Name='Beeline'");
  auto petrov = TPhoneBook::GetItemByPhone("79031112233");
  ASSERT_NE(petrov, nullptr);
  EXPECT_EQ(petrov->GateName, "Beeline");
  EXPECT_EQ(petrov->Caption, "");
  EXPECT_EQ(petrov->GroupID, friends);
  EXPECT_EQ(TPhoneBook::GetItemByPhone("7903111223"), nullptr);
}

TEST_F(PhoneBook, SuggestionsForTypedText) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Found("ив"_cp), V{"Иванов Иван"});                   // substring, Cyrillic case folded
  V both = Found("ов"_cp);  // Иванов and Сидоров share a number: one of them shows
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(both[1], "Петров");
  EXPECT_EQ(Found("Ив ["_cp), V{"Иванов Иван"});                  // names beginning with Ив
  EXPECT_EQ(Found("ван"_cp + " [").size(), 0u);                   // ... and only beginning
  EXPECT_EQ(Found("[7903]").size(), 5u);                           // empty name part: everybody, once per number
  EXPECT_EQ(Found("[7903"), V{"Петров"});                          // plain text: numbers beginning with 7903
  EXPECT_EQ(Found("380"), V{"Taras"});
  EXPECT_EQ(Found("Tar"), V{"Taras"});
  EXPECT_EQ(Found("zzz"), V{});
  EXPECT_EQ(Found("Ivan [3806]"), V{"Taras"});                     // the number matches though the name does not

  TPhoneBookItemList list;
  TPhoneBook::FindByText("Петр"_cp, list);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0]->Phone, "79031112233");
  EXPECT_EQ(list[0]->Format, "1.3.7");
  EXPECT_EQ(list[0]->GateName, "Beeline");
  EXPECT_EQ(list[0]->ID, 0);
}

// The search held in memory gives the query's rows in the query's order for
// every kind of text, wildcards of LIKE included; a row's format looked up
// on its own is the one the query gives.
TEST_F(PhoneBook, TheSearchInMemoryListsWhatTheQueryLists) {
  AddGate("Narrow", "N", {{"79165", "79165", "2.2.7"}});
  Contact("Inside", "79165000000", "Narrow", 0);
  Contact("Nearest", "79169000000", "", 0);
  Contact("100% Ivan_ov", "79160000100", "", 0);
  Contact("ёлка Ёжик"_cp, "79160000200", "", 0);
  TContactSearch search;
  search.Load();
  EXPECT_EQ(search.Count(), 10);
  const std::vector<std::string> texts = {
      "ов"_cp, "Ив ["_cp, "[7903]", "7916", "", "a", "zzz", "%", "_", "i_", "IVAN", "ivan", "100%", "_v%n", "ЁЛ"_cp,
      "ёж"_cp, "[", "]", "[]", "Ivan [7916", "Taras [38", " [7", "N", "in", "%%%", "9", "0", "[9_6"};
  for (const std::string& text : texts) {
    SCOPED_TRACE(cp1251::ToUtf8(text));
    TPhoneBookItemList list;
    TPhoneBook::FindByText(text, list);
    std::vector<const TContactMatch*> matches;
    search.Find(text, matches);
    ASSERT_EQ(matches.size(), static_cast<size_t>(list.Count()));
    for (size_t i = 0; i < matches.size(); ++i) {
      const TContactMatch& m = *matches[i];
      EXPECT_EQ(m.Phone, list[i]->Phone);
      // Of contacts sharing a number, the query may give either.
      if (m.Phone != "79161234567") {
        EXPECT_EQ(m.Name, list[i]->Name);
        EXPECT_EQ(m.GateName, list[i]->GateName);
      }
      EXPECT_EQ(LookUpContactFormat(m.Phone, m.GateName), list[i]->Format) << m.Phone;
    }
  }
  EXPECT_EQ(LookUpContactFormat("79165000000", ""), "2.2.7") << "the longest range of any gate";
  EXPECT_EQ(LookUpContactFormat("79161110000", "Beeline"), "") << "only the contact's own gate";
  EXPECT_EQ(LookUpGateFormat("79161110000", "MTS"), "1.3.7");
  EXPECT_EQ(LookUpGateFormat("79161110000", ""), "") << "a history row without a gate has no format";
  EXPECT_EQ(LookUpContactFormat("' OR 1=1 --", ""), "");
}

TEST(SqlLike, WildcardsAndCase) {
  EXPECT_TRUE(SqlLike("%", ""));
  EXPECT_TRUE(SqlLike("", ""));
  EXPECT_FALSE(SqlLike("", "a"));
  EXPECT_TRUE(SqlLike("a%", "ABC"));
  EXPECT_TRUE(SqlLike("%b%", "abc"));
  EXPECT_FALSE(SqlLike("%d%", "abc"));
  EXPECT_TRUE(SqlLike("a_c", "abc"));
  EXPECT_FALSE(SqlLike("a_c", "ac"));
  EXPECT_TRUE(SqlLike("%a%b%c%", "xxaxxbxxcxx"));
  EXPECT_FALSE(SqlLike("%a%b%c%", "xxcxxbxxaxx"));
  EXPECT_TRUE(SqlLike("%aab", "aaaab")) << "the run before a match retried";
  EXPECT_FALSE(SqlLike("А%"_cp, "а"_cp)) << "Cyrillic letters keep their case";
  EXPECT_TRUE(SqlLike(std::string(50, '%') + "b", std::string(2000, 'a') + "b"));
  EXPECT_FALSE(SqlLike("%a%a%a%a%a%a%b", std::string(60, 'a')));
}

TEST_F(PhoneBook, LookupsAndWrites) {
  EXPECT_EQ(TPhoneBook::FindByName("ПЕТРОВ"_cp), TPhoneBook::FindByPhone("+7 (903) 111-22-33"));
  EXPECT_NE(TPhoneBook::FindByName("петров"_cp), 0);
  EXPECT_EQ(TPhoneBook::FindByName("Петро"_cp), 0);
  EXPECT_EQ(TPhoneBook::GetNameByPhone("+380 67 123 45 67"), "Taras");
  EXPECT_EQ(TPhoneBook::GetPhoneByName("Taras"), "380671234567");
  EXPECT_EQ(TPhoneBook::GetPhoneByName("taras"), "");

  // Empty gate and no group are stored as NULL; updates leave the group.
  int id = TPhoneBook::FindByName("Taras");
  db().AddParamInt(":ID", id);
  EXPECT_EQ(db().GetStringValue("SELECT typeof(GateName) || typeof(ID_GROUP) || Signature FROM PhoneBook WHERE ID=:ID"),
            "nullnull");
  TPhoneBook::SetItemGroup(id, work);
  auto taras = TPhoneBook::GetItemByPhone("380671234567");
  taras->Name = "Тарас"_cp;
  taras->GroupID = 0;
  taras->GateName = "Kyivstar";
  taras->Signature = "T.";
  taras->Translit = TPhoneBookItem::kTranslitNever;
  TPhoneBook::UpdateItem(*taras);
  auto updated = TPhoneBook::GetItemByPhone("380671234567");
  EXPECT_EQ(updated->Name, "Тарас"_cp);
  EXPECT_EQ(updated->GroupID, work);
  EXPECT_EQ(updated->Caption, "Киевстар"_cp);
  EXPECT_EQ(updated->Signature, "T.");
  EXPECT_EQ(updated->Translit, TPhoneBookItem::kTranslitNever);
  TPhoneBook::SetItemGroup(id, 0);
  EXPECT_EQ(TPhoneBook::GetItemByPhone("380671234567")->GroupID, 0);

  TPhoneBookGroup group{};
  group.ID = work;
  group.Name = "Коллеги"_cp;
  TPhoneBook::UpdateGroup(group);
  TPhoneBookGroupList groups;
  TPhoneBook::LoadGroups(groups);
  EXPECT_EQ(groups[1]->Name, "Коллеги"_cp);

  // Names are unique.
  TPhoneBookItem twin;
  twin.Name = "Тарас"_cp;
  twin.Phone = "1";
  EXPECT_THROW(TPhoneBook::AddItem(twin), ESQLiteException);
  TPhoneBook::DeleteItem(id);
  EXPECT_EQ(TPhoneBook::FindByName("Тарас"_cp), 0);
}

TEST(PhoneItems, AssignClearAndExactNumbers) {
  TPhoneBookItem a;
  a.Name = "A";
  a.Phone = "7916";
  a.ID = 3;
  a.Format = "1.3.7";
  a.Caption = "C";
  a.GateName = "G";
  a.Signature = "S";
  a.GroupID = 4;
  a.Translit = 1;
  TPhoneBookItem b;
  b.Assign(&a);
  EXPECT_EQ(b.Name + b.Phone + b.Format + b.Caption + b.GateName + b.Signature, "A79161.3.7CGS");
  EXPECT_EQ(b.ID + b.GroupID + b.Translit, 8);
  b.Clear();
  EXPECT_EQ(b.Name + b.Phone + b.Format + b.Caption + b.GateName + b.Signature, "");
  EXPECT_EQ(b.ID + b.GroupID + b.Translit, 0);

  TCustomPhoneItem base;
  base.Assign(&a);
  EXPECT_EQ(base.Phone, "7916");
  EXPECT_THROW(a.Assign(static_cast<TPersistent*>(nullptr)), EConvertError);

  TCustomPhoneItemList list;
  list.Add(std::make_unique<TPhoneBookItem>(a));
  EXPECT_TRUE(list.PhoneExists("7916"));
  EXPECT_FALSE(list.PhoneExists("+7916"));
  EXPECT_FALSE(list.PhoneExists("791"));
}

// The editor stands in as a hook here: it records what it was offered and
// answers as a user would.
TEST_F(PhoneBook, AddFromTextPrefillsTheEditorAndStoresUngrouped) {
  std::vector<std::pair<std::string, std::string>> offered;
  bool confirm = false;
  TPhoneBook::SetContactEditorHook([&](TPhoneBookItem& item) {
    offered.emplace_back(item.Name, item.Phone);
    item.Name += " X";
    item.GroupID = work;  // the editor has no say over the group
    return confirm;
  });
  struct Case {
    std::string text, name, phone;
  };
  const Case cases[] = {
      {"Вася"_cp, "Вася"_cp, ""},
      {" Вася Пупкин [+7 (916) 555-12-34] "_cp, "Вася Пупкин"_cp, "79165551234"},
      {"+7 916 555-12-34", "", "79165551234"},
      {"Вася 916"_cp, "", "916"},  // no brackets: the digits of the whole text, no name
      {"[]", "[]", ""},            // neither name nor number: the whole text is the name
      {"Бр [нет]"_cp, "Бр"_cp, ""},
  };
  for (const Case& c : cases) {
    offered.clear();
    EXPECT_FALSE(TPhoneBook::AddFromText(c.text)) << c.text;  // cancelled
    ASSERT_EQ(offered.size(), 1u);
    EXPECT_EQ(offered[0].first, c.name) << cp1251::ToUtf8(c.text);
    EXPECT_EQ(offered[0].second, c.phone) << cp1251::ToUtf8(c.text);
  }
  EXPECT_EQ(TPhoneBook::FindByName("Вася X"_cp), 0);

  confirm = true;
  ASSERT_TRUE(TPhoneBook::AddFromText("Вася [+7 916 555-12-34]"_cp));
  int id = TPhoneBook::FindByName("Вася X"_cp);
  ASSERT_NE(id, 0);
  auto stored = TPhoneBook::GetItemByPhone("79165551234");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->ID, id);
  EXPECT_EQ(stored->GroupID, 0);
  // A second store of the same name fails in the database and says so.
  EXPECT_THROW(TPhoneBook::AddFromText("Вася [1]"_cp), ESQLiteException);

  TPhoneBook::SetContactEditorHook(nullptr);
  EXPECT_FALSE(TPhoneBook::AddFromText("Петя"_cp));
}

}  // namespace
