// Reading gate XML: the text's encoding by its byte-order mark alone, the
// parser kept away from the network and from entity declarations, and the
// elements and texts of the tree as program text (Windows-1251).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "exceptions.h"

struct _xmlDoc;
struct _xmlNode;

// Gate XML that cannot be read: not well-formed, an entity declaration,
// malformed UTF-16. The text says why, in the user's language.
class EGateXmlError : public Exception {
  PX_CLASS(EGateXmlError, Exception)
 public:
  using Exception::Exception;
};

// One parsed gate file or package.
class TGateXmlDocument {
 public:
  // Parses `bytes`. A byte-order mark selects UTF-8 or UTF-16 (either byte
  // order); without one the text is Windows-1251 whatever its declaration
  // says. Line breaks inside elements stay as the file has them (CR LF, CR
  // or LF), since scripts are compared and shown as their authors wrote
  // them. Raises EGateXmlError.
  explicit TGateXmlDocument(std::string_view bytes);
  ~TGateXmlDocument();
  TGateXmlDocument(TGateXmlDocument&&) noexcept;
  TGateXmlDocument& operator=(TGateXmlDocument&&) noexcept;

  // The root element; never null.
  const _xmlNode* Root() const;

 private:
  struct Free {
    void operator()(_xmlDoc* doc) const;
  };
  std::unique_ptr<_xmlDoc, Free> doc_;
};

// The first child element of `parent`, or null; text, comments and the
// white space between elements are passed over.
const _xmlNode* FirstChildElement(const _xmlNode* parent);
// The next element after `node` among its siblings, or null.
const _xmlNode* NextElement(const _xmlNode* node);
// The first child element named exactly `name`, or null.
const _xmlNode* ChildElement(const _xmlNode* parent, std::string_view name);

// The element's own name.
std::string ElementName(const _xmlNode* element);
// All the text inside the element, entities decoded, line breaks as in the
// file.
std::string ElementText(const _xmlNode* element);
// The attribute's value, or nothing when the element has no such attribute.
std::optional<std::string> ElementAttribute(const _xmlNode* element, const char* name);
