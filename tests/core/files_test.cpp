#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "files.h"
#include "support/tempdir.h"

namespace {

int EntriesIn(const TempDir& dir) {
  int count = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.Path())) ++count;
  return count;
}

TEST(TryReadFile, ReadsRegularFilesUpToTheCapOnly) {
  TempDir dir;
  std::string out = "stale";
  std::string file = dir.Write("a.bin", std::string("x\0y", 3));
  ASSERT_TRUE(TryReadFile(file, 3, out));
  EXPECT_EQ(out, std::string("x\0y", 3));
  EXPECT_FALSE(TryReadFile(file, 2, out));
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(TryReadFile(dir.Write("empty", ""), 0, out));
  EXPECT_FALSE(TryReadFile(dir.File("missing"), 100, out));
  EXPECT_FALSE(TryReadFile(dir.Path().string(), 100, out));
  // A pipe must neither block nor count as a file.
  std::string fifo = dir.File("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(TryReadFile(fifo, 100, out));
}

TEST(ReplaceFile, ReplacesWholeAndLeavesNoTemporary) {
  TempDir dir;
  std::string file = dir.Write("m.plmx", "old content that is longer");
  ReplaceFile(file, "new");
  EXPECT_EQ(dir.Read("m.plmx"), "new");
  EXPECT_EQ(EntriesIn(dir), 1);
}

TEST(ReplaceFile, AFailureRaisesAndKeepsWhatWasThere) {
  TempDir dir;
  EXPECT_THROW(ReplaceFile(dir.File("no/such/folder/m.plmx"), "x"), EFileError);
  // Renaming over a folder fails after the temporary was written.
  std::filesystem::create_directory(dir.File("taken"));
  dir.Write("taken/inside", "kept");
  EXPECT_THROW(ReplaceFile(dir.File("taken"), "x"), EFileError);
  EXPECT_EQ(dir.Read("taken/inside"), "kept");
  EXPECT_EQ(EntriesIn(dir), 1);
}

TEST(WriteNewFile, TruncatesAndAppendToFileAppends) {
  TempDir dir;
  std::string file = dir.Write("info.txt", "a long old text");
  WriteNewFile(file, "ab");
  AppendToFile(file, "cd");
  EXPECT_EQ(dir.Read("info.txt"), "abcd");
  AppendToFile(dir.File("fresh"), "x");
  EXPECT_EQ(dir.Read("fresh"), "x");
  EXPECT_THROW(WriteNewFile(dir.File("no/folder"), "x"), EFileError);
}

}  // namespace
