// Token cache: reads each token once and replays it, failures included.
#include "tokencache.h"

#include <charconv>

#include "errors.h"
#include "tokenizer.h"

namespace {

// Offsets are kept in 32 bits; a longer text is cut there.
constexpr size_t kMaxText = 0xFFFFFFF0u;

// The value the evaluator reads from a literal of each kind; false for a
// token that is no literal.
bool MakeLiteral(int32_t kind, const std::string& text, Variant& value) {
  switch (kind) {
    case tkInteger: {
      int64_t v = 0;
      bool hex = text[0] == '$';
      std::string_view digits = hex ? std::string_view(text).substr(1) : std::string_view(text);
      auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v, hex ? 16 : 10);
      // A hexadecimal literal may fill all 32 bits ($FFFFFFFF is -1); a
      // decimal one must fit a signed 32-bit integer.
      bool fits = ec == std::errc() && end == digits.data() + digits.size() &&
                  (hex ? v <= 0xFFFFFFFFLL : v <= INT32_MAX);
      if (!fits) throw EConvertError("'" + text + "' is not a valid integer value");
      value = Variant::Integer(static_cast<int32_t>(static_cast<uint32_t>(v)));
      return true;
    }
    case tkFloat: {
      double d = 0;
      if (!TryStrToFloat(text, d)) RaiseError(2, -1);
      value = Variant::Double(d);
      return true;
    }
    case tkString:
      value = Variant::String(text.substr(1, text.size() - 2));
      return true;
    case tkTrue:
    case tkFalse:
      value = Variant::Boolean(kind == tkTrue);
      return true;
    default:
      return false;
  }
}

uint32_t SlotHash(uint32_t offset) { return (offset + 1) * 2654435761u; }

}  // namespace

TTokenCache::TTokenCache() { Reset({}); }

void TTokenCache::Reset(std::string_view text) {
  text_ = ScriptText(text);
  if (text_.size() > kMaxText) text_ = text_.substr(0, kMaxText);
  slots_.assign(16, 0);
  for (Jump& j : jumps_) j = Jump{};
  tokens_.clear();
  spellings_.clear();
  failures_.clear();
  marks_.clear();
}

uint32_t* TTokenCache::Find(uint32_t offset) {
  const size_t mask = slots_.size() - 1;
  for (size_t i = SlotHash(offset) & mask;; i = (i + 1) & mask)
    if (slots_[i] == 0 || tokens_[slots_[i] - 1].Offset == offset) return &slots_[i];
}

void TTokenCache::Grow() {
  std::vector<uint32_t> old(slots_.size() * 2, 0);
  old.swap(slots_);
  for (uint32_t s : old)
    if (s) *Find(tokens_[s - 1].Offset) = s;
}

const TCachedToken& TTokenCache::Look(size_t offset) {
  const uint32_t slot = *Find(static_cast<uint32_t>(offset));
  const TCachedToken& t = slot ? tokens_[slot - 1] : Fill(offset);
  jumps_[offset % kJumps] = {offset, &t};
  return t;
}

void TTokenCache::Raise(const TCachedToken& t) const {
  const Failure& f = failures_.at(&t);
  if (f.Code) throw EInterpreterError(f.Code, f.Pos);
  throw EConvertError(f.Message);
}

const TTokenSpelling& TTokenCache::Spell(std::string text, int32_t kind) {
  auto it = spellings_.find(text);
  if (it != spellings_.end()) return it->second;
  TTokenSpelling spelling;
  spelling.Text = text;
  MakeLiteral(kind, spelling.Text, spelling.Value);
  return spellings_.emplace(std::move(text), std::move(spelling)).first->second;
}

const TCachedToken& TTokenCache::Fill(size_t offset) {
  if ((tokens_.size() + 1) * 2 > slots_.size()) Grow();
  TCachedToken& t = tokens_.emplace_back();
  t.Offset = static_cast<uint32_t>(offset);
  Failure failure;
  try {
    TToken raw = ReadTokenIn(text_, offset);
    const int32_t kind = ClassifyToken(raw.Text);
    t.Spelling = &Spell(std::move(raw.Text), kind);
    t.End = static_cast<uint32_t>(raw.End);
    t.Kind = static_cast<int8_t>(kind);
    t.Priority = static_cast<int8_t>(OperatorPriority(kind));
  } catch (const EInterpreterError& e) {
    failure.Code = e.ErrCode;
    failure.Pos = e.ErrPos;
    t.Failed = true;
  } catch (const Exception& e) {
    failure.Message = e.Message();
    t.Failed = true;
  }
  if (t.Failed) {
    t.Spelling = &Spell({}, tkEnd);
    failures_.emplace(&t, std::move(failure));
  }
  *Find(t.Offset) = static_cast<uint32_t>(tokens_.size());
  return t;
}
