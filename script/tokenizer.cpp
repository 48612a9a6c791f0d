// The tokenizer: blank and comment skipping, token reading, token
// classification, keywords and operator priorities.
#include "tokenizer.h"

#include <charconv>
#include <iterator>

#include "cp1251.h"
#include "errors.h"

namespace {

struct Keyword {
  const char* word;
  int32_t kind;
};

constexpr Keyword kKeywords[] = {
    {"true", tkTrue},       {"false", tkFalse},         {"or", tkOr},
    {"and", tkAnd},         {"not", tkNot},             {"div", tkDiv},
    {"mod", tkMod},         {"shl", tkShl},             {"shr", tkShr},
    {"xor", tkXor},         {"begin", tkBegin},         {"end", tkEndKeyword},
    {"if", tkIf},           {"then", tkThen},           {"else", tkElse},
    {"while", tkWhile},     {"do", tkDo},               {"repeat", tkRepeat},
    {"until", tkUntil},     {"procedure", tkProcedure}, {"function", tkFunction},
    {"for", tkFor},         {"to", tkTo},               {"break", tkBreak},
    {"continue", tkContinue}, {"var", tkVar},           {"try", tkTry},
    {"finally", tkFinally}, {"except", tkExcept},       {"on", tkOn},
    {"raise", tkRaise},     {"external", tkExternal},   {"unit", tkUnit},
    {"uses", tkUses},       {"const", tkConst},         {"public", tkPublic},
    {"private", tkPrivate}, {"protected", tkProtected}, {"published", tkPublished},
    {"property", tkProperty}, {"class", tkClass},       {"type", tkType},
    {"interface", tkInterface}, {"implementation", tkImplementation},
    {"exit", tkExit},       {"array", tkArray},         {"of", tkOf},
    {"case", tkCase},       {"program", tkProgram},     {"in", tkIn},
    {"record", tkRecord},   {"downto", tkDownto},
};
static_assert(std::size(kKeywords) == 52);

constexpr size_t kMinKeyword = 2;
constexpr size_t kMaxKeyword = 14;  // "implementation"

struct Priority {
  int32_t kind;
  int32_t priority;
};

constexpr Priority kPriorities[] = {
    {tkNot, 8},     {tkMul, 6},       {tkSlash, 6},        {tkDiv, 6},       {tkMod, 6},
    {tkShl, 6},     {tkShr, 6},       {tkAnd, 5},          {tkPlus, 4},      {tkMinus, 4},
    {tkOr, 4},      {tkEqual, 3},     {tkGreater, 3},      {tkLess, 3},      {tkNotEqual, 3},
    {tkXor, 3},     {tkGreaterEqual, 2}, {tkLessEqual, 2},
};

struct SingleChar {
  char c;
  int32_t kind;
};

constexpr SingleChar kSingleChars[] = {
    {'(', tkOpenParen}, {')', tkCloseParen}, {'*', tkMul},   {'+', tkPlus},   {',', tkComma},
    {'-', tkMinus},     {'.', tkDot},        {'/', tkSlash}, {':', tkColon},  {';', tkSemicolon},
    {'<', tkLess},      {'=', tkEqual},      {'>', tkGreater}, {'[', tkOpenBracket},
    {']', tkCloseBracket}, {'"', tkDoubleQuote},
};

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsHexDigit(char c) { return cp1251::IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
bool IsIdentStart(char c) { return IsAsciiLetter(c) || cp1251::IsLetter(c); }

// The text as the tokenizer sees it: cut at the first NUL.
std::string_view Visible(std::string_view source) {
  size_t nul = source.find('\0');
  return nul == std::string_view::npos ? source : source.substr(0, nul);
}

int32_t ToPos(size_t offset) { return offset > INT32_MAX ? INT32_MAX : static_cast<int32_t>(offset); }

// Skips blanks and comments from `p`; returns the offset of the token.
size_t SkipBlanks(std::string_view s, size_t p) {
  for (;;) {
    size_t start = p;
    if (p < s.size() && s[p] == '{') {
      size_t close = s.find('}', p + 1);
      if (close == std::string_view::npos) RaiseError(101, ToPos(p));
      p = close + 1;
    } else if (p + 1 < s.size() && s[p] == '(' && s[p + 1] == '*') {
      size_t close = s.find("*)", p + 2);
      if (close == std::string_view::npos) RaiseError(101, ToPos(p));
      p = close + 2;
    } else if (p + 1 < s.size() && s[p] == '/' && s[p + 1] == '/') {
      p = s.find_first_of("\r\n", p + 2);
      if (p == std::string_view::npos) p = s.size();
    } else if (p < s.size() && (s[p] == '}' || (s[p] == '*' && p + 1 < s.size() && s[p + 1] == ')'))) {
      RaiseError(101, ToPos(p));
    }
    while (p < s.size() && (s[p] == ' ' || s[p] == '\t' || s[p] == '\n' || s[p] == '\r')) ++p;
    if (p == start) return p;
  }
}

size_t ScanIdentifier(std::string_view s, size_t p, bool localeLetters) {
  while (p < s.size() && (IsAsciiLetter(s[p]) || cp1251::IsDigit(s[p]) || (localeLetters && cp1251::IsLetter(s[p]))))
    ++p;
  return p;
}

size_t ScanNumber(std::string_view s, size_t p) {
  while (p < s.size() && (cp1251::IsDigit(s[p]) || s[p] == '.')) {
    if (s[p] == '.' && p + 1 < s.size() && s[p + 1] == '.') break;
    ++p;
  }
  return p;
}

// A string literal from the opening quote at `p`; fills the token text.
size_t ScanString(std::string_view s, size_t p, std::string& text) {
  size_t q = p + 1;
  for (;;) {
    if (q >= s.size()) break;
    char c = s[q];
    if (c == '\n' || c == '\r') {
      ++q;  // the line end belongs to the broken literal
      break;
    }
    if (c == '\'') {
      if (q + 1 < s.size() && s[q + 1] == '\'') {
        q += 2;
        continue;
      }
      ++q;
      break;
    }
    ++q;
  }
  std::string_view raw = s.substr(p, q - p);
  text.clear();
  text.reserve(raw.size());
  // Collapse doubled quotes between the first and the last character.
  text += raw[0];
  size_t last = raw.size() - 1;
  for (size_t i = 1; i < last; ++i) {
    if (raw[i] == '\'') {
      ++i;
      if (i >= last) {  // the second quote of the pair is the last character
        break;
      }
    }
    text += raw[i];
  }
  if (last > 0) text += raw[last];
  return q;
}

size_t ScanCharCode(std::string_view s, size_t p, std::string& text) {
  size_t q = p + 1;
  while (q < s.size() && cp1251::IsDigit(s[q])) ++q;
  std::string_view digits = s.substr(p + 1, q - p - 1);
  int32_t code = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), code);
  if (ec != std::errc() || end != digits.data() + digits.size())
    throw EConvertError("'" + std::string(digits) + "' is not a valid integer value");
  text = {'\'', static_cast<char>(code & 0xFF), '\''};
  return q;
}

bool IsTwoCharOperator(std::string_view s, size_t p) {
  if (p + 1 >= s.size()) return false;
  char a = s[p], b = s[p + 1];
  return (a == '.' && b == '.') || (a == '>' && b == '=') || (a == '<' && (b == '=' || b == '>'));
}

}  // namespace

std::string_view ScriptText(std::string_view source) { return Visible(source); }

TToken ReadToken(std::string_view source, size_t offset) { return ReadTokenIn(Visible(source), offset); }

TToken ReadTokenIn(std::string_view s, size_t offset) {
  TToken token;
  if (offset > s.size()) offset = s.size();
  size_t p = SkipBlanks(s, offset);
  token.Start = p;
  token.End = p;
  if (p >= s.size()) return token;

  bool afterDot = offset > 0 && s[offset - 1] == '.';
  char c = s[p];
  size_t q;
  if (IsAsciiLetter(c) || (afterDot && cp1251::IsLetter(c))) {
    q = ScanIdentifier(s, p + 1, afterDot);
  } else if (cp1251::IsDigit(c)) {
    q = ScanNumber(s, p + 1);
  } else if (c == '$' && p + 1 < s.size() && IsHexDigit(s[p + 1])) {
    q = p + 1;
    while (q < s.size() && IsHexDigit(s[q])) ++q;
  } else if (c == '\'') {
    token.End = ScanString(s, p, token.Text);
    return token;
  } else if (c == '#' && p + 1 < s.size() && cp1251::IsDigit(s[p + 1])) {
    token.End = ScanCharCode(s, p, token.Text);
    return token;
  } else if (IsTwoCharOperator(s, p)) {
    q = p + 2;
  } else {
    q = p + 1;
  }
  token.End = q;
  token.Text.assign(s.substr(p, q - p));
  return token;
}

namespace {

// Keywords bucketed by length and first letter, so that a lookup compares
// against at most a couple of candidates.
struct KeywordIndex {
  static constexpr size_t kPerBucket = 4;
  uint8_t entries[kMaxKeyword + 1][26][kPerBucket] = {};
  uint8_t counts[kMaxKeyword + 1][26] = {};

  KeywordIndex() {
    for (size_t i = 0; i < std::size(kKeywords); ++i) {
      std::string_view word = kKeywords[i].word;
      size_t letter = static_cast<size_t>(word[0] - 'a');
      entries[word.size()][letter][counts[word.size()][letter]++] = static_cast<uint8_t>(i);
    }
  }
};

const KeywordIndex& Keywords() {
  static const KeywordIndex index;
  return index;
}

}  // namespace

int32_t KeywordKind(std::string_view text) {
  if (text.size() < kMinKeyword || text.size() > kMaxKeyword) return 0;
  char first = cp1251::Lower(text[0]);
  if (first < 'a' || first > 'z') return 0;
  const KeywordIndex& index = Keywords();
  size_t letter = static_cast<size_t>(first - 'a');
  for (uint8_t n = 0; n < index.counts[text.size()][letter]; ++n) {
    const Keyword& k = kKeywords[index.entries[text.size()][letter][n]];
    bool same = true;
    for (size_t i = 1; i < text.size() && same; ++i) same = cp1251::Lower(text[i]) == k.word[i];
    if (same) return k.kind;
  }
  return 0;
}

int32_t ClassifyToken(std::string_view text) {
  if (text.empty()) return tkEnd;
  if (text.size() == 1) {
    char c = text[0];
    for (const SingleChar& sc : kSingleChars)
      if (sc.c == c) return sc.kind;
    if (cp1251::IsDigit(c)) return tkInteger;
  } else {
    if (text[0] == '$') {
      bool hex = true;
      for (size_t i = 1; i < text.size() && hex; ++i) hex = IsHexDigit(text[i]);
      if (hex) return tkInteger;
    }
    if (text.starts_with("..")) return tkRange;
    if (text == "<=") return tkLessEqual;
    if (text == "<>") return tkNotEqual;
    if (text == ">=") return tkGreaterEqual;
  }
  size_t dots = 0;
  bool numeric = true;
  for (char c : text) {
    if (c == '.') ++dots;
    else if (!cp1251::IsDigit(c)) numeric = false;
  }
  if (numeric && dots <= 1) return dots ? tkFloat : tkInteger;
  if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'') return tkString;
  if (int32_t kind = KeywordKind(text)) return kind;
  if (!IsIdentStart(text[0])) return tkUnknown;
  for (char c : text.substr(1))
    if (!IsIdentStart(c) && !cp1251::IsDigit(c)) return tkUnknown;
  return tkIdentifier;
}

int32_t OperatorPriority(int32_t kind) {
  for (const Priority& p : kPriorities)
    if (p.kind == kind) return p.priority;
  return 0;
}

void TInterpreterParser::SetSource(std::string source) {
  source_ = std::move(source);
  length_ = Visible(source_).size();
  position_ = 0;
}

std::string TInterpreterParser::NextTokenText() {
  TToken token = ReadTokenIn(std::string_view(source_.data(), length_), position_);
  position_ = token.End;
  return std::move(token.Text);
}
