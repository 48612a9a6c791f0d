// A gate: one row of the gates database with its information values and its
// phone-number prefix ranges.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "proplist.h"

// The Version column as a number; `fallback` when it is none (or does not
// fit 32 bits).
int32_t ParseGateVersion(const std::string& text, int32_t fallback);

class TGate : public TObject {
  PX_CLASS(TGate, TObject)

 protected:
  // Only Create makes gate objects: loading calls virtual operations whose
  // subclass versions (defaults set before the rows load, so a row can
  // override them) C++ would not reach from the base constructor.
  class TConstructKey {
    friend class TGate;
    TConstructKey() = default;
  };

 public:
  // Makes a gate object of class T (TGate or a subclass whose constructor
  // takes the key and the gate name first) and loads the gate `name` into
  // it. A name without a row gives empty texts, Version 0, Disabled false and
  // an Info holding only the defaults. Raises ESQLiteException.
  template <class T = TGate, class... Args>
  static std::unique_ptr<T> Create(std::string name, Args&&... args) {
    auto gate = std::make_unique<T>(TConstructKey(), std::move(name), std::forward<Args>(args)...);
    static_cast<TGate*>(gate.get())->Load();  // virtual: reaches T's version
    return gate;
  }

  TGate(TConstructKey, std::string name) : Name(std::move(name)) {}

  std::string Name;     // unique; the key of the gate's rows
  int32_t Version = 0;  // 1 when the column is no number
  std::string Caption;
  std::string Type;   // "SMS" or "MMS"
  std::string Class;  // the runner kind, "HTTP"
  // Information values (parameter class 0) and values the program stores per
  // gate (class 2), as text, over the defaults of SetDefaultInfo.
  TPropList Info;
  bool Disabled = false;  // the column reads exactly "1"

  // Sets the information defaults: MaxSubjectSymbols 255.
  virtual void SetDefaultInfo();
  // Empties Info, sets the defaults and loads the class 0 and 2 rows in row
  // order (a later row of a name replaces the earlier value). Raises
  // ESQLiteException.
  void LoadInfo();
  // Stores a class 2 value for this gate (integers bound as integers, floats
  // as floats, anything else as its text) and then sets it in Info. Any
  // failure is rolled back and dropped: nothing is reported, Info unchanged.
  void SetStoredParam(const std::string& name, const Variant& value);

  // The format of the range covering `phone`: a range covers a number at
  // least as long as its start whose first digits lie between start and end
  // as text; the longest start wins, then the range imported first. Empty
  // when none covers it. Raises ESQLiteException.
  std::string GetPhoneFormat(const std::string& phone) const;
  // As GetPhoneFormat, with the range's Tag. When no range covers the number
  // `format` and `tag` are left as they were and false is returned.
  bool GetPhoneFormatTag(const std::string& phone, std::string& format, int& tag) const;
  // Part 0 (country), 1 (operator) or 2 (subscriber) of `phone` split by
  // `format`, or by GetPhoneFormat of the phone when `format` is empty.
  std::string ExtractPhonePart(const std::string& phone, int part, const std::string& format = "") const;
  // Replaces `list` with one display line per prefix range in row order:
  // "+C D N" of the start, then " - +C D N" of the end when it differs, both
  // split by the format GetPhoneFormat finds for the start. Returns the count.
  int GetPrefixList(std::vector<std::string>& list) const;

 protected:
  // Loads the record and Info; a sender adds its send parameters. Runs once,
  // from Create.
  virtual void Load();
};
