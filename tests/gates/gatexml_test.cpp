// Reading gate XML: encodings by byte-order mark only, line breaks kept as
// the file has them, and hostile documents refused quickly and cleanly.
#include "gatexml.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "core/error_of.h"
#include "cp1251.h"
#include "encoded_bytes.h"
#include "gatelimits.h"

using namespace std::string_literals;

namespace {

// The text of the first child element named `name` of the root.
std::string TextOf(const TGateXmlDocument& doc, const char* name) {
  const _xmlNode* element = ChildElement(doc.Root(), name);
  return element ? ElementText(element) : "<missing>";
}

std::string ParseError(std::string_view bytes) {
  return ErrorOf<EGateXmlError>([&] { TGateXmlDocument doc(bytes); });
}

}  // namespace

TEST(GateXmlEncoding, Utf16WithByteOrderMarkInEitherOrder) {
  // The declaration's Windows-1251 is wrong for these bytes; the mark wins.
  const char* xml =
      "<?xml version=\"1.0\" encoding=\"windows-1251\"?><gate><caption>Шлюз МТС</caption>"
      "<sign>\xF0\x9F\x98\x80</sign></gate>";
  for (bool bigEndian : {false, true}) {
    TGateXmlDocument doc(Utf16(xml, bigEndian));
    EXPECT_EQ(TextOf(doc, "caption"), "Шлюз МТС"_cp) << bigEndian;
    // A character beyond the code page (a surrogate pair here) becomes "?".
    EXPECT_EQ(TextOf(doc, "sign"), "?") << bigEndian;
    // The usual case: the declaration agrees with the mark.
    TGateXmlDocument declared(Utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?><gate><c>Шлюз</c></gate>", bigEndian));
    EXPECT_EQ(TextOf(declared, "c"), "Шлюз"_cp) << bigEndian;
  }
}

TEST(GateXmlEncoding, Utf8WithByteOrderMark) {
  TGateXmlDocument doc(
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"windows-1251\"?><gate><caption>Билайн</caption></gate>");
  EXPECT_EQ(TextOf(doc, "caption"), "Билайн"_cp);
  EXPECT_NE(ParseError("\xEF\xBB\xBF<gate>\xFF\xFE</gate>").find("XML"), std::string::npos);
}

TEST(GateXmlEncoding, WithoutMarkTheBytesAreWindows1251WhateverTheDeclarationSays) {
  // Written in UTF-8 and declared so, but without a mark: every byte is read
  // as one Windows-1251 character.
  std::string utf8Caption = "Привет";
  TGateXmlDocument doc("<?xml version=\"1.0\" encoding=\"UTF-8\"?><gate><caption>" + utf8Caption + "</caption></gate>");
  EXPECT_EQ(TextOf(doc, "caption"), utf8Caption);
  EXPECT_NE(TextOf(doc, "caption"), "Привет"_cp);

  TGateXmlDocument cp("<?xml version=\"1.0\" encoding=\"UTF-16\"?><gate><caption>" + "Привет"_cp + "</caption></gate>");
  EXPECT_EQ(TextOf(cp, "caption"), "Привет"_cp);
}

TEST(GateXmlEncoding, BrokenUtf16IsRefused) {
  std::string odd = Utf16("<gate/>", false) + "x";
  EXPECT_NE(ParseError(odd).find("UTF-16"), std::string::npos);
  std::string loneSurrogate = std::string("\xFF\xFE") + "<\0g\0\x00\xDC>\0"s;
  EXPECT_NE(ParseError(loneSurrogate).find("UTF-16"), std::string::npos);
  std::string unpaired = std::string("\xFF\xFE") + "<\0\x00\xD8g\0>\0"s;
  EXPECT_NE(ParseError(unpaired).find("UTF-16"), std::string::npos);
}

TEST(GateXmlText, LineBreaksStayAsTheFileHasThem) {
  TGateXmlDocument doc(
      "<?xml version=\"1.0\"?>\r\n"
      "<gate\r\n  a=\"1\"\r\n  b=\"x\r\ny\">\r\n"
      "  <crlf>one\r\ntwo\r\n</crlf>\r\n"
      "  <cr>one\rtwo</cr>\n"
      "  <lf>one\ntwo</lf>\r\n"
      "  <cdata><![CDATA[if a < b then\r\n  x := '&';\r\n]]></cdata>\r\n"
      "  <mixed>a\r\n<![CDATA[b\r\n]]><!-- c\r\n -->d&#13;&#10;e</mixed>\r\n"
      "  <empty/>\r\n"
      "</gate>\r\n");
  EXPECT_EQ(TextOf(doc, "crlf"), "one\r\ntwo\r\n");
  EXPECT_EQ(TextOf(doc, "cr"), "one\rtwo");
  EXPECT_EQ(TextOf(doc, "lf"), "one\ntwo");
  EXPECT_EQ(TextOf(doc, "cdata"), "if a < b then\r\n  x := '&';\r\n");
  EXPECT_EQ(TextOf(doc, "mixed"), "a\r\nb\r\nd\r\ne");
  EXPECT_EQ(TextOf(doc, "empty"), "");
  // In attributes a line break is white space, as XML has it.
  EXPECT_EQ(ElementAttribute(doc.Root(), "b").value_or("<missing>"), "x y");
}

TEST(GateXmlText, LineBreaksInUtf16AndInNestedElements) {
  TGateXmlDocument doc(Utf16("<gate><outer>a\r\n<inner>b\r\nc</inner>\r\n</outer></gate>", true));
  EXPECT_EQ(TextOf(doc, "outer"), "a\r\nb\r\nc\r\n");
}

TEST(GateXmlText, MarkupCharactersInsideQuotesAndDeclarationsDoNotConfuseTheLineBreaks) {
  // ">" in an attribute value and "/" before it must not end the tag early;
  // a DOCTYPE without entities is accepted.
  TGateXmlDocument doc(
      "<!DOCTYPE gate [\r\n<!ELEMENT gate ANY>\r\n]>\r\n"
      "<gate note=\"a > b /\"><x>1\r\n2</x><?pi a\r\nb?><y>3\r\n</y></gate>");
  EXPECT_EQ(TextOf(doc, "x"), "1\r\n2");
  EXPECT_EQ(TextOf(doc, "y"), "3\r\n");
}

TEST(GateXmlText, TheStandInCharacterInTheFileIsNotALineBreak) {
  // U+E00D written in the file is no Windows-1251 character: it reads "?",
  // and so does a character reference to it; in CDATA a reference is text.
  TGateXmlDocument doc(
      "\xEF\xBB\xBF<gate><x>a\xEE\x80\x8D"
      "b</x><y>a&#xE00D;b&#57357;c&#x0000e00d;d&#xE00;e&#xE00D0;</y><z><![CDATA[&#xE00D;]]></z></gate>");
  EXPECT_EQ(TextOf(doc, "x"), "a?b");
  EXPECT_EQ(TextOf(doc, "y"), "a?b?c?d?e?");
  EXPECT_EQ(TextOf(doc, "z"), "&#xE00D;");
}

TEST(GateXmlText, FloodsOfLineBreaksAndStandInsReadWhole) {
  // Each as long as one text may be; read with a pass per hit, either would
  // hold the program for many minutes.
  const size_t kFlood = 3300000;
  const std::pair<std::string, std::string> floods[] = {
      {std::string(kFlood, '\r'), std::string(kFlood, '\r')},
      {Repeat("\xEE\x80\x8D", kFlood), std::string(kFlood, '?')},
  };
  for (const auto& [flood, text] : floods)
    EXPECT_TRUE(TextOf(TGateXmlDocument("\xEF\xBB\xBF<gate><x>" + flood + "</x></gate>"), "x") == text);
}

TEST(GateXmlText, EntitiesAndCharacterReferencesAreDecoded) {
  TGateXmlDocument doc("<gate><x>&lt;a href=&quot;1&quot;&gt; &amp; &apos; &#1055;&#x0440;</x></gate>");
  EXPECT_EQ(TextOf(doc, "x"), "<a href=\"1\"> & ' Пр"_cp);
}

TEST(GateXmlTree, ChildElementsSkipTextCommentsAndWhiteSpace) {
  TGateXmlDocument doc("<gate>\n  text <!-- c --><?pi x?>\n  <a>1</a>\n  <b k=\"\">2</b> tail <a>3</a>\n</gate>");
  std::string names;
  for (const _xmlNode* e = FirstChildElement(doc.Root()); e; e = NextElement(e)) names += ElementName(e) + ";";
  EXPECT_EQ(names, "a;b;a;");
  EXPECT_EQ(ElementText(ChildElement(doc.Root(), "a")), "1");
  EXPECT_EQ(ChildElement(doc.Root(), "A"), nullptr);
  const _xmlNode* b = ChildElement(doc.Root(), "b");
  EXPECT_EQ(ElementAttribute(b, "k"), std::optional<std::string>(""));
  EXPECT_EQ(ElementAttribute(b, "missing"), std::nullopt);
}

TEST(GateXmlHostile, AnEntityBombFailsAtOnce) {
  std::string bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n<!ENTITY lol \"lol\">\n";
  bomb += "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">\n";
  for (int i = 2; i <= 9; ++i) {
    std::string prev = "&lol" + std::to_string(i - 1) + ";";
    bomb += "<!ENTITY lol" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) bomb += prev;
    bomb += "\">\n";
  }
  bomb += "]>\n<package version=\"1\"><gate><name>&lol9;</name></gate></package>";
  auto start = std::chrono::steady_clock::now();
  std::string error = ParseError(bomb);
  auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_NE(error.find("ENTITY"), std::string::npos) << error;
  EXPECT_LT(elapsed, std::chrono::milliseconds(500));
}

TEST(GateXmlHostile, ExternalAndParameterEntitiesAreRefused) {
  EXPECT_NE(ParseError("<!DOCTYPE g [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><g>&x;</g>").find("ENTITY"),
            std::string::npos);
  EXPECT_NE(ParseError("<!DOCTYPE g [<!ENTITY % p SYSTEM \"http://127.0.0.1:9/x.dtd\"> %p;]><g/>").find("ENTITY"),
            std::string::npos);
  EXPECT_NE(ParseError("<!DOCTYPE g [<!NOTATION n SYSTEM \"x\"><!ENTITY u SYSTEM \"y\" NDATA n>]><g/>").find("ENTITY"),
            std::string::npos);
  // An external DTD is never fetched; the document reads without it.
  TGateXmlDocument doc("<!DOCTYPE g SYSTEM \"http://127.0.0.1:9/g.dtd\"><g><x>1</x></g>");
  EXPECT_EQ(TextOf(doc, "x"), "1");
}

// Shapes the parser would spend minutes or gigabytes on are refused before
// it starts; one step short of each limit still reads.
TEST(GateXmlHostile, ShapesThatWouldHoldTheParserAreRefused) {
  auto attributes = [](size_t count, const char* name) {
    std::string tag;
    for (size_t i = 0; i < count; ++i) tag += " " + std::string(name) + std::to_string(i) + "=\"u\"";
    return tag;
  };
  auto nested = [&](size_t declarations) {
    std::string open, close;
    for (size_t i = 0; i < declarations; ++i) {
      open += "<e" + attributes(1, ("xmlns:n" + std::to_string(i) + "_").c_str()) + ">";
      close = "</e>" + close;
    }
    return "<g>" + open + "<n0_0:x/>" + close + "</g>";
  };
  const struct {
    const char* what;
    std::string xml;
    const char* refusal;  // a word of the message; empty when the document reads
  } cases[] = {
      {"attributes at the limit", "<g><p" + attributes(kMaxXmlAttributes, "a") + "/></g>", ""},
      {"one attribute more", "<g><p" + attributes(kMaxXmlAttributes + 1, "a") + "/></g>", "атрибутов"},
      {"attributes past a doctype whose comment holds a quote",
       "<!DOCTYPE g [<!-- it's -->]><g><p" + attributes(100000, "a") + "/></g>", "атрибутов"},
      {"namespace declarations at the limit", nested(kMaxXmlNamespaces), ""},
      {"one declaration more", nested(kMaxXmlNamespaces + 1), "пространств"},
      {"default attributes", "<!DOCTYPE g [<!ATTLIST p a CDATA \"x\">]><g><p/></g>", "ATTLIST"},
      {"tiny elements", "<g>" + Repeat("<a/>", kMaxXmlNodes) + "</g>", "элементов"},
      {"comments in the doctype", "<!DOCTYPE g [" + Repeat("<!---->", kMaxXmlNodes) + "]><g/>", "элементов"},
  };
  for (const auto& c : cases) {
    // Marked as UTF-8, which these ASCII documents also are: the bytes then
    // reach the guard as they are.
    std::string error = cp1251::ToUtf8(ParseError("\xEF\xBB\xBF" + c.xml));
    if (*c.refusal)
      EXPECT_NE(error.find(c.refusal), std::string::npos) << c.what << ": " << error;
    else
      EXPECT_EQ(error, "<no exception>") << c.what;
  }
}

TEST(GateXmlHostile, BrokenDocumentsRaiseWithTheLine) {
  EXPECT_NE(ParseError("<gate>\n<name>x</nam>\n</gate>").find("строке 2"_cp), std::string::npos);
  EXPECT_NE(ParseError("").find("XML"), std::string::npos);
  EXPECT_NE(ParseError("   \r\n  ").find("XML"), std::string::npos);
  EXPECT_NE(ParseError("not xml at all").find("XML"), std::string::npos);
  EXPECT_NE(ParseError(std::string("\x1F\x8B\x08\0\0\0\0\0", 8)).find("XML"), std::string::npos);
  EXPECT_NE(ParseError("<a><b></a>").find("XML"), std::string::npos);
  EXPECT_NE(ParseError("<a/><b/>").find("XML"), std::string::npos);
}

TEST(GateXmlHostile, DeepNestingIsRefusedWithoutExhaustingTheStack) {
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  EXPECT_NE(ParseError(deep).find("XML"), std::string::npos);
}

TEST(GateXmlHostile, OversizedTextIsRefusedBeforeParsing) {
  std::string big(kMaxGateXmlSize + 1, ' ');
  big.replace(0, 3, "<a>");
  EXPECT_NE(ParseError(big).find("64"), std::string::npos);
}
