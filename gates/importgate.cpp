// Gate import: reading the file or stream, then one transaction per gate in
// the order of the statements below, and the gate list's version last.
#include "importgate.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "cp1251.h"
#include "files.h"
#include "gatexml.h"
#include "gzipreader.h"
#include "gatelimits.h"
#include "options.h"
#include "phone.h"
#include "sqlmgr.h"
#include "strfuncs.h"

namespace {

void WriteToStandardError(const std::string& message) { std::fprintf(stderr, "%s\n", cp1251::ToUtf8(message).c_str()); }

TGateImportFailureHandler& FailureHandler() {
  static TGateImportFailureHandler handler = WriteToStandardError;
  return handler;
}

// ---------------------------------------------------------------------------
// Reading

// Where the bytes came from, for the messages of failures before the first
// gate.
std::string SourceText(const std::string* fileName) {
  if (!fileName) return "Ошибка импорта шлюзов: "_cp;
  return "Ошибка импорта файла \""_cp + cp1251::FromUtf8(*fileName) + "\": ";
}

[[noreturn]] void RaiseFor(const std::string* fileName, const std::string& reason) {
  throw EGateImportError(SourceText(fileName) + reason);
}

const std::string& TooLarge() {
  static const std::string text = "данные больше "_cp + std::to_string(kMaxGateXmlSize >> 20) + " МБ"_cp;
  return text;
}

// The whole file, up to the size cap; a pipe or a device is refused
// unread, so that a start-up import never waits on one.
std::string ReadFile(const std::string& fileName) {
  std::string bytes;
  TReadFailure failure = ReadWholeFile(fileName, kMaxGateXmlSize, bytes);
  if (failure != TReadFailure::None) RaiseFor(&fileName, ReadFailureText(failure, kMaxGateXmlSize));
  return bytes;
}

std::string ReadStream(std::istream& stream) {
  std::string bytes;
  char buffer[64 * 1024];
  while (stream.read(buffer, sizeof buffer) || stream.gcount() > 0) {
    if (bytes.size() + stream.gcount() > kMaxGateXmlSize) RaiseFor(nullptr, TooLarge());
    bytes.append(buffer, stream.gcount());
  }
  if (stream.bad()) RaiseFor(nullptr, "ошибка чтения"_cp);
  return bytes;
}

bool IsGzipName(const std::string& fileName) {
  return fileName.size() >= 3 && cp1251::SameText(std::string_view(fileName).substr(fileName.size() - 3), ".gz");
}

TGateXmlDocument Parse(std::string_view bytes, const std::string* fileName) {
  try {
    return TGateXmlDocument(bytes);
  } catch (const EGateXmlError& e) {
    RaiseFor(fileName, e.Message());
  }
}

// The prefix ranges and parameters a gate element holds.
size_t RowsOf(const _xmlNode* gate) {
  size_t rows = 0;
  for (std::string_view part : {"prefixlist", "info", "classprops"})
    if (const _xmlNode* list = ChildElement(gate, part))
      for (const _xmlNode* row = FirstChildElement(list); row; row = NextElement(row)) ++rows;
  return rows;
}

// Refuses, before anything is written, what would hold the main thread too
// long: each gate is committed on its own, and each prefix range and
// parameter is a row of its own.
class SizeCheck {
 public:
  explicit SizeCheck(const std::string* fileName) : fileName_(fileName) {}

  void Add(const _xmlNode* gate) {
    if (++gates_ > kMaxPackageGates)
      RaiseFor(fileName_, "в пакете больше "_cp + std::to_string(kMaxPackageGates) + " шлюзов"_cp);
    rows_ += RowsOf(gate);
    if (rows_ > kMaxImportRows)
      RaiseFor(fileName_,
               "больше "_cp + std::to_string(kMaxImportRows) + " диапазонов префиксов и параметров шлюзов"_cp);
  }

 private:
  const std::string* fileName_;
  size_t gates_ = 0, rows_ = 0;
};

std::string Inflate(std::string_view bytes, const std::string& fileName) {
  try {
    return InflateGzip(bytes, kMaxGateXmlSize);
  } catch (const EGzipError& e) {
    RaiseFor(&fileName, e.Message());
  }
}

// ---------------------------------------------------------------------------
// One gate

// A whole number in the text (blanks around it allowed), or `fallback`.
int64_t IntegerOr(std::string_view text, int64_t fallback) {
  text = strfuncs::Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return fallback;
  return value;
}

std::string ChildText(const _xmlNode* gate, std::string_view name) {
  const _xmlNode* child = ChildElement(gate, name);
  return child ? ElementText(child) : std::string();
}

std::string GateNameOf(const _xmlNode* gate) {
  std::string name = ChildText(gate, "name");
  if (name.empty())
    throw EGateImportError("Ошибка импорта шлюза: нет имени шлюза (элемент name отсутствует или пуст)"_cp);
  if (name.size() > kMaxGateNameLength)
    throw EGateImportError("Ошибка импорта шлюза: имя шлюза длиннее "_cp + std::to_string(kMaxGateNameLength) +
                           " символов"_cp);
  return name;
}

// The element that holds a gate's prefixes or parameters; a gate without
// one is broken, not a gate without prefixes or parameters.
const _xmlNode* RequiredPart(const _xmlNode* gate, const std::string& gateName, std::string_view part) {
  const _xmlNode* child = ChildElement(gate, part);
  if (!child)
    throw EGateImportError("Ошибка импорта шлюза \""_cp + gateName + "\": нет элемента "_cp + std::string(part));
  return child;
}

struct Prefix {
  std::string start, end, format;
  int64_t tag;
};

Prefix PrefixOf(const _xmlNode* element) {
  std::string start = ExtractDigits(ElementAttribute(element, "start").value_or(""));
  std::optional<std::string> end = ElementAttribute(element, "end");
  std::optional<std::string> tag = ElementAttribute(element, "tag");
  return {start, end ? ExtractDigits(*end) : start, ElementAttribute(element, "format").value_or("1.3.7"),
          tag ? IntegerOr(*tag, 0) : 0};
}

void InsertPrefixes(TSQLiteDatabase& db, const std::string& gateName, const _xmlNode* list) {
  for (const _xmlNode* element = FirstChildElement(list); element; element = NextElement(element)) {
    Prefix prefix = PrefixOf(element);
    db.AddParamText(":GateName", gateName);
    db.AddParamText(":pstart", prefix.start);
    db.AddParamText(":pend", prefix.end);
    db.AddParamText(":format", prefix.format);
    db.AddParamInt(":tag", prefix.tag);
    db.ExecSQL(
        "INSERT INTO GatePrefix (GateName, PrefixStart, PrefixEnd, Format, Tag) "
        "VALUES(:GateName,:pstart,:pend,:format,:tag)");
  }
}

// Information values (class 0) are stored as written; send parameters and
// scripts (class 1) compacted.
struct ParamClass {
  const char* element;
  const char* insert;
  bool compact;
};

constexpr ParamClass kParamClasses[] = {
    {"info", "INSERT INTO GateParam (GateName, ParamName, ParamClass, ParamValue) VALUES (:GateName,:PName,0,:PValue)",
     false},
    {"classprops",
     "INSERT INTO GateParam (GateName, ParamName, ParamClass, ParamValue) VALUES (:GateName,:PName,1,:PValue)", true},
};

void InsertParams(TSQLiteDatabase& db, const std::string& gateName, const _xmlNode* list, const ParamClass& kind) {
  for (const _xmlNode* element = FirstChildElement(list); element; element = NextElement(element)) {
    std::string value = ElementText(element);
    if (kind.compact) value = CompactGateScript(value);
    db.AddParamText(":GateName", gateName);
    db.AddParamText(":PName", ElementName(element));
    db.AddParamText(":PValue", value);
    db.ExecSQL(kind.insert);
  }
}

int64_t StoredInteger(TSQLiteDatabase& db, const std::string& gateName, const char* sql) {
  db.AddParamText(":GateName", gateName);
  return db.GetIntValue(sql);
}

void WriteGate(TSQLiteDatabase& db, const _xmlNode* gate, const std::string& gateName, bool force) {
  int64_t oldDisabled = StoredInteger(db, gateName, "SELECT Disabled FROM Gate WHERE Name=:GateName");
  int64_t oldVersion = StoredInteger(db, gateName, "SELECT Version FROM Gate WHERE Name=:GateName");
  std::string version = ChildText(gate, "version");
  // A skip is a success: the stored gate is as new as this one.
  if (!force && oldVersion >= IntegerOr(version, -1)) return;

  std::string caption = ChildText(gate, "caption"), type = ChildText(gate, "type"), cls = ChildText(gate, "class");
  int64_t priority = IntegerOr(ChildText(gate, "priority"), -1);
  db.AddParamText(":GateName", gateName);
  db.AddParamText(":Caption", caption);
  db.AddParamText(":Class", cls);
  db.AddParamText(":Type", type);
  db.AddParamText(":Version", version);
  db.AddParamInt(":Priority", priority);
  // The user's switching a gate off survives its updates.
  db.AddParamInt(":OldDisabled", oldDisabled);
  db.ExecSQL(
      "INSERT OR REPLACE INTO Gate (Name,Caption,Class,Type,Version,Priority,Disabled) "
      "VALUES(:GateName,:Caption,:Class,:Type,:Version,:Priority, :OldDisabled)");

  db.AddParamText(":GateName", gateName);
  db.ExecSQL("DELETE FROM GatePrefix Where GateName=:GateName");
  // Values the gate stored for itself (class 2) stay.
  db.AddParamText(":GateName", gateName);
  db.ExecSQL("DELETE FROM GateParam Where GateName=:GateName AND (ParamClass=0 OR ParamClass=1)");

  InsertPrefixes(db, gateName, RequiredPart(gate, gateName, "prefixlist"));
  for (const ParamClass& kind : kParamClasses)
    InsertParams(db, gateName, RequiredPart(gate, gateName, kind.element), kind);
}

void DeleteGate(TSQLiteDatabase& db, const _xmlNode* gate, const std::string& gateName) {
  constexpr const char* kDeletes[] = {
      "DELETE FROM Gate WHERE Name=:GateName",
      "DELETE FROM GatePrefix Where GateName=:GateName",
      "DELETE FROM GateParam Where GateName=:GateName AND (ParamClass=0 OR ParamClass=1)",
  };
  for (const char* sql : kDeletes) {
    db.AddParamText(":GateName", gateName);
    db.ExecSQL(sql);
  }
  std::string replacement = ElementAttribute(gate, "replacegate").value_or("");
  if (replacement.empty()) return;
  // The history and the contacts of a gate that was replaced follow the
  // gate that took its place.
  constexpr const char* kTakeOvers[] = {
      "UPDATE History SET GateName=:NewGateName WHERE GateName=:OldGateName",
      "UPDATE PhoneBook SET GateName=:NewGateName WHERE GateName=:OldGateName",
  };
  for (const char* sql : kTakeOvers) {
    db.AddParamText(":NewGateName", replacement);
    db.AddParamText(":OldGateName", gateName);
    db.ExecSQL(sql);
  }
}

// ---------------------------------------------------------------------------
// Packages

// The installed gate list's version, written only once every gate of the
// package is in, and kept in step with what the program reports and
// compares with the update server.
bool StoreGatesVersion(const _xmlNode* package) {
  try {
    TSQLiteDatabase& db = CurrentDatabase();
    db.AddParamText(":GatesVersion", ElementAttribute(package, "version").value_or(""));
    db.ExecSQL("UPDATE gates.Config SET ParamValue=:GatesVersion WHERE ParamName='gatesversion'");
    ProgramVersion.GatesVersion =
        static_cast<int>(db.GetIntValue("SELECT ParamValue FROM gates.Config WHERE ParamName='gatesversion'"));
    return true;
  } catch (const ESQLiteException& e) {
    FailureHandler()(e.Message());
    return false;
  }
}

bool ImportPackage(const TGateXmlDocument& document, bool force, const std::string* fileName) {
  const _xmlNode* package = document.Root();
  SizeCheck size(fileName);
  for (const _xmlNode* gate = FirstChildElement(package); gate; gate = NextElement(gate)) size.Add(gate);
  for (const _xmlNode* gate = FirstChildElement(package); gate; gate = NextElement(gate))
    if (!ImportGateElement(gate, force)) return false;
  return StoreGatesVersion(package);
}

bool ImportSingle(const TGateXmlDocument& document, bool force, const std::string* fileName) {
  SizeCheck(fileName).Add(document.Root());
  return ImportGateElement(document.Root(), force);
}

}  // namespace

TGateImportFailureHandler SetGateImportFailureHandler(TGateImportFailureHandler handler) {
  TGateImportFailureHandler previous = std::move(FailureHandler());
  FailureHandler() = handler ? std::move(handler) : WriteToStandardError;
  return previous;
}

bool ImportGateElement(const _xmlNode* element, bool force) {
  TSQLiteDatabase& db = CurrentDatabase();
  db.BeginTransaction();
  try {
    std::string action = cp1251::LowerCase(ElementAttribute(element, "action").value_or(""));
    std::string gateName = GateNameOf(element);
    if (action == "delete")
      DeleteGate(db, element, gateName);
    else
      WriteGate(db, element, gateName, force);
    db.Commit();
    return true;
  } catch (const std::exception& e) {
    // Values queued for a statement that never ran must not reach the next.
    db.ClearParams();
    RollbackQuietly(db);
    FailureHandler()(e.what());
    return false;
  }
}

bool ImportGateFile(const std::string& fileName, bool force) {
  std::string bytes = ReadFile(fileName);
  return ImportSingle(Parse(bytes, &fileName), force, &fileName);
}

bool ImportGateStream(std::istream& stream, bool force) {
  std::string bytes = ReadStream(stream);
  return ImportSingle(Parse(bytes, nullptr), force, nullptr);
}

bool ImportGatePackage(const std::string& fileName, bool force) {
  std::string bytes = ReadFile(fileName);
  if (IsGzipName(fileName)) bytes = Inflate(bytes, fileName);
  return ImportPackage(Parse(bytes, &fileName), force, &fileName);
}

bool ImportGatePackageStream(std::istream& stream, bool force) {
  std::string bytes = ReadStream(stream);
  return ImportPackage(Parse(bytes, nullptr), force, nullptr);
}

std::string CompactGateScript(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    // The test looks at the input: a blank after a dropped tab stays.
    bool drop = !quoted && (c == '\t' || (c == ' ' && i > 0 && text[i - 1] == ' '));
    if (!drop) out += c;
    if (c == '\'') quoted = !quoted;
  }
  return out;
}
