// Script records: holders, field access by kind, record assignment.
#include "records.h"

#include <algorithm>
#include <cstring>

#include "cp1251.h"
#include "datatypes.h"
#include "errors.h"
#include "scriptrun.h"
#include "values.h"

namespace {

// Bytes a field of this kind takes in the record's memory; 0 for the kinds
// kept as values.
size_t FieldWidth(TVarType kind) {
  switch (kind) {
    case varSmallint: return 2;
    case varInteger: case varSingle: case varBoolean: return 4;
    case varDouble: case varCurrency: case varDate: return 8;
    case varByte: return 1;
    default: return 0;
  }
}

const TInterpreterRecordField& FieldOf(const TInterpreterRecHolder& holder, size_t field) {
  if (!holder.RecordType() || field >= holder.RecordType()->Fields.size()) RaiseError(2, -1);
  return holder.RecordType()->Fields[field];
}

// The field's bytes, checked against the memory the record really has.
const uint8_t* FieldBytes(const TInterpreterRecHolder& holder, const TInterpreterRecordField& f) {
  size_t width = FieldWidth(f.Kind);
  if (f.Offset < 0 || static_cast<size_t>(f.Offset) + width > holder.Memory.size())
    RaiseError(2, -1, "Record field outside its record");
  return holder.Memory.data() + f.Offset;
}

template <class T>
T Load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <class T>
void Store(uint8_t* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

bool SameRecordType(const TInterpreterRecHolder& a, const TInterpreterRecHolder& b) {
  if (a.RecordType() && a.RecordType() == b.RecordType()) return true;
  return !a.RecordType() && !b.RecordType() && cp1251::SameText(a.RecordTypeName(), b.RecordTypeName());
}

// Bytes the memory budget counts for one record.
int64_t HolderBytes(const TInterpreterRecHolder& holder) {
  return kPayloadBytes + static_cast<int64_t>(holder.Memory.size()) +
         kValueBytes * static_cast<int64_t>(holder.Values.size());
}

// One assignment's copy of a record and the records nested in it: copying
// and destroying recurse once per level, and a record holding copies of
// itself doubles with every assignment, so both depth and count are bounded.
class TRecordCopy {
 public:
  TRecordCopy() {
    if (TScriptRun* run = CurrentScriptRun()) limits_ = run->Limits;
  }
  void Assign(Variant& destination, const Variant& source);

 private:
  void CopyFields(TInterpreterRecHolder& dst, const TInterpreterRecHolder& src);

  TScriptLimits limits_;
  int32_t depth_ = 0;
  int64_t copies_ = 0;
};

void TRecordCopy::CopyFields(TInterpreterRecHolder& dst, const TInterpreterRecHolder& src) {
  const TInterpreterRecord& type = *src.RecordType();
  if (type.CopyProc) {
    type.CopyProc(dst, src);
    return;
  }
  for (size_t i = 0; i < type.Fields.size(); ++i) {
    const TInterpreterRecordField& f = type.Fields[i];
    if (f.Kind == varEmpty) {
      if (src.Values[i].VarType() == RecordVarType())
        Assign(dst.Values[i], src.Values[i]);
      else
        AssignValue(dst.Values[i], src.Values[i]);
    } else if (FieldWidth(f.Kind) == 0) {
      dst.Values[i] = src.Values[i];
    } else {
      std::memcpy(const_cast<uint8_t*>(FieldBytes(dst, f)), FieldBytes(src, f), FieldWidth(f.Kind));
    }
  }
}

void TRecordCopy::Assign(Variant& destination, const Variant& source) {
  // Held while the copy runs: a field of the destination may hold the last
  // reference to the source (r := r.a), and writing that field would free
  // the source in the middle of its own copy.
  const Variant keep = source;
  const TInterpreterRecHolder& src = ValueToRecord(keep);
  struct Level {
    int32_t& depth;
    ~Level() { --depth; }
  } level{++depth_};
  if (depth_ > limits_.RecordDepth) RaiseError(52, -1);
  if (destination.VarType() == RecordVarType()) {
    auto* dst = dynamic_cast<TInterpreterRecHolder*>(destination.PayloadPtr());
    if (dst == &src) return;
    if (dst && src.RecordType() && SameRecordType(*dst, src)) {
      // The destination too stays alive while its fields change.
      const Variant keepDestination = destination;
      CopyFields(*dst, src);
      return;
    }
  }
  if (++copies_ > limits_.RecordCopyCount) RaiseScriptOutOfMemory();
  ChargeScriptMemory(HolderBytes(src));
  auto copy = std::make_shared<TInterpreterRecHolder>(src.RecordTypeName(), src.RecordType(), src.Memory);
  if (src.RecordType())
    CopyFields(*copy, src);
  else
    copy->Values = src.Values;
  destination = Variant::Custom(RecordVarType(), 0, std::move(copy));
}

}  // namespace

TInterpreterRecord::~TInterpreterRecord() {
  for (TInterpreterRecordField& field : Fields) ReleaseShared(std::move(field.DataType));
}

int32_t TInterpreterRecord::FieldIndex(std::string_view name) const {
  for (size_t i = 0; i < Fields.size(); ++i)
    if (cp1251::SameText(Fields[i].Name, name)) return static_cast<int32_t>(i);
  return -1;
}

TInterpreterRecHolder::TInterpreterRecHolder(std::string recordTypeName, TRecordTypePtr recordType,
                                             std::vector<uint8_t> memory)
    : Memory(std::move(memory)), recordTypeName_(std::move(recordTypeName)) {
  SetRecordType(std::move(recordType));
}

TInterpreterRecHolder::~TInterpreterRecHolder() {
  if (recordType_ && recordType_->DestroyProc) {
    try {
      recordType_->DestroyProc(*this);
    } catch (...) {
      // A host routine failing while a value goes away has no one to report to.
    }
  }
  // A chain of records holding records goes without one frame per link.
  ReleaseValues(Values);
}

void TInterpreterRecHolder::SetRecordType(TRecordTypePtr recordType) {
  recordType_ = std::move(recordType);
  if (!recordType_) return;
  if (Values.size() < recordType_->Fields.size()) Values.resize(recordType_->Fields.size());
  if (Memory.size() < static_cast<size_t>(std::max(recordType_->Size, 0))) Memory.resize(recordType_->Size);
}

Variant RecordToValue(std::string recordTypeName, std::vector<uint8_t> memory) {
  auto holder = std::make_shared<TInterpreterRecHolder>(std::move(recordTypeName), nullptr, std::move(memory));
  return Variant::Custom(RecordVarType(), 0, std::move(holder));
}

Variant NewRecordValue(const TRecordTypePtr& recordType) {
  // A field whose type is a record type starts as a new record in turn:
  // types declared one inside another recurse here once per level.
  if (TScriptRun* run = CurrentScriptRun()) CheckNativeStack(run->StackLimit());
  ChargeScriptMemory(kPayloadBytes + recordType->Size +
                     kValueBytes * static_cast<int64_t>(recordType->Fields.size()));
  auto holder = std::make_shared<TInterpreterRecHolder>(recordType->Name, recordType, std::vector<uint8_t>());
  if (recordType->CreateProc) {
    recordType->CreateProc(*holder);
  } else {
    for (size_t i = 0; i < recordType->Fields.size(); ++i) {
      const TInterpreterRecordField& f = recordType->Fields[i];
      if (f.Kind == varString || f.Kind == varOleStr)
        holder->Values[i] = ZeroOfKind(f.Kind);
      else if (f.Kind == varEmpty)
        holder->Values[i] = f.DataType ? f.DataType->Init() : Variant::Null();
    }
  }
  return Variant::Custom(RecordVarType(), 0, std::move(holder));
}

TInterpreterRecHolder& ValueToRecord(const Variant& value) {
  auto* holder = value.VarType() == RecordVarType() ? dynamic_cast<TInterpreterRecHolder*>(value.PayloadPtr())
                                                     : nullptr;
  if (!holder) RaiseError(109, -1);
  return *holder;
}

Variant ReadRecordField(const TInterpreterRecHolder& holder, size_t field) {
  const TInterpreterRecordField& f = FieldOf(holder, field);
  if (FieldWidth(f.Kind) == 0) return holder.Values[field];
  const uint8_t* p = FieldBytes(holder, f);
  switch (f.Kind) {
    case varSmallint: return Variant::Smallint(Load<int16_t>(p));
    case varInteger: return Variant::Integer(Load<int32_t>(p));
    case varSingle: return Variant::Single(Load<float>(p));
    case varDouble: return Variant::Double(Load<double>(p));
    case varCurrency: return Variant::CurrencyScaled(Load<int64_t>(p));
    case varDate: return Variant::Date(Load<double>(p));
    case varBoolean: return Variant::Boolean(Load<int32_t>(p) != 0);
    default: return Variant::Byte(*p);
  }
}

void WriteRecordField(TInterpreterRecHolder& holder, size_t field, const Variant& value) {
  const TInterpreterRecordField& f = FieldOf(holder, field);
  if (f.Kind == varEmpty) {
    AssignValue(holder.Values[field], value);
    return;
  }
  if (FieldWidth(f.Kind) == 0) {
    holder.Values[field] = CastValue(value, f.Kind);
    return;
  }
  auto* p = const_cast<uint8_t*>(FieldBytes(holder, f));
  Variant v = CastValue(value, f.Kind);
  switch (f.Kind) {
    case varSmallint: Store<int16_t>(p, static_cast<int16_t>(v.AsInt64())); break;
    case varInteger: Store<int32_t>(p, v.AsInteger()); break;
    case varSingle: Store<float>(p, static_cast<float>(v.AsDouble())); break;
    case varDouble: case varDate: Store<double>(p, v.AsDouble()); break;
    case varCurrency: Store<int64_t>(p, v.AsCurrencyScaled()); break;
    case varBoolean: Store<int32_t>(p, v.AsBoolean() ? -1 : 0); break;
    default: *p = static_cast<uint8_t>(v.AsInt64()); break;
  }
}

void AssignRecord(Variant& destination, const Variant& source) { TRecordCopy().Assign(destination, source); }
