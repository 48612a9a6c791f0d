// Format directives parsed one by one; floating-point values go through a
// decimal form of 18 significant digits rounded half away from zero, as the
// gate scripts were written against. Currency values, which the argument
// list makes of every floating value, keep their four decimals exactly.
#include "evalformat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "cp1251.h"
#include "exceptions.h"
#include "gatelimits.h"
#include "scriptrun.h"
#include "values.h"

namespace {

constexpr size_t kQuotedFormatLength = 31;
constexpr int kDefaultSignificant = 15;  // %e and %g without a precision
constexpr int kMaxSignificant = 18;
constexpr int kDefaultDecimals = 2;      // %f, %n and %m without a precision
constexpr int kMaxDecimals = 18;
constexpr int kExponentDigits = 3;       // %e writes E+003
constexpr int kCurrencyDecimals = 4;
constexpr char kThousandSeparator = '\xA0';
constexpr std::string_view kCurrency = "\xF0.";  // "р." in Windows-1251

// An argument that came as a number or flag of its own rather than as a
// generic value: Booleans, 16- and 32-bit integers and the floating kinds the
// argument list turns into currency. %s refuses these and writes every other
// value (a 64-bit or unsigned whole number, a date, a text) as its text.
bool IsNumberEntry(const Variant& arg) {
  switch (arg.VarType()) {
    case varBoolean: case varSmallint: case varInteger: case varDouble: case varCurrency: return true;
    default: return false;
  }
}

// A number as 0.digits × 10^exponent; no digits for zero.
struct Decimal {
  bool negative = false;
  int exponent = 0;
  std::string digits;
};

Decimal ToDecimal(double value) {
  Decimal d;
  d.negative = std::signbit(value);
  if (value == 0) return d;
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific,
                                 kMaxSignificant - 1);
  const std::string_view text(buffer, static_cast<size_t>(end - buffer));
  const size_t e = text.find('e');
  d.digits += text[0];
  d.digits += text.substr(2, e - 2);
  int exponent = 0;
  std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(), exponent);
  d.exponent = exponent + 1;
  d.digits.erase(d.digits.find_last_not_of('0') + 1);
  return d;
}

// A currency value's digits as they are: 2.675 stays 2.675, which no double
// holds.
Decimal CurrencyDecimal(int64_t scaled) {
  Decimal d;
  d.negative = scaled < 0;
  if (scaled == 0) return d;
  d.digits = std::to_string(scaled < 0 ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled));
  d.exponent = static_cast<int>(d.digits.size()) - kCurrencyDecimals;
  d.digits.erase(d.digits.find_last_not_of('0') + 1);
  return d;
}

// Keeps `count` significant digits, rounding half away from zero.
Decimal RoundDigits(Decimal d, int count) {
  if (count < 0 || d.digits.empty()) {
    if (count < 0) d.digits.clear();
    return d;
  }
  if (static_cast<size_t>(count) >= d.digits.size()) return d;
  const bool up = d.digits[static_cast<size_t>(count)] >= '5';
  d.digits.resize(static_cast<size_t>(count));
  if (up) {
    int i = count - 1;
    for (; i >= 0 && d.digits[static_cast<size_t>(i)] == '9'; --i) d.digits[static_cast<size_t>(i)] = '0';
    if (i >= 0) {
      ++d.digits[static_cast<size_t>(i)];
    } else {
      d.digits.insert(d.digits.begin(), '1');
      ++d.exponent;
    }
  }
  d.digits.erase(d.digits.find_last_not_of('0') + 1);
  if (d.digits.empty()) d.exponent = 0;
  return d;
}

char DigitAt(const Decimal& d, int i) {
  return i >= 0 && static_cast<size_t>(i) < d.digits.size() ? d.digits[static_cast<size_t>(i)] : '0';
}

std::string Sign(const Decimal& d) { return d.negative && !d.digits.empty() ? "-" : ""; }

std::string SpecialValue(double value) {
  if (std::isnan(value)) return "NAN";
  return value > 0 ? "INF" : "-INF";
}

// Digits before the point, optionally grouped by thousands.
std::string IntegerPart(const Decimal& d, bool grouped) {
  std::string digits;
  for (int i = 0; i < d.exponent; ++i) digits += DigitAt(d, i);
  if (digits.empty()) digits = "0";
  if (!grouped) return digits;
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += kThousandSeparator;
    out += digits[i];
  }
  return out;
}

std::string Fixed(const Decimal& exact, int decimals, bool grouped) {
  const Decimal d = RoundDigits(exact, exact.exponent + decimals);
  std::string out = Sign(d) + IntegerPart(d, grouped);
  if (decimals > 0) {
    out += '.';
    for (int i = 0; i < decimals; ++i) out += DigitAt(d, d.exponent + i);
  }
  return out;
}

std::string Scientific(const Decimal& exact, int significant) {
  const Decimal d = RoundDigits(exact, significant);
  std::string out = Sign(d);
  out += DigitAt(d, 0);
  if (significant > 1) out += '.';
  for (int i = 1; i < significant; ++i) out += DigitAt(d, i);
  const int exponent = d.digits.empty() ? 0 : d.exponent - 1;
  std::string power = std::to_string(exponent < 0 ? -exponent : exponent);
  if (power.size() < static_cast<size_t>(kExponentDigits)) power.insert(0, kExponentDigits - power.size(), '0');
  return out + "E" + (exponent < 0 ? "-" : "+") + power;
}

// The shortest form: fixed while the digits before the point fit the
// precision and the value is not below 0.0001, else with an exponent.
std::string General(const Decimal& exact, int significant) {
  const Decimal d = RoundDigits(exact, significant);
  if (d.digits.empty()) return "0";
  const int count = static_cast<int>(d.digits.size());
  std::string out = Sign(d);
  if (d.exponent > significant || d.exponent < -3) {
    out += d.digits[0];
    if (count > 1) out += "." + d.digits.substr(1);
    const int exponent = d.exponent - 1;
    return out + "E" + (exponent < 0 ? "-" : "") + std::to_string(exponent < 0 ? -exponent : exponent);
  }
  out += IntegerPart(d, false);
  if (count > d.exponent) {
    out += '.';
    for (int i = d.exponent; i < count; ++i) out += DigitAt(d, i);
  }
  return out;
}

std::string Money(const Decimal& exact, int decimals) { return Fixed(exact, decimals, true) + std::string(kCurrency); }

std::string Hex(uint64_t value, int64_t minDigits) {
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, 16);
  std::string digits = cp1251::UpperCase(std::string_view(buffer, static_cast<size_t>(end - buffer)));
  if (static_cast<int64_t>(digits.size()) < minDigits) digits.insert(0, static_cast<size_t>(minDigits) - digits.size(), '0');
  return digits;
}

// The value of a whole-number argument as its own width sees it: 32 bits
// unless it is a 64-bit kind.
uint64_t Unsigned(const Variant& arg) {
  const int64_t v = arg.AsInt64();
  return arg.VarType() == varInt64 ? static_cast<uint64_t>(v) : static_cast<uint64_t>(static_cast<uint32_t>(v));
}

class Formatter {
 public:
  Formatter(std::string_view format, const std::vector<Variant>& args) : format_(format), args_(args) {}

  std::string Run() {
    while (pos_ < format_.size()) {
      const char c = format_[pos_++];
      if (c != '%') {
        out_ += c;
        continue;
      }
      if (Peek() == '%') {
        ++pos_;
        out_ += '%';
        continue;
      }
      Directive();
    }
    return out_.Take();
  }

 private:
  char Peek() const { return pos_ < format_.size() ? format_[pos_] : '\0'; }

  std::string Quoted() const {
    return "'" + std::string(format_.substr(0, std::min(format_.size(), kQuotedFormatLength))) + "'";
  }
  [[noreturn]] void Invalid() const {
    throw EConvertError("Format " + Quoted() + " invalid or incompatible with argument");
  }
  [[noreturn]] void Missing() const { throw EConvertError("No argument for format " + Quoted()); }

  const Variant& NextArg() {
    if (next_ >= args_.size()) Missing();
    return args_[next_++];
  }

  // Digits or "*" at the position; false when neither is there.
  bool ReadNumber(int64_t& number) {
    if (Peek() == '*') {
      ++pos_;
      const Variant& arg = NextArg();
      if (!arg.IsInteger()) Invalid();
      number = arg.AsInt64();
      if (number > kMaxFormatWidth) Invalid();
      return true;
    }
    if (!cp1251::IsDigit(Peek())) return false;
    number = 0;
    while (cp1251::IsDigit(Peek())) {
      number = number * 10 + (format_[pos_++] - '0');
      if (number > kMaxFormatWidth) Invalid();
    }
    return true;
  }

  void Directive() {
    int64_t number = 0;
    bool have = ReadNumber(number);
    if (have && Peek() == ':') {
      ++pos_;
      if (number < 0) Invalid();
      next_ = static_cast<size_t>(number);
      have = false;
    }
    bool left = false;
    if (Peek() == '-') {
      ++pos_;
      left = true;
    }
    int64_t width = -1;
    if (!have) have = ReadNumber(number);
    if (have) width = number;
    int64_t precision = -1;
    if (Peek() == '.') {
      ++pos_;
      if (!ReadNumber(precision)) precision = 0;
    }
    if (pos_ >= format_.size()) Invalid();
    const char type = cp1251::Upper(format_[pos_++]);
    std::string text = Convert(type, NextArg(), precision);
    if (width > static_cast<int64_t>(text.size())) {
      const std::string padding(static_cast<size_t>(width) - text.size(), ' ');
      text = left ? text + padding : padding + text;
    }
    out_ += text;
  }

  std::string Convert(char type, const Variant& arg, int64_t precision) const {
    switch (type) {
      case 'D': {
        if (!arg.IsInteger()) Invalid();
        const int64_t v = arg.AsInt64();
        std::string digits = std::to_string(v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v));
        if (precision > static_cast<int64_t>(digits.size()))
          digits.insert(0, static_cast<size_t>(precision) - digits.size(), '0');
        return (v < 0 ? "-" : "") + digits;
      }
      case 'U': {
        if (!arg.IsInteger()) Invalid();
        std::string digits = std::to_string(Unsigned(arg));
        if (precision > static_cast<int64_t>(digits.size()))
          digits.insert(0, static_cast<size_t>(precision) - digits.size(), '0');
        return digits;
      }
      case 'X':
        if (!arg.IsInteger()) Invalid();
        return Hex(Unsigned(arg), precision);
      case 'E': case 'F': case 'G': case 'N': case 'M':
        if (!arg.IsFloat()) Invalid();
        return Floating(type, arg, precision);
      case 'S': {
        if (IsNumberEntry(arg)) Invalid();
        std::string s = arg.AsString();
        if (precision >= 0 && precision < static_cast<int64_t>(s.size())) s.resize(static_cast<size_t>(precision));
        return s;
      }
      case 'P':
        if (arg.VarType() != PointerVarType()) Invalid();
        return Hex(arg.Bits(), 8);
      default:
        Invalid();
    }
  }

  static std::string Floating(char type, const Variant& arg, int64_t precision) {
    const double value = arg.AsDouble();
    const bool currency = arg.VarType() == varCurrency;
    if (!currency && !std::isfinite(value)) return SpecialValue(value);
    const Decimal exact = currency ? CurrencyDecimal(arg.AsCurrencyScaled()) : ToDecimal(value);
    const int significant =
        precision < 0 || precision > kDefaultSignificant ? kDefaultSignificant : std::max<int>(1, static_cast<int>(precision));
    const int decimals = precision < 0 ? kDefaultDecimals : static_cast<int>(std::min<int64_t>(precision, kMaxDecimals));
    switch (type) {
      case 'E': return Scientific(exact, significant);
      case 'G': return General(exact, significant);
      case 'N': return Fixed(exact, decimals, true);
      case 'M': return Money(exact, decimals);
      default:
        // Beyond 18 digits before the point a fixed form would print digits
        // the value does not have.
        return std::fabs(value) >= 1e18 ? General(exact, kDefaultSignificant) : Fixed(exact, decimals, false);
    }
  }

  std::string_view format_;
  const std::vector<Variant>& args_;
  size_t pos_ = 0;
  size_t next_ = 0;
  TScriptText out_;  // charged to the running script as it grows
};

}  // namespace

std::string FormatScriptText(std::string_view format, const std::vector<Variant>& args) {
  return Formatter(format, args).Run();
}
