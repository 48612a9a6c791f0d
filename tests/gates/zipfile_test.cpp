#include "zipfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <random>

#include "exceptions.h"
#include "gates/ziptools.h"

namespace {

std::string RandomBytes(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen());
  return s;
}

TEST(ZipFile, AnEmptyArchiveIsTheEndRecordAlone) {
  std::string out;
  TZipFile().SaveToStream(out);
  EXPECT_EQ(out, std::string("PK\x05\x06", 4) + std::string(18, '\0'));
}

TEST(ZipFile, AnEmptyEntryHoldsCrcZeroAndTheEmptyDeflateStream) {
  TZipFile zip;
  zip.SetData(zip.AddFile("empty.txt", 0x20), "");
  std::string out;
  zip.SaveToStream(out);
  auto entries = ZipEntries(out);
  ASSERT_EQ(entries.size(), 1u);
  const ZipCentralEntry& e = entries[0];
  EXPECT_EQ(e.name, "empty.txt");
  EXPECT_EQ(e.crc, 0u);
  EXPECT_EQ(e.size, 0u);
  EXPECT_EQ(e.compressedSize, 2u);
  EXPECT_EQ(e.externalAttributes, 0x20u);
  EXPECT_EQ(e.localOffset, 0u);
  EXPECT_EQ(ZipRead32(e.localHeader, 0), 0x04034B50u);
  EXPECT_EQ(ZipRead16(e.localHeader, 4), 20u);  // version needed
  EXPECT_EQ(ZipRead16(e.localHeader, 6), 0u);   // flags
  EXPECT_EQ(ZipRead16(e.localHeader, 8), 8u);   // deflate
  EXPECT_EQ(ZipRead16(e.localHeader, 28), 0u);  // extra field
  EXPECT_EQ(out.substr(30 + 9, 2), std::string("\x03\x00", 2));
  EXPECT_EQ(out.size(), 30 + 9 + 2 + 46 + 9 + 22u);
}

TEST(ZipFile, StandardToolsReadBackEveryEntry) {
  TempDir dir;
  const std::string text = std::string(5000, 'a') + "Привет\r\n";
  const std::string binary = RandomBytes(70000, 7);
  TZipFile zip;
  zip.SetData(zip.AddFile("b.bin"), binary);
  zip.AddFile("never-set.txt");
  zip.SetData(zip.AddFile("a.txt"), text);
  std::string out;
  zip.SaveToStream(out);
  auto entries = ZipEntries(out);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_LT(entries[2].compressedSize, 200u);  // repetitive text shrinks
  EXPECT_EQ(entries[0].size, 70000u);

  auto names = CheckWithZipTools(dir, out);
  EXPECT_EQ(names, (std::vector<std::string>{"b.bin", "never-set.txt", "a.txt"}));
  EXPECT_EQ(dir.Read("out/b.bin"), binary);
  EXPECT_EQ(dir.Read("out/a.txt"), text);
  EXPECT_EQ(dir.Read("out/never-set.txt"), "");
}

TEST(ZipFile, OffsetsArePositionsInTheStreamWrittenTo) {
  TZipFile zip;
  zip.SetData(zip.AddFile("x"), "1");
  zip.SetData(zip.AddFile("y"), "2");
  std::string out = "prefix";
  zip.SaveToStream(out);
  EXPECT_EQ(out.size() - 6, zip.Size());
  auto entries = ZipEntries(out);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].localOffset, 6u);
  EXPECT_EQ(entries[1].localOffset, 6u + 30 + 1 + entries[0].compressedSize);
  EXPECT_EQ(ZipRead32(out, entries[1].localOffset), 0x04034B50u);
}

TEST(ZipFile, BadIndexesRaiseAndChangeNothing) {
  TZipFile zip;
  zip.AddFile("a");
  for (int index : {-1, 1}) {
    try {
      zip.SetData(index, "x");
      ADD_FAILURE() << index;
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message(), "Index out of range.");
    }
    EXPECT_THROW(zip.Delete(index), EListError);
  }
  EXPECT_EQ(zip.Count(), 1);
  EXPECT_THROW(zip.AddFile(std::string(0x10000, 'n')), EListError);
}

TEST(ZipFile, TimeStampsAreLocalDosTime) {
  EXPECT_EQ(DosDateTime(2008, 3, 15, 13, 45, 58), (14447u << 16) | 28093u);
  EXPECT_EQ(DosDateTime(1979, 12, 31, 23, 59, 59), 33u << 16);
  TZipFile zip;
  zip.AddFile("now");
  std::string out;
  zip.SaveToStream(out);
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  uint32_t date = ZipRead16(out, 12);
  EXPECT_EQ(date >> 9, static_cast<uint32_t>(t.tm_year + 1900 - 1980));
  EXPECT_EQ((date >> 5) & 15, static_cast<uint32_t>(t.tm_mon + 1));
}

class ZipFolderTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string folder = dir.File("log");
  void SetUp() override { std::filesystem::create_directory(folder); }
  std::string Zip(TZipLimits limits = {1 << 20, 1 << 20, 100}) {
    std::string out;
    ZipFolder(folder, out, limits);
    return out;
  }
};

TEST_F(ZipFolderTest, AnEmptyOrMissingFolderGivesAnEmptyArchive) {
  EXPECT_EQ(Zip().size(), 22u);
  folder = dir.File("missing");
  EXPECT_EQ(Zip().size(), 22u);
}

TEST_F(ZipFolderTest, TakesTheFilesDirectlyInTheFolderByName) {
  dir.Write("log/02_GET_r_1h.txt", "second");
  dir.Write("log/01_GET_s_1h.txt", "first");
  dir.Write("log/info.txt", "Parlomix v.1");
  dir.Write("log/HTTP/inner.txt", "in a subfolder");
  std::filesystem::create_symlink(dir.File("log/info.txt"), dir.File("log/link.txt"));
  ASSERT_EQ(mkfifo(dir.File("log/pipe").c_str(), 0600), 0);
  auto names = CheckWithZipTools(dir, Zip());
  EXPECT_EQ(names, (std::vector<std::string>{"01_GET_s_1h.txt", "02_GET_r_1h.txt", "info.txt"}));
  EXPECT_EQ(dir.Read("out/02_GET_r_1h.txt"), "second");
}

TEST_F(ZipFolderTest, LeavesOutWhatTheLimitsRefuse) {
  dir.Write("log/a", RandomBytes(3000, 1));
  dir.Write("log/b", RandomBytes(5000, 2));  // over the file cap
  dir.Write("log/c", RandomBytes(3000, 3));  // would pass the archive cap
  dir.Write("log/d", "small");
  dir.Write("log/e", "small too");
  std::string zip = Zip({4000, 3000 + 200 + 7 + 200, 2});
  auto entries = ZipEntries(zip);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "a");
  EXPECT_EQ(entries[1].name, "d");
  EXPECT_LE(zip.size(), 3000u + 200 + 7 + 200);
  std::string capped = Zip({4000, 1 << 20, 2});
  ASSERT_EQ(ZipEntries(capped).size(), 2u);
  EXPECT_EQ(ZipEntries(capped)[1].name, "c");
}

}  // namespace
