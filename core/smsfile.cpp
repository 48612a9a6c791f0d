// The document: root "message" with attribute "type", then gate, to, text,
// signature, delivery, deliverytime, flash, translit, translit_table and,
// for an MMS, subject and multimedialist/multimedia (content-type, filename,
// data). Booleans are "-1" and "0", times whole Unix seconds, attachments
// upper-case hexadecimal.
#include "smsfile.h"

#include "corelimits.h"
#include "cp1251.h"
#include "files.h"
#include "strfuncs.h"
#include "xmldoc.h"

namespace {

// Where an entry goes and what it is.
enum class Kind { Text, Boolean, Time };

struct Field {
  const char* element;
  std::string_view key;
  Kind kind;
};

constexpr Field kFields[] = {
    {"gate", MsgKey::GateName, Kind::Text},
    {"to", MsgKey::Phone, Kind::Text},
    {"text", MsgKey::Message, Kind::Text},
    {"signature", MsgKey::Signature, Kind::Text},
    {"delivery", MsgKey::Delivery, Kind::Boolean},
    {"deliverytime", MsgKey::DeliveryTime, Kind::Time},
    {"flash", MsgKey::Flash, Kind::Boolean},
    {"translit", MsgKey::Translit, Kind::Boolean},
    {"translit_table", MsgKey::TranslitTableName, Kind::Text},
};

// Entry values as written; a value that does not convert (an array, a text
// that is no date) is written as a missing one.
std::string TextOf(const Variant& v) {
  try {
    return VarToStr(v);
  } catch (const EVariantError&) {
    return {};
  }
}

bool BooleanOf(const Variant& v) {
  try {
    return v.AsBoolean();
  } catch (const EVariantError&) {
    return false;
  }
}

// A missing time is date-time 0, as the empty value converts; so is one
// outside the calendar, which cannot be a real delivery time.
int64_t SecondsOf(const Variant& v) {
  double dt = 0;
  try {
    dt = v.AsDate();
  } catch (const EVariantError&) {
  }
  return DateTimeToUnix(IsValidDateTime(dt) ? dt : 0);
}

// Text of the program (Windows-1251) as XML element content.
std::string XmlText(std::string_view text) { return XmlEscape(cp1251::ToUtf8(text)); }

std::string Element(int indent, std::string_view name, std::string_view content) {
  return std::string(indent, ' ') + "<" + std::string(name) + ">" + std::string(content) + "</" + std::string(name) +
         ">\n";
}

std::string HexOf(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return hex;
}

// Pairs of digits from the start; a pair that is not hexadecimal is the byte
// 0, an odd last digit is ignored.
std::string BytesOfHex(std::string_view hex) {
  std::string bytes;
  bytes.reserve(hex.size() / 2);
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    int hi = strfuncs::HexDigitValue(hex[i]), lo = strfuncs::HexDigitValue(hex[i + 1]);
    bytes += static_cast<char>(hi < 0 || lo < 0 ? 0 : hi * 16 + lo);
  }
  return bytes;
}

// The parser turns every CR LF (and lone CR) into LF; the program's line
// break is CR LF, so it is put back. A text longer than a message text may
// be is no text of ours: the file is damaged.
std::string ProgramText(const std::string& utf8, std::string_view what) {
  std::string text = cp1251::FromUtf8(utf8), out;
  out.reserve(text.size());
  size_t lineBreaks = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    if (text[i] == '\n') ++lineBreaks;
    out += text[i];
  }
  // Counted as the composer holds it: a line break is one character.
  if (out.size() - lineBreaks > kMaxMessageText)
    throw EFileError("The message file is damaged: its " + std::string(what) + " is longer than " +
                     std::to_string(kMaxMessageText) + " characters");
  return out;
}

std::string ElementText(const xmlNode* parent, const char* name) {
  return ProgramText(NodeText(FirstChildElement(parent, name)), name);
}

bool ReadBoolean(const std::string& text) {
  double number;
  if (TryStrToFloat(text, number)) return number != 0;
  return cp1251::SameText(text, "True");
}

// Whole Unix seconds; what is no number, or no date the calendar holds (a
// year past 9999 cannot be shown, let alone awaited), reads as 0 seconds.
TDateTime ReadTime(const std::string& text) {
  int64_t seconds;
  TDateTime dt = TryStrToInt64(text, seconds) ? UnixToDateTime(seconds) : kUnixDateDelta;
  return IsValidDateTime(dt) ? dt : kUnixDateDelta;
}

std::string Serialize(const TSMS& m) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<message type=\"" +
                    XmlText(TextOf(m.GetItemNamed(MsgKey::MessageType))) + "\">\n";
  for (const Field& f : kFields) {
    Variant v = m.GetItemNamed(f.key);
    std::string content;
    switch (f.kind) {
      case Kind::Text: content = XmlText(TextOf(v)); break;
      case Kind::Boolean: content = BooleanOf(v) ? "-1" : "0"; break;
      case Kind::Time: content = std::to_string(SecondsOf(v)); break;
    }
    xml += Element(2, f.element, content);
  }
  if (m.IsMMS()) {
    xml += Element(2, "subject", XmlText(TextOf(m.GetItemNamed(MsgKey::Subject_Orig))));
    const TMMSContentData* content = m.MultiMedia();
    if (TMemoryStream* stream = content ? content->Stream() : nullptr) {
      stream->Rewind();
      xml += "  <multimedialist>\n    <multimedia>\n";
      xml += Element(6, "content-type", XmlText(TextOf(content->GetItemNamed(ContentKey::ContentType))));
      xml += Element(6, "filename", XmlText(TextOf(content->GetItemNamed(ContentKey::FileName))));
      xml += Element(6, "data", HexOf(stream->Bytes()));
      xml += "    </multimedia>\n  </multimedialist>\n";
    }
  }
  return xml + "</message>\n";
}

}  // namespace

void TSMSFile::SaveToFile(const std::string& fileName) const { ReplaceFile(fileName, SaveToBytes()); }

std::string TSMSFile::SaveToBytes() const { return Serialize(Message); }

void TSMSFile::LoadFromFile(const std::string& fileName) {
  std::string bytes;
  if (!TryReadFile(fileName, kMaxMessageFileSize, bytes))
    throw EFileError("Cannot read the message file " + fileName + " (missing, unreadable or over 64 MiB)");
  LoadFromBytes(std::move(bytes));
}

void TSMSFile::LoadFromBytes(std::string bytes) {
  TXmlDocument doc = ParseXml(bytes);
  bytes = std::string();  // the tree holds it all now
  const xmlNode* root = xmlDocGetRootElement(doc.get());

  TSMS loaded;
  loaded.SetItemNamed(MsgKey::MessageType,
                      Variant::String(ProgramText(NodeAttribute(root, "type").value_or("SMS"), "type")));
  for (const Field& f : kFields) {
    std::string text = ElementText(root, f.element);
    switch (f.kind) {
      case Kind::Text: loaded.SetItemNamed(f.key, Variant::String(text)); break;
      case Kind::Boolean: loaded.SetItemNamed(f.key, Variant::Boolean(ReadBoolean(text))); break;
      case Kind::Time: loaded.SetItemNamed(f.key, Variant::Date(ReadTime(text))); break;
    }
  }
  std::shared_ptr<TMMSContentData> content;
  if (loaded.IsMMS()) {
    loaded.SetItemNamed(MsgKey::Subject_Orig, Variant::String(ElementText(root, "subject")));
    if (const xmlNode* item = FirstChildElement(FirstChildElement(root, "multimedialist"), "multimedia")) {
      content = std::make_shared<TMMSContentData>();
      content->SetItemNamed(ContentKey::ContentType, Variant::String(ElementText(item, "content-type")));
      content->SetItemNamed(ContentKey::FileName, Variant::String(ElementText(item, "filename")));
      content->SetStream(std::make_shared<TMemoryStream>(BytesOfHex(NodeText(FirstChildElement(item, "data")))));
      loaded.SetMultiMedia(content);
    }
  }
  Message.Assign(&loaded);
  MultiMedia = std::move(content);
}
