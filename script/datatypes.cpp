// Declared data types and the map of simple type names.
#include "datatypes.h"

#include <string_view>

#include "arrays.h"
#include "cp1251.h"
#include "values.h"

namespace {

struct TypeName {
  std::string_view name;
  TVarType kind;  // 0 stands for the object kind, whose code is handed out at run time
};

constexpr TypeName kTypeNames[] = {
    {"integer", varInteger},  {"longint", varInteger},  {"dword", varInteger},
    {"smallint", varSmallint}, {"word", varSmallint},   {"byte", varByte},
    {"boolean", varBoolean},  {"bool", varBoolean},     {"longbool", varBoolean},
    {"wordbool", varBoolean}, {"double", varDouble},    {"tdatetime", varDate},
    {"string", varString},    {"AnsiString", varString}, {"ShortString", varString},
    {"PChar", varString},     {"char", varString},      {"TObject", 0},
};

}  // namespace

Variant TInterpreterSimpleDataType::Init() const { return ZeroOfKind(kind_); }

Variant TInterpreterRecordDataType::Init() const { return NewRecordValue(recordType_); }

Variant TInterpreterArrayDataType::Init() const {
  return NewScriptArray(dimensions_, low_, high_, elementKind_, elementType_);
}

TVarType TInterpreterArrayDataType::ValueKind() const { return ArrayVarType(); }

TVarType TypeNameToKind(std::string_view name) {
  // Every name lookup that misses ends here, so unequal lengths are passed
  // over before any comparison.
  for (const TypeName& t : kTypeNames)
    if (t.name.size() == name.size() && cp1251::SameText(name, t.name)) return t.kind ? t.kind : ObjectVarType();
  return varEmpty;
}
