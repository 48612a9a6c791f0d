// Gate XML written by the tests, and a fresh database whose import
// failures are recorded instead of shown.
#pragma once

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/fresh_database.h"
#include "importgate.h"

// One gate element; every part can be changed or left out.
struct GateXml {
  std::string name = "Gate";
  std::optional<std::string> version = "1";
  std::string caption = "Caption";
  std::string type = "SMS";
  std::string cls = "HTTP";
  std::optional<std::string> priority = "10";
  std::string attributes;  // written into the opening tag as they are
  std::optional<std::string> prefixes = "<prefix start=\"7916\" end=\"7916\" format=\"1.3.7\" tag=\"0\"/>";
  std::optional<std::string> info = "<SupportCheckDelivery>1</SupportCheckDelivery>";
  std::optional<std::string> classprops = "<Send>eval(Result  :=  1)</Send>";
  bool withName = true;

  std::string Element() const {
    std::string xml = "<gate" + (attributes.empty() ? "" : " " + attributes) + ">\r\n";
    if (withName) xml += "  <name>" + name + "</name>\r\n";
    xml += "  <caption>" + caption + "</caption>\r\n  <type>" + type + "</type>\r\n  <class>" + cls + "</class>\r\n";
    if (version) xml += "  <version>" + *version + "</version>\r\n";
    if (priority) xml += "  <priority>" + *priority + "</priority>\r\n";
    if (prefixes) xml += "  <prefixlist>\r\n    " + *prefixes + "\r\n  </prefixlist>\r\n";
    if (info) xml += "  <info>" + *info + "</info>\r\n";
    if (classprops) xml += "  <classprops>" + *classprops + "</classprops>\r\n";
    return xml + "</gate>";
  }
};

// A package of gates with the list's version, when given.
inline std::string PackageXml(const std::vector<GateXml>& gates, std::optional<std::string> version = "1") {
  std::string xml = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<gates";
  if (version) xml += " version=\"" + *version + "\"";
  xml += ">\r\n";
  for (const GateXml& gate : gates) xml += gate.Element() + "\r\n";
  return xml + "</gates>\r\n";
}

class ImportDatabase : public FreshDatabase {
 public:
  std::vector<std::string> failures;

  void SetUp() override {
    FreshDatabase::SetUp();
    previous_ = SetGateImportFailureHandler([this](const std::string& text) { failures.push_back(text); });
  }
  void TearDown() override {
    SetGateImportFailureHandler(previous_);
    FreshDatabase::TearDown();
  }

  bool Import(const GateXml& gate, bool force = false) {
    std::istringstream in(gate.Element());
    return ImportGateStream(in, force);
  }
  bool ImportPackage(const std::string& xml, bool force = false) {
    std::istringstream in(xml);
    return ImportGatePackageStream(in, force);
  }

  std::string Text(const std::string& sql) { return db().GetStringValue(sql); }
  int64_t Count(const std::string& sql) { return db().GetIntValue(sql); }
  // The rows of a query, columns joined by "|", rows by ";".
  std::string Rows(const std::string& sql) {
    std::string out;
    for (auto t = db().GetUniTable(sql); !t->Eof(); t->Next()) {
      for (int i = 0; i < t->ColCount(); ++i) out += (i ? "|" : "") + t->FieldAsString(i);
      out += ";";
    }
    return out;
  }

 private:
  TGateImportFailureHandler previous_;
};
