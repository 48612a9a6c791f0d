// The gate list: the one place that makes gate objects, and the questions the
// windows ask of the gate table (which gates exist, which can send to a
// number, switching one off).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gate.h"
#include "gatesender.h"
#include "objectlist.h"

// One row of the gate list.
class TGateInfo : public TObject {
  PX_CLASS(TGateInfo, TObject)
 public:
  std::string Name;
  std::string Caption;
  std::string Type;  // "SMS" or "MMS"
  std::string Class;
  int32_t Version = 0;  // 0 when the column is no number
  bool Disabled = false;  // the column reads exactly "1"
};

// Makes the sender of one gate class for a gate name (normally
// TGate::Create<TSomeRunner>(name)).
using TGateSenderCreator = std::function<std::unique_ptr<TGateSender>(const std::string& gateName)>;

// Which gates FindGatesForPhone lists.
enum TGateKind : int { gkSMS = 0, gkMMS = 1, gkAll = 2 };

class TGateFactory {
 public:
  // Makes `creator` the maker of senders for gates of class `className`
  // (compared without regard to case), replacing an earlier one. Runners
  // register at start-up, before the first send; main thread only.
  static void RegisterGateClass(const std::string& className, TGateSenderCreator creator);

  // A new sender for the gate `gateName`, made by the creator registered for
  // the gate's class; nullptr when the gate does not exist or its class has
  // no creator. Raises ESQLiteException.
  static std::unique_ptr<TGateSender> CreateGateSender(const std::string& gateName);
  // A new gate object (record, Info, prefixes; no send parameters). Raises
  // ESQLiteException.
  static std::unique_ptr<TGate> CreateGate(const std::string& gateName);
  // Appends every gate, disabled ones included, by caption; returns the
  // list's count. Raises ESQLiteException.
  static int LoadGateList(TObjectList<TGateInfo>& list);
  // Appends the names of the enabled gates of `kind` (TGateKind; any other
  // value takes both) with a range covering `phone`: each gate once, highest
  // priority first, equal priorities in the order their ranges were
  // imported. True when a name was added. Raises ESQLiteException.
  static bool FindGatesForPhone(const std::string& phone, int kind, std::vector<std::string>& list);
  // Switches a gate off or on. Raises ESQLiteException.
  static void SetGateDisabled(const std::string& gateName, bool disabled);
};
