// XML from outside (message files, gate lists) read safely with libxml2, and
// the escaping of text written as XML. Texts crossing here are UTF-8.
#pragma once

#include <libxml/tree.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "exceptions.h"

// A document that is not well-formed XML or is refused as unsafe; the text is
// libxml2's message.
class EXmlError : public Exception {
  PX_CLASS(EXmlError, Exception)
 public:
  using Exception::Exception;
};

struct TXmlDocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using TXmlDocument = std::unique_ptr<xmlDoc, TXmlDocFree>;

// Parses `bytes` as an XML document, its encoding taken from its
// declaration. Nothing is fetched from the network or loaded from a DTD, and
// a document declaring entities is refused at the first declaration, so an
// entity bomb costs nothing; the predefined entities and character
// references are decoded as usual. Text nodes may be as large as the input.
// Raises EXmlError.
TXmlDocument ParseXml(std::string_view bytes);

// libxml2 writes some failures (bytes a declared encoding cannot convert,
// among them) straight to standard error, whatever the parse options say,
// and a hostile file can repeat one without end into the session's log.
// Sends them nowhere on the calling thread; every parse reports its own
// failure. ParseXml calls it; other parsers call it before they start.
void SilenceXmlGenericErrors();

// The first child element of `parent` named `name`; nullptr when none.
xmlNode* FirstChildElement(const xmlNode* parent, std::string_view name);
// The text of a node and everything below it.
std::string NodeText(const xmlNode* node);
// The value of an attribute; nullopt when the node has none of that name.
std::optional<std::string> NodeAttribute(const xmlNode* node, const char* name);

// `text` with the five characters XML reserves written as entities
// (&amp; &lt; &gt; &quot; &apos;) and the control characters XML 1.0 cannot
// carry (all below 32 but tab, CR and LF) dropped.
std::string XmlEscape(std::string_view text);
