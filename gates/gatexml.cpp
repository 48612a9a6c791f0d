// Gate XML through libxml2. The parser sees UTF-8 only: the bytes are
// converted here by the gate files' own encoding rule, and the carriage
// returns inside elements are carried past the parser's line-end
// normalisation in a stand-in character, turned back when texts are read.
#include "gatexml.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <mutex>

#include "cp1251.h"
#include "gatelimits.h"

namespace {

// A private-use character that no Windows-1251 text can hold: it stands for
// a carriage return inside an element while the parser runs.
constexpr std::string_view kCrStandIn = "\xEE\x80\x8D";  // U+E00D

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

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

// Copies UTF-8 XML, putting the stand-in for every carriage return in the
// character data and CDATA sections of elements. Markup keeps its own
// (there a line break is white space, and the stand-in would not be), and
// so does the text around the root element, which may only be white space.
class LineBreakGuard {
 public:
  explicit LineBreakGuard(std::string_view in) : in_(in) { out_.reserve(in.size() + in.size() / 16); }

  std::string Run() && {
    while (pos_ < in_.size()) {
      if (in_[pos_] == '<')
        Markup();
      else
        CopyTo(std::min(in_.find('<', pos_), in_.size()), depth_ > 0);
    }
    return std::move(out_);
  }

 private:
  bool At(std::string_view s) const { return in_.substr(pos_).starts_with(s); }

  // Copies up to `stop`, carriage returns replaced when `guard` is set.
  void CopyTo(size_t stop, bool guard) {
    while (pos_ < stop) {
      std::string_view rest = in_.substr(pos_, stop - pos_);
      size_t cr = guard ? rest.find('\r') : std::string_view::npos;
      size_t plain = cr == std::string_view::npos ? rest.size() : cr;
      out_.append(rest.substr(0, plain));
      pos_ += plain;
      if (pos_ < stop) {
        out_ += kCrStandIn;
        ++pos_;
      }
    }
  }

  // Copies through `end` (or to the end of the text when it never comes).
  void CopyThrough(std::string_view end, bool guard) {
    size_t stop = in_.find(end, pos_);
    CopyTo(stop == std::string_view::npos ? in_.size() : stop + end.size(), guard);
  }

  // A tag, or a declaration with its internal subset: ends at the first ">"
  // outside quotes (and outside brackets). Gives the character before it.
  char CopyTag() {
    char quote = 0, last = 0;
    int brackets = 0;
    size_t end = pos_;
    while (end < in_.size()) {
      char c = in_[end++];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '[') {
        ++brackets;
      } else if (c == ']') {
        --brackets;
      } else if (c == '>' && brackets <= 0) {
        break;
      }
      last = c;
    }
    CopyTo(end, false);
    return last;
  }

  void Markup() {
    if (At("<!--")) return CopyThrough("-->", false);
    if (At("<![CDATA[")) return CopyThrough("]]>", depth_ > 0);
    if (At("<?")) return CopyThrough("?>", false);
    if (At("<!")) {
      CopyTag();
      return;
    }
    if (At("</")) {
      CopyTag();
      if (depth_ > 0) --depth_;
      return;
    }
    if (CopyTag() != '/') ++depth_;
  }

  std::string_view in_;
  std::string out_;
  size_t pos_ = 0;
  int depth_ = 0;
};

// What the parser callbacks learn while one document is read.
struct ParseState {
  bool entityDeclared = false;
  std::string firstError;
  int errorLine = 0;
};

ParseState& StateOf(void* context) {
  return *static_cast<ParseState*>(static_cast<xmlParserCtxtPtr>(context)->_private);
}

// Entities are the door to expansion bombs and to reading other files; a
// gate has no use for them, so the first declaration ends the parse.
void RefuseEntity(void* context) {
  StateOf(context).entityDeclared = true;
  xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
}

void OnEntityDecl(void* context, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) {
  RefuseEntity(context);
}

void OnUnparsedEntityDecl(void* context, const xmlChar*, const xmlChar*, const xmlChar*, const xmlChar*) {
  RefuseEntity(context);
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
  std::string utf8 = ToUtf8ByMark(bytes);
  // A stand-in already in the text would come back as a line break; as
  // program text it could only ever be "?".
  ReplaceAll(utf8, kCrStandIn, "?");
  utf8 = LineBreakGuard(utf8).Run();

  std::unique_ptr<xmlParserCtxt, FreeContext> context(xmlNewParserCtxt());
  if (!context) throw EGateXmlError("недостаточно памяти для разбора XML"_cp);
  ParseState state;
  context->_private = &state;
  context->sax->entityDecl = OnEntityDecl;
  context->sax->unparsedEntityDecl = OnUnparsedEntityDecl;
  context->sax->serror = OnError;
  doc_.reset(
      xmlCtxtReadMemory(context.get(), utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8", kParseOptions));
  if (state.entityDeclared) {
    doc_.reset();
    throw EGateXmlError("объявления сущностей (ENTITY) в XML не допускаются"_cp);
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
  std::string utf8(reinterpret_cast<const char*>(raw));
  xmlFree(raw);
  ReplaceAll(utf8, kCrStandIn, "\r");
  return cp1251::FromUtf8(utf8);
}

std::optional<std::string> ElementAttribute(const _xmlNode* element, const char* name) {
  xmlChar* raw = xmlGetNoNsProp(element, reinterpret_cast<const xmlChar*>(name));
  if (!raw) return std::nullopt;
  std::string text = FromXmlText(raw);
  xmlFree(raw);
  return text;
}
