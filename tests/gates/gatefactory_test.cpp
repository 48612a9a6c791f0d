#include "gatefactory.h"

#include <gtest/gtest.h>

#include "gates/gate_database.h"

namespace {

class GateFactory : public GateDatabase {
 protected:
  void SetUp() override {
    GateDatabase::SetUp();
    TGateFactory::RegisterGateClass("HTTP", [](const std::string& name) { return TGate::Create<TStubSender>(name); });
  }
  void TearDown() override {
    TGateFactory::RegisterGateClass("HTTP", nullptr);
    GateDatabase::TearDown();
  }
};

TEST_F(GateFactory, SendersComeFromTheCreatorOfTheGatesClass) {
  Gate("lower", "SMS", "http");
  Gate("O'Brien's gate", "SMS", "HTTP");
  Gate("smtp", "SMS", "SMTP");
  auto lower = TGateFactory::CreateGateSender("lower");
  ASSERT_NE(lower, nullptr);
  EXPECT_NE(dynamic_cast<TStubSender*>(lower.get()), nullptr);
  EXPECT_EQ(lower->Name, "lower");
  EXPECT_EQ(lower->SendParams.GetItemNamed("HandleRedirects").AsInteger(), 1);

  auto quoted = TGateFactory::CreateGateSender("O'Brien's gate");
  ASSERT_NE(quoted, nullptr);
  EXPECT_EQ(quoted->Class, "HTTP");

  EXPECT_EQ(TGateFactory::CreateGateSender("smtp"), nullptr);
  EXPECT_EQ(TGateFactory::CreateGateSender("no such gate"), nullptr);
  TGateFactory::RegisterGateClass("smtp", [](const std::string& name) { return TGate::Create<TGateSender>(name); });
  EXPECT_NE(TGateFactory::CreateGateSender("smtp"), nullptr);
  TGateFactory::RegisterGateClass("SMTP", nullptr);
  EXPECT_EQ(TGateFactory::CreateGateSender("smtp"), nullptr);

  auto gate = TGateFactory::CreateGate("O'Brien's gate");
  EXPECT_EQ(gate->Class, "HTTP");
  EXPECT_EQ(dynamic_cast<TGateSender*>(gate.get()), nullptr);
}

TEST_F(GateFactory, TheGateListHoldsEveryGateByCaption) {
  Gate("b", "MMS", "HTTP", "3", "1", 10, "Beta");
  Gate("a", "SMS", "HTTP", "not a number", "0", 10, "Alpha");
  TObjectList<TGateInfo> list;
  list.Add(std::make_unique<TGateInfo>());
  EXPECT_EQ(TGateFactory::LoadGateList(list), 3);
  EXPECT_EQ(list[1]->Name, "a");
  EXPECT_EQ(list[1]->Version, 0);
  EXPECT_FALSE(list[1]->Disabled);
  EXPECT_EQ(list[2]->Name, "b");
  EXPECT_EQ(list[2]->Caption, "Beta");
  EXPECT_EQ(list[2]->Type, "MMS");
  EXPECT_EQ(list[2]->Class, "HTTP");
  EXPECT_EQ(list[2]->Version, 3);
  EXPECT_TRUE(list[2]->Disabled);
}

TEST_F(GateFactory, GatesForAPhoneComeOnceByPriorityThenImportOrder) {
  Gate("low", "SMS", "HTTP", "1", "0", 10);
  Gate("high", "SMS", "HTTP", "1", "0", 20);
  Gate("mms", "MMS", "HTTP", "1", "0", 30);
  Gate("off", "SMS", "HTTP", "1", "1", 99);
  Gate("tie", "SMS", "HTTP", "1", "0", 10);
  Gate("long", "SMS", "HTTP", "1", "0", 50);
  Prefix("tie", "7", "7", "1.3.7");
  Prefix("low", "79", "79", "1.3.7");
  Prefix("high", "7916", "7916", "1.3.7");
  Prefix("high", "79", "79", "1.3.7");
  Prefix("mms", "79", "79", "1.3.7");
  Prefix("off", "79", "79", "1.3.7");
  Prefix("low", "7", "7", "1.3.7");
  Prefix("long", "791612345678", "791612345678", "1.3.8");

  std::vector<std::string> list;
  EXPECT_TRUE(TGateFactory::FindGatesForPhone("79161234567", gkSMS, list));
  EXPECT_EQ(list, (std::vector<std::string>{"high", "tie", "low"}));
  list.clear();
  EXPECT_TRUE(TGateFactory::FindGatesForPhone("79161234567", gkAll, list));
  EXPECT_EQ(list, (std::vector<std::string>{"mms", "high", "tie", "low"}));
  list = {"kept"};
  EXPECT_TRUE(TGateFactory::FindGatesForPhone("79161234567", gkMMS, list));
  EXPECT_EQ(list, (std::vector<std::string>{"kept", "mms"}));
  list.clear();
  EXPECT_FALSE(TGateFactory::FindGatesForPhone("380501234567", gkAll, list));
  EXPECT_TRUE(list.empty());

  // Ranges compare as text from the number's start, the number at least as
  // long as the range's start.
  EXPECT_TRUE(TGateFactory::FindGatesForPhone("7916123456789", gkSMS, list));
  EXPECT_EQ(list.front(), "long");
}

// The search skips every range whose start lies above the number, which no
// covering range's does; wide ranges and an empty start still cover.
TEST_F(GateFactory, WideRangesAndAnEmptyStartStillCover) {
  Gate("wide");
  Gate("any");
  Gate("narrow");
  Prefix("wide", "1", "9", "1.3.7");
  Prefix("any", "", "9", "1.3.7");
  Prefix("narrow", "80", "81", "1.3.7");
  std::vector<std::string> list;
  EXPECT_TRUE(TGateFactory::FindGatesForPhone("79161234567", gkAll, list));
  EXPECT_EQ(list, (std::vector<std::string>{"wide", "any"}));
  list.clear();
  EXPECT_TRUE(TGateFactory::FindGatesForPhone("", gkAll, list));
  EXPECT_EQ(list, std::vector<std::string>{"any"}) << "an empty start covers even no number";
  list.clear();
  EXPECT_TRUE(TGateFactory::FindGatesForPhone("8099", gkAll, list));
  EXPECT_EQ(list, (std::vector<std::string>{"wide", "any", "narrow"}));
  list.clear();
  EXPECT_TRUE(TGateFactory::FindGatesForPhone("0", gkAll, list));
  EXPECT_EQ(list, std::vector<std::string>{"any"});
}

TEST_F(GateFactory, SwitchingAGateOffTakesItOutOfTheSearch) {
  Gate("g");
  Prefix("g", "7", "7", "1.3.7");
  TGateFactory::SetGateDisabled("g", true);
  EXPECT_TRUE(TGate::Create("g")->Disabled);
  std::vector<std::string> list;
  EXPECT_FALSE(TGateFactory::FindGatesForPhone("79161234567", gkAll, list));
  TGateFactory::SetGateDisabled("g", false);
  EXPECT_FALSE(TGate::Create("g")->Disabled);
  EXPECT_TRUE(TGateFactory::FindGatesForPhone("79161234567", gkAll, list));
}

}  // namespace
