// Gate XML through libxml2. The parser sees UTF-8 only: the bytes are
// converted here by the gate files' own encoding rule, and the carriage
// returns inside elements are carried past the parser's line-end
// normalisation in a stand-in character, turned back when texts are read.
#include "gatexml.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cassert>
#include <cstring>
#include <iterator>
#include <mutex>

#include "cp1251.h"
#include "gatelimits.h"
#include "xmldoc.h"

namespace {

// A private-use character that no Windows-1251 text can hold: it stands for
// a carriage return inside an element while the parser runs.
constexpr char kCrStandInBytes[] = "\xEE\x80\x8D";  // U+E00D
constexpr std::string_view kCrStandIn(kCrStandInBytes, 3);
constexpr char32_t kCrStandInCode = 0xE00D;

// One encoding a byte-order mark can select.
enum class Encoding { kWindows1251, kUtf8, kUtf16LE, kUtf16BE };

struct ByteOrderMark {
  std::string_view bytes;
  Encoding encoding;
};

constexpr ByteOrderMark kByteOrderMarks[] = {
    {"\xEF\xBB\xBF", Encoding::kUtf8},
    {"\xFF\xFE", Encoding::kUtf16LE},
    {"\xFE\xFF", Encoding::kUtf16BE},
};

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

[[noreturn]] void RaiseBadUtf16() { throw EGateXmlError("текст в UTF-16 повреждён"_cp); }

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  if (bytes.size() % 2) RaiseBadUtf16();
  auto unit = [&](size_t i) -> char32_t {
    auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
    auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
    return (char32_t(hi) << 8) | lo;
  };
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); i += 2) {
    char32_t cp = unit(i);
    if (cp >= 0xDC00 && cp < 0xE000) RaiseBadUtf16();
    if (cp >= 0xD800 && cp < 0xDC00) {
      if (i + 2 >= bytes.size()) RaiseBadUtf16();
      char32_t low = unit(i + 2);
      if (low < 0xDC00 || low >= 0xE000) RaiseBadUtf16();
      cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

// The text as UTF-8 by the gate files' rule: the byte-order mark decides,
// and without one the bytes are Windows-1251, whatever the declaration
// inside claims.
std::string ToUtf8ByMark(std::string_view bytes) {
  for (const ByteOrderMark& mark : kByteOrderMarks) {
    if (!bytes.starts_with(mark.bytes)) continue;
    std::string_view rest = bytes.substr(mark.bytes.size());
    if (mark.encoding == Encoding::kUtf8) return std::string(rest);
    return Utf16ToUtf8(rest, mark.encoding == Encoding::kUtf16BE);
  }
  return cp1251::ToUtf8(bytes);
}

// Whether the stand-in starts at `p`, with `end` the end of the text.
bool StandInAt(const char* p, const char* end) {
  return end - p >= 3 && p[0] == kCrStandInBytes[0] && p[1] == kCrStandInBytes[1] && p[2] == kCrStandInBytes[2];
}

// The text with each stand-in turned back into a carriage return, built in
// one pass: a text of nothing but stand-ins costs what any other text does.
std::string RestoreLineBreaks(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  const char* end = utf8.data() + utf8.size();
  size_t plain = 0;  // first byte not yet copied
  for (size_t at = utf8.find(kCrStandInBytes[0]); at != std::string_view::npos;
       at = utf8.find(kCrStandInBytes[0], at)) {
    size_t run = at;
    while (StandInAt(utf8.data() + run, end)) run += kCrStandIn.size();
    if (run == at) {
      ++at;
      continue;
    }
    out.append(utf8.substr(plain, at - plain));
    out.append((run - at) / kCrStandIn.size(), '\r');
    plain = at = run;
  }
  out.append(utf8.substr(plain));
  return out;
}

// Where the next of a few bytes lies in a text. Each byte is looked for on
// its own (memchr) and its place remembered until the reading passes it, so
// a byte that is rare costs nothing while another is frequent, and each is
// looked for over the text once.
class NextOfBytes {
 public:
  NextOfBytes(std::string_view text, std::string_view bytes, size_t from) : text_(text), bytes_(bytes) {
    assert(bytes_.size() <= std::size(next_));
    for (size_t i = 0; i < bytes_.size(); ++i) next_[i] = Find(i, from);
  }

  // The first of the bytes at or after `from`; the text's size when none is.
  size_t From(size_t from) {
    size_t first = text_.size();
    for (size_t i = 0; i < bytes_.size(); ++i) {
      if (next_[i] < from) next_[i] = Find(i, from);
      first = std::min(first, next_[i]);
    }
    return first;
  }

 private:
  size_t Find(size_t i, size_t from) const { return std::min(text_.find(bytes_[i], from), text_.size()); }

  std::string_view text_, bytes_;
  size_t next_[3] = {};
};

// The code point of the character reference at the start of `text` ("&#13;",
// "&#x0D;"), or nothing when no complete one is there. Values past Unicode
// are all alike here: they only need to differ from the stand-in.
std::optional<char32_t> CharacterReference(std::string_view text) {
  if (!text.starts_with("&#")) return std::nullopt;
  bool hex = text.size() > 2 && text[2] == 'x';
  char32_t value = 0;
  bool digits = false;
  for (size_t i = hex ? 3 : 2; i < text.size(); ++i) {
    char c = text[i];
    int digit = c >= '0' && c <= '9'          ? c - '0'
                : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                              : -1;
    if (digit < 0) return c == ';' && digits ? std::optional<char32_t>(value) : std::nullopt;
    value = std::min<char32_t>(value * (hex ? 16 : 10) + digit, 0x110000);
    digits = true;
  }
  return std::nullopt;
}

// Copies UTF-8 XML for the parser in one pass:
// - every carriage return in the character data and CDATA sections of
//   elements becomes the stand-in. Markup keeps its own (there a line break
//   is white space, and the stand-in would not be), and so does the text
//   around the root element, which may only be white space;
// - a stand-in already in the text, written out or as a character reference
//   in element text, becomes "?": it would come back as a line break, and
//   as program text it could only ever be "?";
// - a start tag with more attributes than the parser can take in a moment
//   (it compares each with all those before it) is refused, and so is a
//   document of more nodes than its tree can be built of in a moment.
// The markup is told apart as the parser does, so that nothing it reads as
// a tag or a declaration passes here as something else.
class ParserInput {
 public:
  explicit ParserInput(std::string_view in) : in_(in) { out_.reserve(in.size() + in.size() / 16); }

  std::string Run() && {
    while (pos_ < in_.size()) {
      if (in_[pos_] == '<')
        Markup();
      else
        CopyTo(std::min(in_.find('<', pos_), in_.size()), depth_ > 0 ? Region::kText : Region::kMarkup);
    }
    return std::move(out_);
  }

 private:
  // What a stretch of the text is, for what CopyTo changes in it.
  enum class Region { kMarkup, kCData, kText };

  bool At(std::string_view s, size_t at) const { return in_.compare(at, s.size(), s) == 0; }

  // Where the text from `at` on holds `end` next, past it; the end of the
  // text when it never comes.
  size_t After(std::string_view end, size_t at) const {
    size_t found = in_.find(end, at);
    return found == std::string_view::npos ? in_.size() : found + end.size();
  }

  // Past the first ">" from `at` on that is outside quotes. Counts the "="
  // outside quotes on the way: in a start tag, one for each attribute.
  size_t TagEnd(size_t at, size_t* equals = nullptr) const {
    char quote = 0;
    for (; at < in_.size(); ++at) {
      char c = in_[at];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '=' && equals) {
        ++*equals;
      } else if (c == '>') {
        return at + 1;
      }
    }
    return at;
  }

  // Past the document type declaration at `at`. Its internal subset holds
  // declarations (where quotes enclose literals), comments and processing
  // instructions (where they do not), each a node of the tree.
  size_t DoctypeEnd(size_t at) {
    char quote = 0;
    for (; at < in_.size() && (quote || in_[at] != '['); ++at) {
      char c = in_[at];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        return at + 1;
      }
    }
    while (at < in_.size()) {
      if (in_[at] == ']') return TagEnd(at);
      if (in_[at] != '<') {
        ++at;
        continue;
      }
      CountNodes(1);
      at = At("<!--", at) ? After("-->", at + 4) : At("<?", at) ? After("?>", at + 2) : TagEnd(at + 1);
    }
    return at;
  }

  // Copies up to `stop`: stand-ins become "?" everywhere, carriage returns
  // the stand-in inside elements, and references to the stand-in "?" in
  // element text (CDATA has no references). Bytes that stay as they are go
  // out in spans, and a run of stand-ins or carriage returns at once, so
  // that a flood of them costs what any other text of its length does.
  void CopyTo(size_t stop, Region region) {
    std::string_view text = in_.substr(0, stop);
    const char* end = text.data() + stop;
    NextOfBytes next(text, region == Region::kMarkup ? "\xEE" : region == Region::kCData ? "\xEE\r" : "\xEE\r&", pos_);
    size_t plain = pos_;  // first byte not yet copied
    auto copyPlain = [&] { out_.append(text.substr(plain, pos_ - plain)); };
    while ((pos_ = next.From(pos_)) < stop) {
      char c = text[pos_];
      if (c == '\r') {
        copyPlain();
        size_t run = pos_;
        while (run < stop && text[run] == '\r') ++run;
        AppendStandIns(run - pos_);
        plain = pos_ = run;
      } else if (c == kCrStandInBytes[0] && StandInAt(text.data() + pos_, end)) {
        copyPlain();
        size_t run = pos_;
        while (StandInAt(text.data() + run, end)) run += kCrStandIn.size();
        out_.append((run - pos_) / kCrStandIn.size(), '?');
        plain = pos_ = run;
      } else if (c == '&' && CharacterReference(text.substr(pos_)) == kCrStandInCode) {
        copyPlain();
        out_ += '?';
        plain = pos_ = text.find(';', pos_) + 1;
      } else {
        ++pos_;
      }
    }
    copyPlain();
  }

  // `count` stand-ins: the first written, then the written part copied
  // onto its own end until all are there.
  void AppendStandIns(size_t count) {
    if (count == 0) return;
    size_t at = out_.size(), size = count * kCrStandIn.size();
    out_.resize(at + size);
    char* to = out_.data() + at;
    std::memcpy(to, kCrStandIn.data(), kCrStandIn.size());
    for (size_t done = kCrStandIn.size(); done < size; done *= 2) std::memcpy(to + done, to, std::min(done, size - done));
  }

  // Elements, attributes, comments, declarations and the like; the text
  // between them adds at most as many nodes again.
  void CountNodes(size_t count) {
    nodes_ += count;
    if (nodes_ > kMaxXmlNodes)
      throw EGateXmlError("в XML больше "_cp + std::to_string(kMaxXmlNodes) + " элементов, атрибутов и комментариев"_cp);
  }

  void Markup() {
    char kind = pos_ + 1 < in_.size() ? in_[pos_ + 1] : 0;
    if (kind == '/') {
      CopyTo(TagEnd(pos_), Region::kMarkup);
      if (depth_ > 0) --depth_;
      return;
    }
    CountNodes(1);
    if (kind == '?') return CopyTo(After("?>", pos_ + 2), Region::kMarkup);
    if (kind == '!') {
      if (At("<!--", pos_)) return CopyTo(After("-->", pos_ + 4), Region::kMarkup);
      if (At("<![CDATA[", pos_))
        return CopyTo(After("]]>", pos_ + 9), depth_ > 0 ? Region::kCData : Region::kMarkup);
      if (At("<!DOCTYPE", pos_)) return CopyTo(DoctypeEnd(pos_ + 9), Region::kMarkup);
      return CopyTo(TagEnd(pos_), Region::kMarkup);
    }
    size_t attributes = 0;
    size_t end = TagEnd(pos_, &attributes);
    if (attributes > kMaxXmlAttributes)
      throw EGateXmlError("у элемента XML больше "_cp + std::to_string(kMaxXmlAttributes) + " атрибутов"_cp);
    CountNodes(attributes);
    // An empty-element tag ends in "/>" and opens nothing.
    if (end - pos_ < 2 || in_[end - 2] != '/') ++depth_;
    CopyTo(end, Region::kMarkup);
  }

  std::string_view in_;
  std::string out_;
  size_t pos_ = 0;
  int depth_ = 0;
  size_t nodes_ = 0;
};

// What the parser callbacks learn while one document is read.
struct ParseState {
  std::string refusal;  // why the parse was stopped on purpose
  int namespaces = 0;
  std::string firstError;
  int errorLine = 0;
};

ParseState& StateOf(void* context) {
  return *static_cast<ParseState*>(static_cast<xmlParserCtxtPtr>(context)->_private);
}

void Refuse(void* context, std::string reason) {
  ParseState& state = StateOf(context);
  if (state.refusal.empty()) state.refusal = std::move(reason);
  xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
}

// Entities are the door to expansion bombs and to reading other files; a
// gate has no use for them, so the first declaration ends the parse.
void RefuseEntity(void* context) { Refuse(context, "объявления сущностей (ENTITY) в XML не допускаются"_cp); }

void OnEntityDecl(void* context, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) {
  RefuseEntity(context);
}

void OnUnparsedEntityDecl(void* context, const xmlChar*, const xmlChar*, const xmlChar*, const xmlChar*) {
  RefuseEntity(context);
}

// A default attribute is worked into every element of its name, and each
// into all the others, so a handful of lines would keep the parser busy for
// minutes; a gate has no use for them either.
void OnAttributeDecl(void* context, const xmlChar*, const xmlChar*, int, int, const xmlChar*,
                     xmlEnumerationPtr values) {
  if (values) xmlFreeEnumeration(values);
  Refuse(context, "объявления атрибутов (ATTLIST) в XML не допускаются"_cp);
}

// The parser looks a prefix up through every namespace declared around it,
// one by one, so declarations without number would make each element as
// slow as they are many.
void OnStartElement(void* context, const xmlChar* name, const xmlChar* prefix, const xmlChar* uri, int namespaceCount,
                    const xmlChar** namespaces, int attributeCount, int defaulted, const xmlChar** attributes) {
  ParseState& state = StateOf(context);
  state.namespaces += namespaceCount;
  if (state.namespaces > kMaxXmlNamespaces)
    return Refuse(context,
                  "в XML больше "_cp + std::to_string(kMaxXmlNamespaces) + " объявлений пространств имён"_cp);
  xmlSAX2StartElementNs(context, name, prefix, uri, namespaceCount, namespaces, attributeCount, defaulted, attributes);
}

// Keeps the first error for the message and keeps libxml2 off standard error.
void OnError(void* context, xmlErrorPtr error) {
  ParseState& state = StateOf(context);
  if (!error || !state.firstError.empty() || error->level < XML_ERR_ERROR) return;
  std::string text = error->message ? error->message : "unknown error";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  state.firstError = cp1251::FromUtf8(text);
  state.errorLine = error->line;
}

struct FreeContext {
  void operator()(xmlParserCtxtPtr context) const { xmlFreeParserCtxt(context); }
};

// No network, no external DTD (libxml2 loads one only when asked), the
// document's encoding hint ignored since the text is UTF-8 by now, and the
// default limits on depth and node size left in force. Small texts are kept
// inside their nodes: the tree is only read, and a package has many.
constexpr int kParseOptions =
    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_IGNORE_ENC | XML_PARSE_COMPACT;

void InitLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { xmlInitParser(); });
}

std::string FromXmlText(const xmlChar* text) {
  return text ? cp1251::FromUtf8(reinterpret_cast<const char*>(text)) : std::string();
}

bool IsElement(const xmlNode* node) { return node->type == XML_ELEMENT_NODE; }

const xmlNode* ElementFrom(const xmlNode* node) {
  while (node && !IsElement(node)) node = node->next;
  return node;
}

}  // namespace

void TGateXmlDocument::Free::operator()(_xmlDoc* doc) const { xmlFreeDoc(doc); }

TGateXmlDocument::TGateXmlDocument(std::string_view bytes) {
  if (bytes.size() > kMaxGateXmlSize)
    throw EGateXmlError("данные больше "_cp + std::to_string(kMaxGateXmlSize >> 20) + " МБ"_cp);
  InitLibrary();
  SilenceXmlGenericErrors();
  std::string utf8 = ToUtf8ByMark(bytes);
  utf8 = ParserInput(utf8).Run();

  std::unique_ptr<xmlParserCtxt, FreeContext> context(xmlNewParserCtxt());
  if (!context) throw EGateXmlError("недостаточно памяти для разбора XML"_cp);
  ParseState state;
  context->_private = &state;
  context->sax->entityDecl = OnEntityDecl;
  context->sax->unparsedEntityDecl = OnUnparsedEntityDecl;
  context->sax->attributeDecl = OnAttributeDecl;
  context->sax->startElementNs = OnStartElement;
  context->sax->serror = OnError;
  doc_.reset(
      xmlCtxtReadMemory(context.get(), utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8", kParseOptions));
  if (!state.refusal.empty()) {
    doc_.reset();
    throw EGateXmlError(state.refusal);
  }
  if (!doc_ || !context->wellFormed || !xmlDocGetRootElement(doc_.get())) {
    doc_.reset();
    std::string reason = state.firstError.empty() ? std::string("документ пуст"_cp) : state.firstError;
    throw EGateXmlError("ошибка XML в строке "_cp + std::to_string(state.errorLine) + ": " + reason);
  }
}

TGateXmlDocument::~TGateXmlDocument() = default;
TGateXmlDocument::TGateXmlDocument(TGateXmlDocument&&) noexcept = default;
TGateXmlDocument& TGateXmlDocument::operator=(TGateXmlDocument&&) noexcept = default;

const _xmlNode* TGateXmlDocument::Root() const { return xmlDocGetRootElement(doc_.get()); }

const _xmlNode* FirstChildElement(const _xmlNode* parent) { return ElementFrom(parent->children); }

const _xmlNode* NextElement(const _xmlNode* node) { return ElementFrom(node->next); }

const _xmlNode* ChildElement(const _xmlNode* parent, std::string_view name) {
  for (const xmlNode* child = FirstChildElement(parent); child; child = NextElement(child))
    if (reinterpret_cast<const char*>(child->name) == name) return child;
  return nullptr;
}

std::string ElementName(const _xmlNode* element) { return FromXmlText(element->name); }

std::string ElementText(const _xmlNode* element) {
  xmlChar* raw = xmlNodeGetContent(element);
  if (!raw) return std::string();
  std::string utf8 = RestoreLineBreaks(reinterpret_cast<const char*>(raw));
  xmlFree(raw);
  return cp1251::FromUtf8(utf8);
}

std::optional<std::string> ElementAttribute(const _xmlNode* element, const char* name) {
  xmlChar* raw = xmlGetNoNsProp(element, reinterpret_cast<const xmlChar*>(name));
  if (!raw) return std::nullopt;
  std::string text = FromXmlText(raw);
  xmlFree(raw);
  return text;
}
