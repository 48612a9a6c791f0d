// The recipient suggestions over a real profile: what is listed for typed
// text, in which order and how each row reads, and the history's numbers
// read again when the history changes.
#include <gtest/gtest.h>

#include "core/fresh_database.h"
#include "cp1251.h"
#include "history.h"
#include "phonebook.h"
#include "recipients.h"
#include "support/optionsprofile.h"

namespace {

class Recipients : public FreshDatabase {
 protected:
  OptionsProfile options;
  TRecipientSuggestions suggestions;
  TDateTime now = EncodeDate(2024, 5, 1);

  void SetUp() override {
    FreshDatabase::SetUp();
    Options = options.options.get();
    AddGate("MTS", "МТС"_cp, {{"7910", "7919", "1.3.7"}});
    AddGate("Kyiv", "Киев"_cp, {{"38067", "38067", "3.2.7"}});
    Contact("Иванов"_cp, "79161234567", "");
    Contact("Ивлев"_cp, "380671112233", "Kyiv");
    Contact("Чужой"_cp, "79162223344", "Kyiv");  // his gate has no range for him
    Sent("79169990000", "MTS", 1);
    Sent("79161234567", "MTS", 2);  // Иванов's number
    Sent("79169990000", "Kyiv", 3);  // a second gate: a second row
    Sent("380671112233", "Kyiv", 4);
    Sent("49301234", "", 5);
  }
  void TearDown() override {
    Options = nullptr;
    FreshDatabase::TearDown();
  }
  void Contact(const std::string& name, const std::string& phone, const std::string& gate) {
    TPhoneBookItem item;
    item.Name = name;
    item.Phone = phone;
    item.GateName = gate;
    TPhoneBook::AddItem(item);
  }
  void Sent(const std::string& phone, const std::string& gate, int minute) {
    THistoryItem item;
    item.Phone = phone;
    item.GateName = gate;
    THistory::Add(item, now + minute / 1440.0);
  }
  std::vector<std::string> Rows(const std::string& text, int limit = 100) {
    suggestions.Find(text, limit);
    std::vector<std::string> rows;
    for (int i = 0; i < suggestions.Count(); ++i) rows.push_back(cp1251::ToUtf8(suggestions.Text(i)));
    return rows;
  }
};

using V = std::vector<std::string>;

TEST_F(Recipients, ContactsFirstThenTheHistorysOtherNumbers) {
  EXPECT_EQ(Rows("ив"_cp), (V{"Иванов [+7 916 123-45-67]", "Ивлев [+380 67 111-22-33]"})) << "no digits: no history";
  EXPECT_EQ(Rows("916"), (V{"+7 916 999-00-00", "Иванов [+7 916 123-45-67]", "+79169990000"}))
      << "no number begins with 916; the history's contain it, each gate's row formatted by that gate";
  EXPECT_EQ(Rows("7916"), (V{"Иванов [+7 916 123-45-67]", "Чужой [+79162223344]", "+7 916 999-00-00", "+79169990000"}))
      << "a contact's number comes once, from the phone book";
  EXPECT_EQ(Rows("0"), (V{"+7 916 999-00-00", "+79169990000", "Ивлев [+380 67 111-22-33]", "+49301234"}))
      << "a history number known to the phone book reads with its name";
  EXPECT_EQ(Rows(""), (V{"Иванов [+7 916 123-45-67]", "Ивлев [+380 67 111-22-33]", "Чужой [+79162223344]",
                         "+7 916 999-00-00", "+79169990000", "+49301234"}))
      << "empty text: everybody, then the whole history";
  EXPECT_EQ(Rows("zz"), V{});
  EXPECT_EQ(suggestions.Text(-1), "");
  EXPECT_EQ(suggestions.Text(99), "");
  EXPECT_EQ(suggestions.Phone(99), "");
}

TEST_F(Recipients, TheHistoryLimitCountsTheNumbersTheContactsShowToo) {
  // The first two history rows with 7916: 79169990000/MTS and Иванов's.
  EXPECT_EQ(Rows("7916", 2), (V{"Иванов [+7 916 123-45-67]", "Чужой [+79162223344]", "+7 916 999-00-00"}));
  EXPECT_EQ(Rows("7916", 0).size(), 4u) << "no limit";
  Options->WriteBool("Interface\\FormatPhones", false);
  EXPECT_EQ(Rows("99", 1), (V{"+79169990000"}));
}

TEST_F(Recipients, ContactsAndNumbersAreReadAgainWhenTheDatabaseChanges) {
  EXPECT_EQ(Rows("Новик"_cp), V{});
  Contact("Новиков"_cp, "79160000000", "");
  EXPECT_EQ(Rows("Новик"_cp), V{"Новиков [+7 916 000-00-00]"});
  TPhoneBook::DeleteItem(TPhoneBook::FindByName("Новиков"_cp));
  EXPECT_EQ(Rows("Новик"_cp), V{});
  EXPECT_EQ(Rows("555"), V{});
  Sent("79165550000", "MTS", 9);
  EXPECT_EQ(Rows("555"), V{"+7 916 555-00-00"});
  {
    // Another connection's change counts too.
    TSQLiteDatabase other(dir.File("Parlomix.db3"));
    other.ExecSQL("DELETE FROM History WHERE Phone='79165550000'");
  }
  EXPECT_EQ(Rows("555"), V{});
  THistory::Clear();
  EXPECT_EQ(Rows("7916"), (V{"Иванов [+7 916 123-45-67]", "Чужой [+79162223344]"}));
}

TEST_F(Recipients, ARowThatCannotBeLookedUpShowsItsBareNumber) {
  suggestions.Find("ив"_cp, 100);
  ASSERT_EQ(suggestions.Count(), 2);
  EXPECT_EQ(suggestions.Phone(1), "380671112233");
  CloseDatabases();
  EXPECT_EQ(suggestions.Text(0), "Иванов [+79161234567]"_cp);
  OpenDatabases(dir.File("Parlomix.db3"), dir.File("Gates.db3"));
  EXPECT_EQ(suggestions.Text(0), "Иванов [+79161234567]"_cp) << "a row reads the same once shown";
  EXPECT_EQ(suggestions.Text(1), "Ивлев [+380 67 111-22-33]"_cp);
}

}  // namespace
