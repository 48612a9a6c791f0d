// The script classes and their members, each class right before its
// members, as gate scripts have always found them.
#include "evalreg.h"

#include <mutex>
#include <vector>

#include "adapter.h"
#include "evalapi.h"
#include "evalclasses.h"
#include "hostinstance.h"
#include "imageproccess.h"
#include "messages.h"
#include "postdata.h"
#include "typesunit.h"
#include "values.h"

namespace {

// How a member is registered: a method or read property (AddGet), a write
// property (AddSet), a named indexed property (AddIGet / AddISet) or the
// class's default indexed property (AddIDGet / AddIDSet).
enum class Access { Get, Set, IndexedGet, IndexedSet, DefaultGet, DefaultSet };

struct Member {
  Access access;
  const char* name;  // unused for the default indexed property
  TInterpreterCallback callback;
  int32_t paramCount;
  std::vector<TVarType> params;
  TVarType result = kNone;
};

void AddClassWithMembers(TInterpreterAdapter& a, const TClassInfo& cls, const std::vector<Member>& members) {
  a.AddClass(kApiUnit, &cls, cls.Name);
  for (const Member& m : members) {
    switch (m.access) {
      case Access::Get: a.AddGet(&cls, m.name, m.callback, m.paramCount, m.params, m.result); break;
      case Access::Set: a.AddSet(&cls, m.name, m.callback, m.paramCount, m.params); break;
      case Access::IndexedGet: a.AddIGet(&cls, m.name, m.callback, m.paramCount, m.params, m.result); break;
      case Access::IndexedSet: a.AddISet(&cls, m.name, m.callback, m.paramCount, m.params); break;
      case Access::DefaultGet: a.AddIDGet(&cls, m.callback, m.paramCount, m.params, m.result); break;
      case Access::DefaultSet: a.AddIDSet(&cls, m.callback, m.paramCount, m.params); break;
    }
  }
}

// --- TPropList -------------------------------------------------------------

TPropList& List(const TInterpreterArgs& args) { return RequireInstance<TPropList>(args); }

// An entry as scripts read it: the object it refers to as an object value,
// any other entry its value. An object freed since it was stored is
// interpreter error 2, as any object value naming it is.
Variant EntryValue(const TPropList& list, int index) {
  if (list.IsObject(index)) return ObjectToValue(EntryObjectAt(list, index));
  Variant value = list.GetItem(index);
  if (value.VarType() == ObjectVarType()) ValueToObject(value);
  return value;
}

// A script's writes: an object value is stored as the object reference, so
// that the host finds the object there (an attachment a script writes back
// stays the message's attachment); any other value as the value.
void StoreAt(TPropList& list, int index, const Variant& value) {
  if (value.VarType() == ObjectVarType())
    list.SetObject(index, ValueToObject(value));
  else
    list.SetItem(index, value);
}

Variant NamedValue(const TPropList& list, const std::string& name) {
  const int index = list.IndexOf(name);
  return index < 0 ? Variant() : EntryValue(list, index);
}

void ReadNamed(Variant& value, TInterpreterArgs& args) { value = NamedValue(List(args), TextArg(args, 0)); }
// The list keeps a copy of the name (the value is shared).
void WriteNamed(Variant& value, TInterpreterArgs& args) {
  std::string spare;
  const std::string_view name = TextView(args, 0, spare);
  ChargeText(static_cast<int64_t>(name.size()));
  if (value.VarType() == ObjectVarType())
    List(args).SetObjectNamed(name, ValueToObject(value));
  else
    List(args).SetItemNamed(name, value);
}

std::vector<Member> PropListMembers() {
  return {
      {Access::Get, "Exists",
       [](Variant& v, TInterpreterArgs& a) { v = Variant::Boolean(List(a).Exists(TextArg(a, 0))); }, 1, {kStr},
       kBool},
      {Access::IndexedGet, "Items", [](Variant& v, TInterpreterArgs& a) { v = EntryValue(List(a), IntArg(a, 0)); },
       1, {kInt}, kVariant},
      {Access::IndexedSet, "Items", [](Variant& v, TInterpreterArgs& a) { StoreAt(List(a), IntArg(a, 0), v); }, 1,
       {kInt}},
      {Access::IndexedGet, "ItemsNamed", ReadNamed, 1, {kStr}, kVariant},
      {Access::IndexedSet, "ItemsNamed", WriteNamed, 1, {kStr}},
      {Access::DefaultGet, nullptr, ReadNamed, 1, {kAny}, kAny},
      {Access::DefaultSet, nullptr, WriteNamed, 1, {kAny}},
      {Access::Get, "Count", [](Variant& v, TInterpreterArgs& a) { v = Variant::Integer(List(a).Count()); }, 0, {},
       kInt},
      {Access::Get, "Remove", [](Variant&, TInterpreterArgs& a) { List(a).Remove(IntArg(a, 0)); }, 1, {kInt}},
      {Access::Get, "RemoveNamed", [](Variant&, TInterpreterArgs& a) { List(a).RemoveNamed(TextArg(a, 0)); }, 1,
       {kStr}},
      {Access::Get, "Clear", [](Variant&, TInterpreterArgs& a) { List(a).Clear(); }, 0, {}},
  };
}

// --- TText -----------------------------------------------------------------

const TText& Page(const TInterpreterArgs& args) { return RequireInstance<TText>(args); }

// A text made from the page (a copy, a match, a cut), no longer than it.
template <class F>
Variant FromPage(const TInterpreterArgs& args, F make) {
  const TText& page = Page(args);
  ChargeText(static_cast<int64_t>(page.Text.size()));
  return Variant::String(make(page));
}

std::vector<Member> TextMembers() {
  return {
      {Access::Get, "Text",
       [](Variant& v, TInterpreterArgs& a) { v = FromPage(a, [](const TText& p) { return p.Text; }); }, 0, {}, kStr},
      {Access::Get, "ExistsStr",
       [](Variant& v, TInterpreterArgs& a) { v = Variant::Boolean(Page(a).ExistsStr(TextArg(a, 0))); }, 1, {kStr},
       kBool},
      {Access::Get, "RegExp",
       [](Variant& v, TInterpreterArgs& a) {
         v = FromPage(a, [&a](const TText& p) { return p.RegExp(TextArg(a, 0), IntArg(a, 1)); });
       },
       2, {kStr, kInt}, kStr},
      {Access::Get, "Pos", [](Variant& v, TInterpreterArgs& a) { v = WholeValue(Page(a).Pos(TextArg(a, 0))); }, 1,
       {kStr}, kInt},
      {Access::Get, "PosEx",
       [](Variant& v, TInterpreterArgs& a) { v = WholeValue(Page(a).PosEx(TextArg(a, 0), Int64Arg(a, 1))); }, 2,
       {kStr, kInt}, kInt},
      {Access::Get, "LastPos",
       [](Variant& v, TInterpreterArgs& a) { v = WholeValue(Page(a).LastPos(TextArg(a, 0))); }, 1, {kStr}, kInt},
      {Access::Get, "LastPosEx",
       [](Variant& v, TInterpreterArgs& a) { v = WholeValue(Page(a).LastPosEx(TextArg(a, 0), Int64Arg(a, 1))); }, 2,
       {kStr, kInt}, kInt},
      {Access::Get, "StrBetween",
       [](Variant& v, TInterpreterArgs& a) {
         v = FromPage(a, [&a](const TText& p) { return p.StrBetween(TextArg(a, 0), TextArg(a, 1)); });
       },
       2, {kStr, kStr}, kStr},
      {Access::Get, "StrBetweenRev",
       [](Variant& v, TInterpreterArgs& a) {
         v = FromPage(a, [&a](const TText& p) { return p.StrBetweenRev(TextArg(a, 0), TextArg(a, 1)); });
       },
       2, {kStr, kStr}, kStr},
  };
}

// --- TPostData -------------------------------------------------------------

TPostData& Body(const TInterpreterArgs& args) { return RequireInstance<TPostData>(args); }

// The content of AddData: nil or nothing for none, else a property list
// (an attachment or any other list); any other object or value is a type
// mismatch rather than something read as a list.
const TPropList* ContentArg(const Variant& value) {
  if (value.IsEmptyOrNull()) return nullptr;
  TObject* obj = ValueToObject(value);
  if (!obj) return nullptr;
  const TPropList* list = ObjectAs<TPropList>(obj);
  if (!list) RaiseError(53, -1);
  return list;
}

std::vector<Member> PostDataMembers() {
  return {
      {Access::Get, "Clear", [](Variant&, TInterpreterArgs& a) { Body(a).Clear(); }, 0, {}},
      {Access::Get, "Add",
       [](Variant&, TInterpreterArgs& a) {
         std::string name, value;
         Body(a).Add(TextView(a, 0, name), TextView(a, 1, value));
       },
       2, {kAny, kAny}},
      {Access::Get, "AddData",
       [](Variant&, TInterpreterArgs& a) { Body(a).AddData(TextArg(a, 0), ContentArg(Arg(a, 1))); }, 2,
       {kAny, kAny}},
      {Access::Get, "AddRawData",
       [](Variant&, TInterpreterArgs& a) {
         std::string spare;
         Body(a).AddRawData(TextView(a, 0, spare));
       },
       1, {kStr}},
      {Access::Get, "Text",
       [](Variant& v, TInterpreterArgs& a) {
         TPostData& body = Body(a);
         body.Finish();
         ChargeText(body.Size());
         v = Variant::String(body.GetText());
       },
       0, {}, kStr},
      {Access::Get, "Data", [](Variant& v, TInterpreterArgs& a) { v = ObjectToValue(&Body(a).GetStream()); }, 0, {},
       ObjectVarType()},
      {Access::Get, "Bound", [](Variant& v, TInterpreterArgs& a) { v = Variant::String(Body(a).Boundary()); }, 0, {},
       kStr},
      {Access::Get, "MultiPart", [](Variant& v, TInterpreterArgs& a) { v = Variant::Boolean(Body(a).MultiPart()); },
       0, {}, kBool},
      {Access::Set, "MultiPart", [](Variant& v, TInterpreterArgs& a) { Body(a).SetMultiPart(v.AsBoolean()); }, 0,
       {}},
  };
}

// --- THTTPClient -----------------------------------------------------------

THTTPClient& Client(const TInterpreterArgs& args) { return RequireInstance<THTTPClient>(args); }

// A text option's read and write members; both copy the text, and the
// client keeps what a script writes.
void AddTextOption(std::vector<Member>& members, const char* name, std::string THTTPClient::*field) {
  members.push_back({Access::Get, name,
                     [field](Variant& v, TInterpreterArgs& a) {
                       const std::string& text = Client(a).*field;
                       ChargeText(static_cast<int64_t>(text.size()));
                       v = Variant::String(text);
                     },
                     0, {}, kStr});
  members.push_back({Access::Set, name,
                     [field](Variant& v, TInterpreterArgs& a) {
                       std::string spare;
                       const std::string_view text = TextOf(v, spare);
                       ChargeText(static_cast<int64_t>(text.size()));
                       Client(a).*field = text;
                     },
                     0, {}});
}

void AddFlagOption(std::vector<Member>& members, const char* name, bool THTTPClient::*field) {
  members.push_back({Access::Get, name,
                     [field](Variant& v, TInterpreterArgs& a) { v = Variant::Boolean(Client(a).*field); }, 0, {}, kBool});
  members.push_back(
      {Access::Set, name, [field](Variant& v, TInterpreterArgs& a) { Client(a).*field = v.AsBoolean(); }, 0, {}});
}

std::vector<Member> ClientMembers() {
  std::vector<Member> members = {
      {Access::Get, "HTTPMethod",
       [](Variant&, TInterpreterArgs& a) { Client(a).HTTPMethod(TextArg(a, 0), TextArg(a, 1)); }, 2, {kStr, kStr}},
      {Access::Get, "Headers", [](Variant& v, TInterpreterArgs& a) { v = ObjectToValue(&Client(a).Headers); }, 0, {},
       ObjectVarType()},
  };
  AddTextOption(members, "CustomMime", &THTTPClient::CustomMime);
  AddTextOption(members, "CustomUserAgent", &THTTPClient::CustomUserAgent);
  AddTextOption(members, "Referer", &THTTPClient::Referer);
  AddFlagOption(members, "DontLoadResult", &THTTPClient::DontLoadResult);
  AddFlagOption(members, "HandleRedirects", &THTTPClient::HandleRedirects);
  AddTextOption(members, "Protocol", &THTTPClient::Protocol);
  return members;
}

// --- TImageProccess --------------------------------------------------------

TImageProccess& Image(const TInterpreterArgs& args) { return RequireInstance<TImageProccess>(args); }

std::vector<Member> ImageMembers() {
  return {
      {Access::Get, "SetSize", [](Variant&, TInterpreterArgs& a) { Image(a).SetSize(IntArg(a, 0), IntArg(a, 1)); },
       2, {kInt, kInt}},
      {Access::Get, "CopyRect",
       [](Variant&, TInterpreterArgs& a) { Image(a).CopyRect(IntArg(a, 0), IntArg(a, 1), VariantToRect(Arg(a, 2))); },
       3, {kInt, kInt, kAny}},
      {Access::Get, "TextOut",
       [](Variant&, TInterpreterArgs& a) { Image(a).TextOut(IntArg(a, 0), IntArg(a, 1), TextArg(a, 2)); }, 3,
       {kInt, kInt, kStr}},
  };
}

}  // namespace

void RegisterScriptClasses(TInterpreterAdapter& a) {
  AddClassWithMembers(a, TPropList::StaticClass(), PropListMembers());
  AddClassWithMembers(a, TMMSContentData::StaticClass(), {});
  AddClassWithMembers(a, TText::StaticClass(), TextMembers());
  AddClassWithMembers(a, TPostData::StaticClass(), PostDataMembers());
  AddClassWithMembers(a, THTTPClient::StaticClass(), ClientMembers());
  AddClassWithMembers(a, TImageProccess::StaticClass(), ImageMembers());
}

void RegisterScriptApi(TInterpreterAdapter& adapter) {
  RegisterTypesUnit(adapter);
  adapter.AddExtUnit(kApiUnit);
  RegisterScriptClasses(adapter);
  RegisterScriptFunctions(adapter);
}

void EnsureScriptApi() {
  static std::once_flag registered;
  std::call_once(registered, [] { RegisterScriptApi(GetGlobalAdapter()); });
}
