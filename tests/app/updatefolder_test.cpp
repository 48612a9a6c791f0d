#include "updatefolder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/tempdir.h"

namespace {

namespace fs = std::filesystem;

TEST(UpdateFolder, OnlyTheFilesInTheDownloadFolderGo) {
  TempDir profile, outside;
  std::string base = profile.Path().string() + "/";
  profile.Write("Update/setup.exe", "x");
  profile.Write("Update/gates.xml.gz", "y");
  profile.Write("Update/keep/inner.txt", "z");
  profile.Write("Parlomix.ini", "[General]\n");
  std::string target = outside.Write("precious.txt", "keep me");
  fs::create_symlink(target, profile.File("Update/link"));
  fs::create_directory_symlink(outside.Path(), profile.File("Update/dirlink"));
  ClearUpdateFolder(base);
  EXPECT_EQ(UpdateFolder(base), base + "Update/");
  EXPECT_FALSE(fs::exists(profile.File("Update/setup.exe")));
  EXPECT_FALSE(fs::exists(profile.File("Update/gates.xml.gz")));
  EXPECT_FALSE(fs::is_symlink(profile.File("Update/link")));
  EXPECT_FALSE(fs::is_symlink(profile.File("Update/dirlink")));
  EXPECT_EQ(outside.Read("precious.txt"), "keep me");
  EXPECT_TRUE(fs::exists(profile.File("Update/keep/inner.txt")));
  EXPECT_TRUE(fs::exists(profile.File("Parlomix.ini")));
  TempDir empty;
  EXPECT_NO_THROW(ClearUpdateFolder(empty.Path().string() + "/"));  // no download folder at all
}

}  // namespace
