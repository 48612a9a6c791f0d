#include "xmldoc.h"

#include <libxml/parser.h>

#include <climits>

namespace {

struct TParserCtxtFree {
  void operator()(xmlParserCtxt* ctxt) const { xmlFreeParserCtxt(ctxt); }
};

// Set by RefuseEntityDecl during the parse running on this thread.
thread_local bool EntityRefused = false;

// Stops the parse at the first entity declaration: nothing a message or a
// gate list needs is declared there, and expanding nested entities is how a
// small file eats all memory.
void RefuseEntityDecl(void* ctx, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) {
  EntityRefused = true;
  xmlStopParser(static_cast<xmlParserCtxt*>(ctx));
}

std::string LastErrorText(const xmlParserCtxt* ctxt) {
  if (EntityRefused) return "Entity declarations are not accepted";
  const char* message = ctxt->lastError.message;
  std::string text = message ? message : "Not a well-formed XML document";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  if (ctxt->lastError.line > 0) text += " (line " + std::to_string(ctxt->lastError.line) + ")";
  return text;
}

void IgnoreXmlMessage(void*, const char*, ...) {}

}  // namespace

void SilenceXmlGenericErrors() { xmlSetGenericErrorFunc(nullptr, IgnoreXmlMessage); }

TXmlDocument ParseXml(std::string_view bytes) {
  if (bytes.size() > static_cast<size_t>(INT_MAX)) throw EXmlError("Document too large");
  SilenceXmlGenericErrors();
  std::unique_ptr<xmlParserCtxt, TParserCtxtFree> ctxt(xmlNewParserCtxt());
  if (!ctxt) throw EXmlError("Out of memory");
  ctxt->sax->entityDecl = RefuseEntityDecl;
  EntityRefused = false;
  // No XML_PARSE_NOENT, XML_PARSE_DTDLOAD or XML_PARSE_DTDATTR: entities stay
  // unexpanded and no DTD is read. XML_PARSE_HUGE lifts libxml2's 10 MB cap
  // on one text node, since an attachment's hexadecimal is one; the callers
  // cap the input instead.
  const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE;
  TXmlDocument doc(
      xmlCtxtReadMemory(ctxt.get(), bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr, options));
  if (!doc || EntityRefused || !ctxt->wellFormed) throw EXmlError(LastErrorText(ctxt.get()));
  if (!xmlDocGetRootElement(doc.get())) throw EXmlError("Document has no root element");
  return doc;
}

xmlNode* FirstChildElement(const xmlNode* parent, std::string_view name) {
  if (!parent) return nullptr;
  for (xmlNode* child = parent->children; child; child = child->next)
    if (child->type == XML_ELEMENT_NODE && name == reinterpret_cast<const char*>(child->name)) return child;
  return nullptr;
}

std::string NodeText(const xmlNode* node) {
  if (!node) return {};
  xmlChar* content = xmlNodeGetContent(node);
  std::string text = content ? reinterpret_cast<const char*>(content) : "";
  xmlFree(content);
  return text;
}

std::optional<std::string> NodeAttribute(const xmlNode* node, const char* name) {
  if (!node || !xmlHasProp(node, reinterpret_cast<const xmlChar*>(name))) return std::nullopt;
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  std::string text = value ? reinterpret_cast<const char*>(value) : "";
  xmlFree(value);
  return text;
}

std::string XmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r' && c != '\n') break;
        out += c;
    }
  }
  return out;
}
