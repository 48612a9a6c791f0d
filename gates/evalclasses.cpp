// The page text's search members and the scripts' HTTP client.
#include "evalclasses.h"

#include "errors.h"
#include "regexp.h"
#include "strfuncs.h"
#include "textutils.h"
#include "values.h"

std::string TText::RegExp(std::string_view pattern, int index) const { return ::RegExp(Text, pattern, index); }

int64_t TText::PosEx(std::string_view s, int64_t offset) const { return strfuncs::PosEx(s, Text, offset); }

int64_t TText::LastPosEx(std::string_view s, int64_t offset) const { return ::LastPosEx(s, Text, offset); }

std::string TText::StrBetween(std::string_view startStr, std::string_view endStr) const {
  return ::StrBetween(Text, startStr, endStr);
}

std::string TText::StrBetweenRev(std::string_view startStr, std::string_view endStr) const {
  return ::StrBetweenRev(Text, startStr, endStr);
}

void THTTPClient::HTTPMethod(const std::string& method, const std::string& url) {
  if (RequestHandler) RequestHandler(*this, method, url);
}

TObject* EntryObjectAt(const TPropList& list, int index) {
  if (list.IsObject(index)) {
    if (list.ObjectFreed(index)) RaiseError(2, -1, "Object has been freed");
    return list.GetObject(index);
  }
  const Variant value = list.GetItem(index);
  return value.VarType() == ObjectVarType() ? ValueToObject(value) : nullptr;
}

TObject* EntryObject(const TPropList& list, std::string_view name) {
  const int index = list.IndexOf(name);
  return index < 0 ? nullptr : EntryObjectAt(list, index);
}
