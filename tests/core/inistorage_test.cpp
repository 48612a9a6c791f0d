#include "inistorage.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>
#include <thread>

#include "corelimits.h"
#include "cp1251.h"
#include "support/tempdir.h"
#include "support/testfifo.h"

namespace {

std::string Read(const TIniFile& ini, const char* section, const char* name) {
  std::string v;
  return ini.ReadValue(section, name, v) ? v : "<missing>";
}

TEST(IniFile, ParsesLooseInput) {
  TIniFile ini;
  ini.Parse(
      "\xEF\xBB\xBF[Network]\r\n"
      "Proxy = HTTP \r\n"
      "proxy=second\n"         // a duplicate: the first wins
      "junk line without equals\n"
      "; a comment=not a value\n"
      "=no name\n"
      "[ network ]\n"          // the same section again
      "ProxyHost=h\n"
      "[broken\n"
      "Orphan=1\n"
      "[Message]\r"
      "Signature=\"  spaced  \"\r");
  EXPECT_EQ(Read(ini, "NETWORK", "PROXY"), "HTTP");
  EXPECT_EQ(Read(ini, "Network", "ProxyHost"), "h");
  EXPECT_EQ(Read(ini, "Network", "junk line without equals"), "<missing>");
  EXPECT_EQ(Read(ini, "broken", "Orphan"), "<missing>");
  EXPECT_EQ(Read(ini, "Message", "Signature"), "  spaced  ");
  EXPECT_EQ(ini.SectionNames().size(), 2u);
}

// Names are found by an index; erasing a section or a value must leave every
// other one where a read finds it, and value names keep their case rule.
TEST(IniFile, EditsLeaveTheRestFindable) {
  TIniFile ini;
  ini.Parse("[A]\nx=1\ny=2\nz=3\n[B]\nx=4\n[C]\nx=5\n");
  ini.DeleteValue("a", "X");
  ini.EraseSection("b");
  EXPECT_EQ(Read(ini, "A", "x"), "<missing>");
  EXPECT_EQ(Read(ini, "A", "Z"), "3");
  EXPECT_EQ(Read(ini, "c", "X"), "5");
  ini.WriteValue("A", "x", "6");
  ini.WriteValue("c", "x", "7");
  EXPECT_EQ(ini.Serialize(), "[A]\ny=2\nz=3\nx=6\n\n[C]\nx=7\n");

  TIniFile exact(/*caseSensitiveNames=*/true);
  exact.Parse("[T]\na=1\nA=2\na=3\n[t]\nb=4\n");
  EXPECT_EQ(Read(exact, "T", "a"), "1");
  EXPECT_EQ(Read(exact, "T", "A"), "2");
  EXPECT_EQ(Read(exact, "T", "B"), "<missing>");
  EXPECT_EQ(Read(exact, "t", "b"), "4");
}

TEST(IniFile, SurvivesBinaryGarbage) {
  std::mt19937 rng(1251);
  for (int round = 0; round < 200; ++round) {
    std::string junk(rng() % 4096, '\0');
    for (char& c : junk) c = static_cast<char>(rng() % 7 == 0 ? "[]=;\r\n"[rng() % 6] : rng());
    TIniFile ini;
    ini.Parse(junk);
    TIniFile again;
    again.Parse(ini.Serialize());  // whatever was read writes back readably
    EXPECT_EQ(again.Serialize(), ini.Serialize());
  }
}

TEST(IniFile, ValuesCannotInjectLines) {
  TIniFile ini;
  ini.WriteValue("Message", "Signature", "line1\r\n[Evil]\nInjected=1");
  ini.WriteValue("Bad]Section", "Bad=Name", "v");
  TIniFile back;
  back.Parse(ini.Serialize());
  EXPECT_EQ(Read(back, "Message", "Signature"), "line1 [Evil] Injected=1");
  EXPECT_FALSE(back.SectionExists("Evil"));
  EXPECT_EQ(Read(back, "Bad_Section", "Bad_Name"), "v");
}

TEST(IniFile, RoundTripKeepsWindows1251AndEdgeBlanks) {
  TempDir dir;
  TIniFile ini;
  ini.WriteValue("Message", "Signature", "  С уважением  "_cp);
  ini.WriteValue("Message", "Quoted", "\"q\"");
  // A reader trims NUL bytes as it trims blanks (one can come from a quoted
  // value of the file), so they are quoted the same way.
  const std::string nulEdges("\0x \0", 4);
  ini.WriteValue("Message", "Nul", nulEdges);
  ASSERT_TRUE(ini.SaveToFile(dir.File("a.ini")));
  EXPECT_NE(dir.Read("a.ini").find("С уважением"_cp), std::string::npos);
  TIniFile back;
  ASSERT_TRUE(back.LoadFromFile(dir.File("a.ini")));
  EXPECT_EQ(Read(back, "Message", "Signature"), "  С уважением  "_cp);
  EXPECT_EQ(Read(back, "Message", "Quoted"), "\"q\"");
  EXPECT_EQ(Read(back, "Message", "Nul"), nulEdges);
  EXPECT_TRUE(back.LoadFromFile(dir.File("missing.ini")));
  EXPECT_TRUE(back.SectionNames().empty());
  // What is there but is no ini file of ours is refused: a pipe unread, a
  // file past the cap without reading it into memory.
  TestFifo pipe(dir.File("pipe.ini"));
  EXPECT_FALSE(back.LoadFromFile(pipe.Path()));
  EXPECT_FALSE(pipe.Blocked());
  EXPECT_FALSE(back.LoadFromFile(dir.Write("huge.ini", "[A]\nB=" + std::string(kMaxIniFileSize, 'x'))));
}

TEST(IniStorage, TypedReadsFallBackToDefaults) {
  TempDir dir;
  dir.Write("o.ini",
            "[S]\nYes=yes\nN=n\nTwo=2\nZero=0\nWord=maybe\nNum=42\nHex=$10\nBig=99999999999\nNeg=-5\n");
  TIniStorage s(dir.File("o.ini"));
  EXPECT_TRUE(s.ReadBool("S\\Yes", false));
  EXPECT_FALSE(s.ReadBool("S\\N", true));
  EXPECT_TRUE(s.ReadBool("S\\Two", false));
  EXPECT_FALSE(s.ReadBool("S\\Zero", true));
  EXPECT_TRUE(s.ReadBool("S\\Word", true));
  EXPECT_FALSE(s.ReadBool("S\\Word", false));
  EXPECT_TRUE(s.ReadBool("S\\Missing", true));
  EXPECT_EQ(s.ReadInteger("S\\Num", 1), 42);
  EXPECT_EQ(s.ReadInteger("S\\Hex", 1), 16);
  EXPECT_EQ(s.ReadInteger("S\\Word", 7), 7);
  EXPECT_EQ(s.ReadInteger("S\\Big", 7), 7);
  EXPECT_EQ(s.ReadInteger("S\\Neg", 7), -5);
  EXPECT_EQ(s.ReadString("s\\num", "d"), "42");
  EXPECT_EQ(s.ReadString("Missing\\Value", "d"), "d");
}

TEST(IniStorage, SubStorageServesItsRoot) {
  TempDir dir;
  {
    TIniStorage placement(dir.File("Placemnt.ini"));
    TIniStorage options(dir.File("Parlomix.ini"));
    placement.AddSubStorage("Configuration", &options);
    placement.WriteString("Configuration\\Network\\Proxy", "Direct");
    placement.WriteInteger("TfmMain\\Left", 10);
    placement.WriteBool("NoSection", true);
    EXPECT_EQ(options.ReadString("Network\\Proxy", ""), "Direct");
    EXPECT_EQ(placement.ReadString("configuration\\network\\proxy", ""), "Direct");
    ASSERT_TRUE(placement.Flush());
  }
  EXPECT_EQ(dir.Read("Parlomix.ini"), "[Network]\nProxy=Direct\n");
  EXPECT_EQ(dir.Read("Placemnt.ini"), "[TfmMain]\nLeft=10\n\n[General]\nNoSection=TRUE\n");
}

TEST(IniStorage, AnOwnerOnlyFileIsWrittenForItsOwnerAlone) {
  TempDir dir;
  auto mode = [&](const std::string& name) {
    struct stat st {};
    return stat(dir.File(name).c_str(), &st) == 0 ? st.st_mode & 0777 : 0u;
  };
  // An older file and a temporary left behind were open to everyone.
  dir.Write("secret.ini", "[Network]\nProxyPass=old\n");
  dir.Write("secret.ini.tmp", "stale");
  chmod(dir.File("secret.ini").c_str(), 0666);
  chmod(dir.File("secret.ini.tmp").c_str(), 0666);
  TIniStorage secret(dir.File("secret.ini"));
  secret.SetOwnerOnly(true);
  secret.WriteString("Network\\ProxyPass", "p4ss");
  ASSERT_TRUE(secret.Flush());
  EXPECT_EQ(mode("secret.ini"), 0600u);
  EXPECT_EQ(dir.Read("secret.ini"), "[Network]\nProxyPass=p4ss\n");
  TIniStorage plain(dir.File("plain.ini"));
  plain.WriteString("A\\B", "c");
  ASSERT_TRUE(plain.Flush());
  EXPECT_EQ(mode("plain.ini") & 0600, 0600u);
}

TEST(IniStorage, AFlushForAnywayWritesAnUnchangedStorageAndItsSubStorages) {
  TempDir dir;
  TIniStorage placement(dir.File("Placemnt.ini"));
  TIniStorage options(dir.File("Parlomix.ini"));
  placement.AddSubStorage("Configuration", &options);
  ASSERT_TRUE(placement.Flush());
  EXPECT_FALSE(std::filesystem::exists(dir.File("Placemnt.ini")));
  ASSERT_TRUE(placement.Flush(true));
  EXPECT_TRUE(std::filesystem::exists(dir.File("Placemnt.ini")));
  EXPECT_TRUE(std::filesystem::exists(dir.File("Parlomix.ini")));
}

// A link is written through (one to a pipe is replaced itself); a file that
// could not be read is not written over until it is put aside.
TEST(IniStorage, WritesReplaceOnlyWhatTheyRead) {
  TempDir dir;
  TestFifo pipe(dir.File("pipe"));
  std::filesystem::create_symlink(dir.Write("real/o.ini", ""), dir.File("link.ini"));
  std::filesystem::create_symlink(pipe.Path(), dir.File("pipe.ini"));
  const std::string huge = dir.Write("huge.ini", std::string(kMaxIniFileSize + 1, 'x'));
  for (const std::string name : {"link.ini", "pipe.ini", "huge.ini"}) {
    TIniStorage s(dir.File(name));
    s.WriteString("A\\B", "new");
    EXPECT_EQ(s.Flush(), name != "huge.ini") << name;
    if (name == "huge.ini") EXPECT_TRUE(s.PutAside() == huge + ".bad" && s.Flush());
  }
  EXPECT_EQ(dir.Read("real/o.ini"), "[A]\nB=new\n");
  EXPECT_TRUE(std::filesystem::is_fifo(pipe.Path()));
  EXPECT_EQ(dir.Read("huge.ini.bad").size(), kMaxIniFileSize + 1);
  EXPECT_EQ(dir.Read("huge.ini"), "[A]\nB=new\n");
}

TEST(IniStorage, FlushReportsAnUnwritableFolder) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes everywhere";
  TempDir dir;
  TIniStorage s(dir.File("ro/o.ini"));
  std::filesystem::create_directories(dir.File("ro"));
  std::filesystem::permissions(dir.File("ro"), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  s.WriteString("A\\B", "c");
  EXPECT_FALSE(s.Flush());
}

TEST(IniStorage, FlushFailsWhereNobodyMayWrite) {
  TIniStorage s("/proc/parlomix-test/o.ini");
  s.WriteString("A\\B", "c");
  EXPECT_FALSE(s.Flush());
}

TEST(IniStorage, FlushFailsWhenTheFolderIsGone) {
  TempDir dir;
  TIniStorage s(dir.File("gone/o.ini"));
  s.WriteString("A\\B", "c");
  EXPECT_FALSE(s.Flush());
  std::filesystem::create_directories(dir.File("gone"));
  EXPECT_TRUE(s.Flush());  // still modified, so the next flush writes
  s.Reload();
  EXPECT_EQ(s.ReadString("A\\B", ""), "c");
}

TEST(IniStorage, ReadersAndAWriterMayRunTogether) {
  TempDir dir;
  TIniStorage s(dir.File("o.ini"));
  std::atomic<bool> stop{false};
  std::vector<std::thread> readers;
  for (int t = 0; t < 4; ++t)
    readers.emplace_back([&] {
      while (!stop) {
        std::string v = s.ReadString("Send\\Counter", "0");
        ASSERT_FALSE(v.empty());
      }
    });
  for (int i = 0; i < 2000; ++i) s.WriteString("Send\\Counter", std::to_string(i));
  stop = true;
  for (auto& r : readers) r.join();
  EXPECT_EQ(s.ReadInteger("Send\\Counter", 0), 1999);
}

}  // namespace
