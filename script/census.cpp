// Counting the memory held by script values.
#include "census.h"

#include "arrays.h"
#include "records.h"
#include "scriptrun.h"
#include "values.h"

void TValueCensus::Add(const Variant& value) {
  pending_.push_back(&value);
  while (!pending_.empty()) {
    const Variant* v = pending_.back();
    pending_.pop_back();
    Visit(*v);
  }
}

void TValueCensus::Visit(const Variant& value) {
  const TVarType type = value.VarType();
  if (value.IsString()) {
    const std::string& s = value.StringRef();
    if (First(s.data())) bytes_ += kStringBytes + static_cast<int64_t>(s.size());
    return;
  }
  if (type == (varArray | varVariant)) {
    const VariantArray& a = value.ArrayRef();
    if (!First(&a)) return;
    bytes_ += kPayloadBytes + kValueBytes * static_cast<int64_t>(a.items.size());
    for (const Variant& item : a.items) pending_.push_back(&item);
    return;
  }
  if (type == ArrayVarType()) {
    const auto* a = dynamic_cast<const TInterpreterArray*>(value.PayloadPtr());
    if (!a || !First(a)) return;
    bytes_ += kPayloadBytes + static_cast<int64_t>(a->Block.size()) +
              kValueBytes * static_cast<int64_t>(a->Values.size());
    for (const std::string& s : a->Strings) bytes_ += kStringElementBytes + static_cast<int64_t>(s.size());
    for (const Variant& item : a->Values) pending_.push_back(&item);
    return;
  }
  if (type == RecordVarType()) {
    const auto* r = dynamic_cast<const TInterpreterRecHolder*>(value.PayloadPtr());
    if (!r || !First(r)) return;
    bytes_ += kPayloadBytes + static_cast<int64_t>(r->Memory.size()) +
              kValueBytes * static_cast<int64_t>(r->Values.size());
    for (const Variant& item : r->Values) pending_.push_back(&item);
  }
}
