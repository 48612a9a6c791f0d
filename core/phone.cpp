// Phone-number parts, formats and the contact text built from them.
#include "phone.h"

#include <cstdint>

#include "options.h"
#include "strfuncs.h"
#include "variant.h"

namespace {

// A format piece as a count; anything that is not a 32-bit whole number is 0.
int64_t CountOf(std::string_view piece) {
  int64_t value = 0;
  if (!TryStrToInt64(piece, value) || value < INT32_MIN || value > INT32_MAX) return 0;
  return value;
}

// Text before the first dot (all of it when none) and text after it (all
// of it again when none).
std::pair<std::string_view, std::string_view> SplitAtDot(std::string_view text) {
  const size_t dot = text.find('.');
  if (dot == std::string_view::npos) return {text, text};
  return {text.substr(0, dot), text.substr(dot + 1)};
}

bool PhoneFormattingOn() {
  // Without an options object the registered default (on) applies.
  return Options == nullptr || Options->ReadBool("Interface\\FormatPhones");
}

// Dashes before positions length-3 and length-1 of the subscriber number,
// both counted in the number as given and clamped to its start.
std::string DashSubscriber(std::string number) {
  const int64_t length = static_cast<int64_t>(number.size());
  for (int64_t before : {length - 1, length - 3}) {
    const size_t at = before < 1 ? 0 : static_cast<size_t>(before - 1);
    number.insert(at < number.size() ? at : number.size(), 1, '-');
  }
  return number;
}

}  // namespace

std::string ExtractDigits(std::string_view s) {
  std::string digits;
  for (char c : s)
    if (c >= '0' && c <= '9') digits += c;
  return digits;
}

void SplitNamePhone(std::string_view s, std::string& name, std::string& phone) {
  name.clear();
  phone.clear();
  const size_t open = s.find('[');
  if (open == std::string_view::npos) return;
  name = strfuncs::Trim(s.substr(0, open));
  const size_t close = s.find(']', open + 1);
  if (close != std::string_view::npos) phone = strfuncs::Trim(s.substr(open + 1, close - open - 1));
}

std::string ExtractBracketed(std::string_view s) {
  const size_t open = s.find('[');
  if (open == std::string_view::npos) return {};
  const size_t close = s.find(']', open + 1);
  if (close == std::string_view::npos) return {};
  return std::string(strfuncs::Trim(s.substr(open, close - open)));
}

bool CheckPhoneFormat(std::string_view phone, std::string_view format) {
  int64_t sum = 0;
  size_t start = 0;
  while (true) {
    const size_t dot = format.find('.', start);
    sum += CountOf(format.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return static_cast<int64_t>(phone.size()) == sum;
}

std::string ExtractPhonePart(std::string_view phone, std::string_view format, int part) {
  const auto [countryText, rest] = SplitAtDot(format);
  const auto [defText, numberText] = SplitAtDot(rest);
  const int64_t country = CountOf(countryText), def = CountOf(defText), number = CountOf(numberText);
  switch (part) {
    case ppCountry: return strfuncs::Copy(phone, 1, country);
    case ppDef: return strfuncs::Copy(phone, country + 1, def);
    case ppNumber: return strfuncs::Copy(phone, country + def + 1, number);
    default: return {};
  }
}

std::string FormatPhone(std::string_view phone, std::string_view format) {
  if (format.empty() || !CheckPhoneFormat(phone, format) || !PhoneFormattingOn())
    return "+" + std::string(phone);
  return "+" + ExtractPhonePart(phone, format, ppCountry) + " " + ExtractPhonePart(phone, format, ppDef) + " " +
         DashSubscriber(ExtractPhonePart(phone, format, ppNumber));
}

std::string FormatContact(std::string_view name, std::string_view phone, std::string_view format) {
  if (name.empty()) return FormatPhone(phone, format);
  if (phone.empty()) return std::string(name);
  return std::string(name) + " [" + FormatPhone(phone, format) + "]";
}
