// Gate files and packages on disk: gzip by name in any case, encodings,
// and files that fail before their first gate raised to the caller.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/error_of.h"
#include "cp1251.h"
#include "encoded_bytes.h"
#include "import_support.h"
#include "gatelimits.h"
#include "support/testfifo.h"

namespace {

class ImportFile : public ImportDatabase {
 protected:
  TempDir files;

  // The text of the EGateImportError the body raises.
  template <class Body>
  static std::string ImportError(Body&& body) {
    return ErrorOf<EGateImportError>(body);
  }

  std::string GatesVersion() { return Text("SELECT ParamValue FROM gates.Config WHERE ParamName='gatesversion'"); }
};

GateXml Named(const std::string& name, const std::string& caption = "c") {
  GateXml gate;
  gate.name = name;
  gate.caption = caption;
  return gate;
}

}  // namespace

TEST_F(ImportFile, ASingleGateFile) {
  EXPECT_TRUE(ImportGateFile(files.Write("ImportGate.xml", Named("G").Element()), false));
  EXPECT_EQ(Count("SELECT count(*) FROM Gate WHERE Name='G'"), 1);
}

TEST_F(ImportFile, PackagesEndingInGzAreInflatedInAnyCase) {
  int version = 10;
  for (const char* name : {"gates.xml.gz", "GATES.XML.GZ", "gates.Gz"}) {
    std::string xml = PackageXml({Named(name)}, std::to_string(++version));
    EXPECT_TRUE(ImportGatePackage(files.Write(name, Gzip(xml)), false)) << name;
    EXPECT_EQ(GatesVersion(), std::to_string(version)) << name;
  }
  EXPECT_EQ(Count("SELECT count(*) FROM Gate"), 3);
  // Other names are plain XML, compressed or not.
  EXPECT_TRUE(ImportGatePackage(files.Write("gates.xml", PackageXml({Named("Plain")}, "20")), false));
  EXPECT_NE(ImportError([&] { ImportGatePackage(files.Write("gates.gzip", Gzip(PackageXml({}))), false); }).find("XML"),
            std::string::npos);
  // A single gate is never decompressed, whatever its name.
  EXPECT_TRUE(ImportGateFile(files.Write("gate.gz", Named("Single").Element()), false));
  EXPECT_NE(
      ImportError([&] { ImportGateFile(files.Write("gate2.gz", Gzip(Named("G2").Element())), false); }).find("XML"),
      std::string::npos);
}

TEST_F(ImportFile, BrokenGzipFailsBeforeTheFirstGate) {
  std::string gz = Gzip(PackageXml({Named("A"), Named("B")}, "9"));
  std::string badCrc = gz;
  badCrc[badCrc.size() - 6] ^= 0x40;
  std::string error = ImportError([&] { ImportGatePackage(files.Write("crc.gz", badCrc), false); });
  EXPECT_NE(error.find("crc.gz"), std::string::npos) << cp1251::ToUtf8(error);
  EXPECT_NE(error.find("контрольная сумма"_cp), std::string::npos) << cp1251::ToUtf8(error);
  error = ImportError([&] { ImportGatePackage(files.Write("cut.gz", gz.substr(0, gz.size() - 9)), false); });
  EXPECT_NE(error.find("обрываются"_cp), std::string::npos) << cp1251::ToUtf8(error);
  EXPECT_EQ(Count("SELECT count(*) FROM Gate"), 0);
  EXPECT_EQ(GatesVersion(), "0");
}

TEST_F(ImportFile, Utf16WithMarkAndUnmarkedUtf8Declarations) {
  // The gate written as UTF-16 LE with its mark: Cyrillic arrives intact.
  std::string utf16 = Utf16(cp1251::ToUtf8(Named("Utf16", "Шлюз"_cp).Element()), false);
  ASSERT_TRUE(ImportGateFile(files.Write("utf16.xml", utf16), false));
  EXPECT_EQ(Text("SELECT Caption FROM Gate WHERE Name='Utf16'"), "Шлюз"_cp);

  // Declared UTF-8 without a mark: the bytes are Windows-1251 characters.
  std::string declared = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + Named("Declared", "Шлюз").Element();
  ASSERT_TRUE(ImportGateFile(files.Write("declared.xml", declared), false));
  EXPECT_EQ(Text("SELECT Caption FROM Gate WHERE Name='Declared'"), "Шлюз");
}

TEST_F(ImportFile, FailuresBeforeTheFirstGateNameTheFile) {
  std::string missing = files.File("absent.xml");
  EXPECT_NE(ImportError([&] { ImportGateFile(missing, true); }).find("absent.xml"), std::string::npos);
  EXPECT_NE(ImportError([&] { ImportGatePackage(missing + ".gz", true); }).find("absent.xml.gz"), std::string::npos);
  EXPECT_NE(ImportError([&] { ImportGateFile(files.Path().string(), true); }), "<no exception>");
  TestFifo pipe(files.File("pipe.xml"));
  EXPECT_NE(ImportError([&] { ImportGatePackage(pipe.Path(), true); }).find("pipe.xml\": не является"_cp),
            std::string::npos);
  EXPECT_FALSE(pipe.Blocked());
  std::istringstream notXml("this is not xml");
  EXPECT_NE(ImportError([&] { ImportGatePackageStream(notXml, true); }).find("XML"), std::string::npos);
  std::istringstream huge(std::string(kMaxGateXmlSize + 1, ' '));
  EXPECT_NE(ImportError([&] { ImportGateStream(huge, true); }).find("64"), std::string::npos);
  EXPECT_TRUE(failures.empty());
  EXPECT_EQ(Count("SELECT count(*) FROM Gate"), 0);
}

// What would hold the main thread too long is refused with the file's name
// before anything is written; at the limits the gates are tried (the first
// one here has no name, so that the test need not wait for the others).
TEST_F(ImportFile, MoreGatesOrRowsThanTheLimitsAreRefusedBeforeAnythingChanges) {
  auto gate = [](size_t index, size_t prefixes) {
    std::string name = index ? "<name>G" + std::to_string(index) + "</name>" : "";
    return "<g>" + name + "<prefixlist>" + Repeat("<p/>", prefixes) + "</prefixlist><info/><classprops/></g>";
  };
  // `rows` prefix ranges shared out among `gates` gates.
  auto package = [&](size_t gates, size_t rows) {
    std::string xml = "<gates version=\"5\">";
    for (size_t i = 0; i < gates; ++i) xml += gate(i, rows / gates + (i < rows % gates));
    return xml + "</gates>";
  };
  const struct {
    const char* what;
    std::string xml;
    bool package;
    const char* refusal;  // a word of the message; empty when the gates are tried
  } cases[] = {
      {"gates at the limit", package(kMaxPackageGates, 0), true, ""},
      {"one gate more", package(kMaxPackageGates + 1, 0), true, "шлюзов"},
      {"rows at the limit", package(kMaxPackageGates, kMaxImportRows), true, ""},
      {"one row more", package(kMaxPackageGates, kMaxImportRows + 1), true, "параметров"},
      {"one gate of too many prefixes", gate(1, kMaxImportRows + 1), false, "параметров"},
  };
  for (const auto& c : cases) {
    failures.clear();
    std::string file = files.Write("gates.xml", c.xml);
    std::string error = ImportError([&] { c.package ? ImportGatePackage(file, true) : ImportGateFile(file, true); });
    if (*c.refusal) {
      EXPECT_NE(error.find(cp1251::FromUtf8(c.refusal)), std::string::npos) << c.what << ": " << cp1251::ToUtf8(error);
      EXPECT_NE(error.find("gates.xml"), std::string::npos) << c.what;
      EXPECT_TRUE(failures.empty()) << c.what;
    } else {
      EXPECT_EQ(error, "<no exception>") << c.what;
      EXPECT_EQ(failures.size(), 1u) << c.what;
    }
    EXPECT_EQ(Count("SELECT count(*) FROM Gate"), 0) << c.what;
    EXPECT_EQ(GatesVersion(), "0") << c.what;
  }
}

// Start-up imports ImportGate.xml every time: whatever lies there, the
// import ends in an exception of the import's own class (which the
// application shows) or in a reported gate failure, and the database stays
// sound.
TEST_F(ImportFile, NoBadStartUpFileEscapesAsAnythingButAClearFailure) {
  std::string bomb = "<!DOCTYPE g [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]><g>&b;</g>";
  const std::pair<const char*, std::string> files_[] = {
      {"empty", ""},
      {"binary", std::string("\x00\xFF\x13\x37\x1F\x8B", 6)},
      {"gzip", Gzip(Named("G").Element())},
      {"cut", Named("G").Element().substr(0, 60)},
      {"bomb", bomb},
      {"odd utf-16", "\xFF\xFE<\0g\0/\0>"},
      {"a package", PackageXml({Named("G")})},
      {"no parts", "<gate><name>G</name><version>1</version></gate>"},
      {"deep", std::string(5000, '<')},
  };
  for (const auto& [what, content] : files_) {
    failures.clear();
    std::string outcome;
    try {
      outcome = ImportGateFile(files.Write("ImportGate.xml", content), true) ? "imported" : "failed";
    } catch (const EGateImportError& e) {
      outcome = "raised";
      EXPECT_NE(e.Message().find("ImportGate.xml"), std::string::npos) << what;
    }
    EXPECT_NE(outcome, "imported") << what;
    if (outcome == "failed") {
      EXPECT_EQ(failures.size(), 1u) << what;
    }
    EXPECT_FALSE(db().InTransaction()) << what;
    EXPECT_EQ(Text("PRAGMA gates.integrity_check"), "ok") << what;
  }
  EXPECT_EQ(Count("SELECT count(*) FROM Gate"), 0);
}
