// A large profile for the benchmarks of what runs on every keystroke of
// the recipient field: 10,000 contacts whose names are made of common
// syllables (a one-letter query matches about two thirds of them), 1,000
// gates with 20 prefix ranges and 20 parameters each, and 100,000 history
// rows over 2,000 numbers.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "cp1251.h"
#include "history.h"
#include "phonebook.h"
#include "sqlmgr.h"

namespace large_profile {

constexpr int kGates = 1000;
constexpr int kRangesPerGate = 20;
constexpr int kContacts = 10000;
constexpr int kHistoryRows = 100000;
constexpr int kHistoryNumbers = 2000;
constexpr int kParamsPerGate = 20;

const char* const kSyllables[] = {"ив", "ан", "пет", "ров", "сид", "ор", "ма", "ри", "на", "ол",
                                  "ег", "ка", "тя", "ни", "ко", "ла", "ев", "ов", "ин", "ва"};

inline std::string Digits(std::mt19937& rng, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += char('0' + rng() % 10);
  return s;
}

// One of the 20 gates whose ranges cover a number (`which` picks among
// two); any gate for a foreign number.
inline std::string GateFor(const std::string& phone, int which) {
  if (phone[0] != '7') return "Gate" + std::to_string(which);
  int prefix = std::stoi(phone.substr(1, 3));
  return "Gate" + std::to_string((prefix / kRangesPerGate + which * 50) % kGates);
}

// Fills the databases open as the global connection. Every 4-digit prefix
// 7000 to 7999 is covered by 20 gates; one contact in ten has a foreign
// number no range covers.
inline void Fill() {
  std::vector<std::string> numbers;
  {
    TSQLiteDatabase& db = *Database;
    std::mt19937 rng(42);
    RunInTransaction(db, [&] {
      for (int g = 0; g < kGates; ++g) {
        std::string gate = "Gate" + std::to_string(g);
        db.AddParamText(":Name", gate);
        db.ExecSQL("INSERT INTO gates.Gate (Name, Class, Type, Caption, Version) VALUES (:Name, 'HTTP', 'SMS', :Name, 1)");
        for (int p = 0; p < kParamsPerGate; ++p) {
          db.AddParamText(":Name", gate);
          db.AddParamText(":Param", "Param" + std::to_string(p));
          db.AddParamInt(":Class", p % 2);
          db.ExecSQL(
              "INSERT INTO gates.GateParam (GateName, ParamName, ParamClass, ParamValue) VALUES (:Name, :Param, :Class, "
              "'160')");
        }
        for (int r = 0; r < kRangesPerGate; ++r) {
          std::string prefix = "7" + std::to_string(1000 + (g * kRangesPerGate + r) % 1000).substr(1);
          db.AddParamText(":Name", gate);
          db.AddParamText(":Start", prefix);
          db.ExecSQL(
              "INSERT INTO gates.GatePrefix (GateName, Format, PrefixStart, PrefixEnd) VALUES (:Name, '1.3.7', :Start, "
              ":Start)");
        }
      }
      for (int c = 0; c < kContacts; ++c) {
        TPhoneBookItem item;
        for (int s = 0; s < 3; ++s) item.Name += cp1251::FromUtf8(kSyllables[rng() % std::size(kSyllables)]);
        item.Name[0] = cp1251::Upper(item.Name[0]);
        item.Name += " " + std::to_string(c);
        item.Phone = c % 10 == 9 ? "49" + Digits(rng, 10) : "7" + Digits(rng, 10);
        if (c % 2 && item.Phone[0] == '7') item.GateName = GateFor(item.Phone, c % 4 == 1);
        TPhoneBook::AddItem(item);
        if (c < kHistoryNumbers) numbers.push_back(item.Phone);
      }
      for (int h = 0; h < kHistoryRows; ++h) {
        THistoryItem item;
        size_t n = rng() % numbers.size();
        item.Phone = numbers[n];
        item.GateName = GateFor(item.Phone, n % 2);
        item.Message = "Привет! Буду через полчаса, жди у метро."_cp;
        item.Signature = "Вася"_cp;
        item.DeliveryStatus = dsDelivered;
        THistory::Add(item, 45000 + h / 1440.0);
      }
    });
  }
}

}  // namespace large_profile
