// Gate import into a fresh database: version rules, what survives a
// re-import, prefixes, deletion and take-over, failures rolled back per
// gate, packages, and script compaction.
#include "importgate.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cp1251.h"
#include "gatelimits.h"
#include "import_support.h"
#include "options.h"

namespace {

class GateImport : public ImportDatabase {};

GateXml Versioned(const std::string& name, std::optional<std::string> version, const std::string& caption = "c") {
  GateXml gate;
  gate.name = name;
  gate.version = std::move(version);
  gate.caption = caption;
  return gate;
}

std::string Snapshot(GateImport& t) {
  return t.Rows("SELECT * FROM Gate") + t.Rows("SELECT * FROM GatePrefix") +
         t.Rows("SELECT * FROM GateParam ORDER BY ParamClass, ParamName");
}

}  // namespace

TEST_F(GateImport, OnlyANewerVersionReplacesAGateUnlessForced) {
  EXPECT_TRUE(Import(Versioned("G", "5", "five")));
  EXPECT_EQ(Rows("SELECT Caption, Version FROM Gate"), "five|5;");
  // The same or an older version is skipped, and a skip is a success.
  EXPECT_TRUE(Import(Versioned("G", "5", "again")));
  EXPECT_TRUE(Import(Versioned("G", "4", "older")));
  EXPECT_EQ(Rows("SELECT Caption, Version FROM Gate"), "five|5;");
  EXPECT_TRUE(Import(Versioned("G", " 6 ", "six")));
  EXPECT_EQ(Rows("SELECT Caption FROM Gate"), "six;");
  EXPECT_TRUE(Import(Versioned("G", "3", "forced"), true));
  EXPECT_EQ(Rows("SELECT Caption, Version FROM Gate"), "forced|3;");
  EXPECT_TRUE(failures.empty());
}

TEST_F(GateImport, ANewGateNeedsVersionOneOrMoreUnlessForced) {
  EXPECT_TRUE(Import(Versioned("Zero", "0")));
  EXPECT_TRUE(Import(Versioned("None", std::nullopt)));
  EXPECT_TRUE(Import(Versioned("Word", "five")));
  EXPECT_EQ(Count("SELECT count(*) FROM Gate"), 0);
  EXPECT_TRUE(Import(Versioned("One", "1")));
  EXPECT_TRUE(Import(Versioned("None", std::nullopt), true));
  // Without a version the stored text is empty, and the gate is replaced
  // by any numbered version later.
  EXPECT_EQ(Rows("SELECT Name, typeof(Version), Version FROM Gate ORDER BY Name"), "None|text|;One|integer|1;");
  EXPECT_TRUE(Import(Versioned("None", "1", "numbered")));
  EXPECT_EQ(Text("SELECT Caption FROM Gate WHERE Name='None'"), "numbered");
}

TEST_F(GateImport, TheGateRowTakesTheElementsTexts) {
  GateXml gate = Versioned("MTS", "2", "МТС Россия & Co"_cp);
  gate.caption = "МТС Россия &amp; Co"_cp;
  gate.type = "MMS";
  gate.priority = "25";
  ASSERT_TRUE(Import(gate));
  EXPECT_EQ(Rows("SELECT Name, Caption, Class, Type, Version, Priority, Disabled FROM Gate"),
            "MTS|МТС Россия & Co|HTTP|MMS|2|25|0;"_cp);
  gate.name = "NoPriority";
  gate.priority.reset();
  ASSERT_TRUE(Import(gate));
  EXPECT_EQ(Count("SELECT Priority FROM Gate WHERE Name='NoPriority'"), -1);
}

TEST_F(GateImport, AForcedOlderVersionKeepsDisabledAndStoredValues) {
  GateXml gate = Versioned("G", "5");
  gate.info = "<A>old</A>";
  gate.classprops = "<S>old</S>";
  ASSERT_TRUE(Import(gate));
  db().ExecSQL("UPDATE Gate SET Disabled=1");
  db().ExecSQL("INSERT INTO GateParam VALUES ('G', 'CaptchaScale', 2, '2')");
  db().ExecSQL("INSERT INTO GateParam VALUES ('G', 'DontCheckDelivery', 2, 'True')");
  db().ExecSQL("INSERT INTO GateParam VALUES ('Other', 'A', 0, 'other')");

  GateXml older = Versioned("G", "3", "older");
  older.info = "<B>new</B>";
  older.classprops = "<T>new</T>";
  older.prefixes = "<p start=\"7903\"/>";
  ASSERT_TRUE(Import(older, true));
  EXPECT_EQ(Rows("SELECT Caption, Version, Disabled FROM Gate"), "older|3|1;");
  EXPECT_EQ(Rows("SELECT ParamName, ParamClass, ParamValue FROM GateParam WHERE GateName='G' "
                 "ORDER BY ParamClass, ParamName"),
            "B|0|new;T|1|new;CaptchaScale|2|2;DontCheckDelivery|2|True;");
  EXPECT_EQ(Rows("SELECT PrefixStart FROM GatePrefix"), "7903;");
  EXPECT_EQ(Count("SELECT count(*) FROM GateParam WHERE GateName='Other'"), 1);

  // An ordinary update keeps the user's switch as well.
  ASSERT_TRUE(Import(Versioned("G", "9", "newer")));
  EXPECT_EQ(Rows("SELECT Caption, Disabled FROM Gate"), "newer|1;");
}

TEST_F(GateImport, PrefixesKeepDigitsOnlyAndTakeTheirDefaults) {
  GateXml gate;
  gate.prefixes =
      "<prefix start=\"+ 7916\"/>\r\n"
      "    <!-- names are not examined -->\r\n"
      "    <range start=\"7-903\" end=\"(7) 909\" format=\"1.3.6\" tag=\"3\"/>\r\n"
      "    <x start=\"8\" end=\"\" format=\"\" tag=\"abc\"/><y/>";
  ASSERT_TRUE(Import(gate));
  EXPECT_EQ(Rows("SELECT PrefixStart, PrefixEnd, Format, Tag FROM GatePrefix ORDER BY rowid"),
            "7916|7916|1.3.7|0;7903|7909|1.3.6|3;8|||0;||1.3.7|0;");
}

TEST_F(GateImport, InformationAsWrittenAndScriptsCompacted) {
  GateXml gate;
  gate.info = "<Url>http://x/?a=1&amp;b=2  c</Url><Note>  two  blanks\r\n\tand a tab</Note>";
  gate.classprops = "<Init>eval(\r\n\tx  :=  'a  b';\r\n)</Init><Empty/><Raw><![CDATA[if a<b then  x]]></Raw>";
  ASSERT_TRUE(Import(gate));
  EXPECT_EQ(Rows("SELECT ParamName, ParamClass, ParamValue FROM GateParam ORDER BY rowid"),
            "Url|0|http://x/?a=1&b=2  c;Note|0|  two  blanks\r\n\tand a tab;"
            "Init|1|eval(\r\nx := 'a  b';\r\n);Empty|1|;Raw|1|if a<b then x;");
}

TEST_F(GateImport, DeleteInAnyCaseRemovesTheGateButNotItsStoredValues) {
  for (const char* action : {"delete", "DELETE", "Delete"}) {
    ASSERT_TRUE(Import(Versioned("G", "7")));
    ASSERT_TRUE(Import(Versioned("Other", "1")));
    db().ExecSQL("INSERT INTO GateParam VALUES ('G', 'CaptchaScale', 2, '2')");
    // No version test, and no parts needed.
    GateXml removal = Versioned("G", std::nullopt);
    removal.attributes = std::string("action=\"") + action + "\"";
    removal.prefixes.reset();
    removal.info.reset();
    removal.classprops.reset();
    EXPECT_TRUE(Import(removal)) << action;
    EXPECT_EQ(Rows("SELECT Name FROM Gate"), "Other;") << action;
    EXPECT_EQ(Rows("SELECT GateName FROM GatePrefix"), "Other;") << action;
    EXPECT_EQ(Rows("SELECT GateName, ParamClass FROM GateParam ORDER BY GateName, ParamClass"), "G|2;Other|0;Other|1;")
        << action;
    db().ExecSQL("DELETE FROM GateParam WHERE ParamClass=2");
  }
  GateXml notDelete = Versioned("G", "1");
  notDelete.attributes = "action=\"deleted\"";
  EXPECT_TRUE(Import(notDelete));
  EXPECT_EQ(Count("SELECT count(*) FROM Gate WHERE Name='G'"), 1);
}

TEST_F(GateImport, ReplaceGateMovesHistoryAndContactsToTheNewName) {
  ASSERT_TRUE(Import(Versioned("Old", "1")));
  ASSERT_TRUE(Import(Versioned("Kept", "1")));
  for (const char* gate : {"Old", "Old", "Kept"}) {
    db().AddParamText(":Gate", gate);
    db().ExecSQL("INSERT INTO History (DATETIME, GateName, Phone) VALUES (1, :Gate, '79161234567')");
  }
  db().ExecSQL("INSERT INTO PhoneBook (Name, Phone, GateName) VALUES ('Ann', '7916', 'Old')");
  db().ExecSQL("INSERT INTO PhoneBook (Name, Phone, GateName) VALUES ('Bob', '7903', 'Kept')");

  GateXml keep = Versioned("Kept", std::nullopt);
  keep.attributes = "action=\"delete\"";
  ASSERT_TRUE(Import(keep));
  EXPECT_EQ(Rows("SELECT GateName FROM History ORDER BY ID"), "Old;Old;Kept;");

  GateXml replace = Versioned("Old", std::nullopt);
  replace.attributes = "action=\"delete\" replacegate=\"New O'Gate\"";
  ASSERT_TRUE(Import(replace));
  EXPECT_EQ(Rows("SELECT GateName FROM History ORDER BY ID"), "New O'Gate;New O'Gate;Kept;");
  EXPECT_EQ(Rows("SELECT Name, GateName FROM PhoneBook ORDER BY ID"), "Ann|New O'Gate;Bob|Kept;");
  EXPECT_EQ(Count("SELECT count(*) FROM Gate"), 0);
}

TEST_F(GateImport, AGateWithoutNameOrAPartFailsAndRollsBack) {
  GateXml base = Versioned("G", "1", "base");
  base.info = "<A>1</A>";
  ASSERT_TRUE(Import(base));
  std::string before = Snapshot(*this);

  struct Case {
    const char* missing;
    GateXml gate;
  };
  std::vector<Case> cases;
  GateXml noName = Versioned("G", "2");
  noName.withName = false;
  cases.push_back({"name", noName});
  cases.push_back({"name", Versioned("", "2")});
  // Written again into every row of the gate, a name has a length limit.
  cases.push_back({"255", Versioned(std::string(kMaxGateNameLength + 1, 'N'), "2")});
  GateXml deleteWithoutName = noName;
  deleteWithoutName.attributes = "action=\"delete\"";
  cases.push_back({"name", deleteWithoutName});
  for (auto part : {&GateXml::prefixes, &GateXml::info, &GateXml::classprops}) {
    GateXml gate = Versioned("G", "2", "changed");
    (gate.*part).reset();
    cases.push_back({part == &GateXml::prefixes ? "prefixlist" : part == &GateXml::info ? "info" : "classprops", gate});
  }
  for (const Case& c : cases) {
    for (bool force : {false, true}) {
      failures.clear();
      EXPECT_FALSE(Import(c.gate, force)) << c.missing;
      ASSERT_EQ(failures.size(), 1u) << c.missing;
      EXPECT_NE(failures[0].find(c.missing), std::string::npos) << failures[0];
      EXPECT_EQ(Snapshot(*this), before) << c.missing;
      EXPECT_FALSE(db().InTransaction());
    }
  }
  EXPECT_TRUE(Import(Versioned(std::string(kMaxGateNameLength, 'N'), "1")));
}

TEST_F(GateImport, ADatabaseFailureRollsTheWholeGateBack) {
  ASSERT_TRUE(Import(Versioned("G", "1", "base")));
  std::string gate = Rows("SELECT * FROM Gate") + Rows("SELECT * FROM GatePrefix");
  // The gate row and prefix deletion run before the statement that fails.
  db().ExecSQL("DROP TABLE gates.GateParam");
  EXPECT_FALSE(Import(Versioned("G", "2", "changed")));
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("GateParam"), std::string::npos) << failures[0];
  EXPECT_EQ(Rows("SELECT * FROM Gate") + Rows("SELECT * FROM GatePrefix"), gate);
  // Nothing queued for the failed statement leaks into the next one.
  EXPECT_TRUE(db().Params().empty());
}

TEST_F(GateImport, AnOpenTransactionIsRaisedToTheCaller) {
  db().BeginTransaction();
  EXPECT_THROW(Import(Versioned("G", "1")), ESQLiteException);
  db().Rollback();
  EXPECT_EQ(Count("SELECT count(*) FROM Gate"), 0);
  EXPECT_TRUE(failures.empty());
}

TEST_F(GateImport, APackageStopsAtItsFirstFailingGateAndKeepsItsVersion) {
  ProgramVersion.GatesVersion = 0;
  std::vector<GateXml> gates;
  for (int i = 1; i <= 5; ++i) gates.push_back(Versioned("G" + std::to_string(i), "1"));
  gates[2].info.reset();
  EXPECT_FALSE(ImportPackage(PackageXml(gates, "42")));
  EXPECT_EQ(Rows("SELECT Name FROM Gate ORDER BY Name"), "G1;G2;");
  EXPECT_EQ(Count("SELECT count(*) FROM GatePrefix"), 2);
  EXPECT_EQ(Text("SELECT ParamValue FROM gates.Config WHERE ParamName='gatesversion'"), "0");
  EXPECT_EQ(ProgramVersion.GatesVersion, 0);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("G3"), std::string::npos);

  gates[2].info = "<A>1</A>";
  EXPECT_TRUE(ImportPackage(PackageXml(gates, "42")));
  EXPECT_EQ(Rows("SELECT Name FROM Gate ORDER BY Name"), "G1;G2;G3;G4;G5;");
  EXPECT_EQ(Text("SELECT ParamValue FROM gates.Config WHERE ParamName='gatesversion'"), "42");
  EXPECT_EQ(ProgramVersion.GatesVersion, 42);
  // Every gate skipped as not newer still makes a successful package.
  EXPECT_TRUE(ImportPackage(PackageXml(gates, "43")));
  EXPECT_EQ(ProgramVersion.GatesVersion, 43);
}

TEST_F(GateImport, PackageValuesAreBoundAsTheyAre) {
  std::string hostile = "7'); DROP TABLE gates.Gate; --";
  GateXml gate = Versioned("O'Brien \"x\"", "1", "it's");
  gate.info = "<Q>'); DELETE FROM Gate; --</Q>";
  EXPECT_TRUE(ImportPackage(PackageXml({gate}, hostile)));
  EXPECT_EQ(Text("SELECT ParamValue FROM gates.Config WHERE ParamName='gatesversion'"), hostile);
  EXPECT_EQ(Rows("SELECT Name, Caption FROM Gate"), "O'Brien \"x\"|it's;");
  EXPECT_EQ(Text("SELECT ParamValue FROM GateParam WHERE ParamName='Q'"), "'); DELETE FROM Gate; --");
  EXPECT_EQ(ProgramVersion.GatesVersion, 7);

  // No version attribute: the stored version is empty text.
  EXPECT_TRUE(ImportPackage(PackageXml({}, std::nullopt)));
  EXPECT_EQ(Rows("SELECT ParamValue FROM gates.Config WHERE ParamName='gatesversion'"), ";");
  EXPECT_EQ(ProgramVersion.GatesVersion, 0);
}

TEST_F(GateImport, AFailedVersionWriteFailsThePackage) {
  db().ExecSQL("DROP TABLE gates.Config");
  EXPECT_FALSE(ImportPackage(PackageXml({Versioned("G", "1")}, "5")));
  EXPECT_EQ(Count("SELECT count(*) FROM Gate"), 1);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("Config"), std::string::npos);
}

TEST(CompactGateScript, TabsAndRepeatedBlanksGoOutsideLiterals) {
  const std::pair<const char*, const char*> cases[] = {
      {"a \t b", "a  b"},  // the blank after a dropped tab stays
      {"word  word", "word word"},
      {"x :=   'a  b';", "x := 'a  b';"},
      {"x\t:=\t'\t'", "x:='\t'"},
      {"  lead", " lead"},
      {"'it''s  a'  b", "'it''s  a' b"},
      {"a   \r\n   b", "a \r\n b"},
      {"'open  quote", "'open  quote"},
      {"", ""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(CompactGateScript(in), out) << in;
}
