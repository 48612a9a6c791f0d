// Token cache: reads each token once and replays it, failures included.
#include "tokencache.h"

#include <charconv>

#include "errors.h"
#include "tokenizer.h"

namespace {

// The value the evaluator reads from a token of each kind.
void SetTokenValue(TCachedToken& t) {
  switch (t.Kind) {
    case tkIdentifier:
    case tkArray:
      t.Value = Variant::String(t.Text);
      break;
    case tkInteger: {
      int64_t v = 0;
      bool hex = t.Text[0] == '$';
      std::string_view digits = hex ? std::string_view(t.Text).substr(1) : std::string_view(t.Text);
      auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v, hex ? 16 : 10);
      // A hexadecimal literal may fill all 32 bits ($FFFFFFFF is -1); a
      // decimal one must fit a signed 32-bit integer.
      bool fits = ec == std::errc() && end == digits.data() + digits.size() &&
                  (hex ? v <= 0xFFFFFFFFLL : v <= INT32_MAX);
      if (!fits) throw EConvertError("'" + t.Text + "' is not a valid integer value");
      t.Value = Variant::Integer(static_cast<int32_t>(static_cast<uint32_t>(v)));
      break;
    }
    case tkFloat: {
      double d = 0;
      if (!TryStrToFloat(t.Text, d)) RaiseError(2, -1);
      t.Value = Variant::Double(d);
      break;
    }
    case tkString:
      t.Value = Variant::String(t.Text.substr(1, t.Text.size() - 2));
      break;
    case tkTrue:
    case tkFalse:
      t.Value = Variant::Boolean(t.Kind == tkTrue);
      break;
    default:
      return;
  }
  t.HasValue = true;
}

}  // namespace

void TTokenCache::Reset(std::string_view text) {
  text_ = ScriptText(text);
  slots_.assign(text_.size() + 1, nullptr);
  tokens_.clear();
}

void TTokenCache::Raise(const TCachedToken& t) {
  if (t.ErrorCode) throw EInterpreterError(t.ErrorCode, t.ErrorPos);
  throw EConvertError(t.ErrorMessage);
}

const TCachedToken& TTokenCache::Fill(size_t offset) {
  TCachedToken& t = tokens_.emplace_back();
  slots_[offset] = &t;
  try {
    TToken raw = ReadTokenIn(text_, offset);
    t.Start = raw.Start;
    t.End = raw.End;
    t.Text = std::move(raw.Text);
    t.Kind = ClassifyToken(t.Text);
    t.Priority = OperatorPriority(t.Kind);
    SetTokenValue(t);
  } catch (const EInterpreterError& e) {
    t.Failed = true;
    t.ErrorCode = e.ErrCode;
    t.ErrorPos = e.ErrPos;
  } catch (const Exception& e) {
    t.Failed = true;
    t.ErrorMessage = e.Message();
  }
  return t;
}
