// Programs in the part of the language that agrees with Object Pascal, each
// compiled with Free Pascal and run through pxscript: both must print the
// same. The compiler runs once per test run, for all programs in parallel.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "support/tempdir.h"

namespace {

namespace fs = std::filesystem;

struct Output {
  int status = -1;
  std::string text;
};

Output Capture(const std::string& command) {
  Output out;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return out;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.text.append(buffer.data(), n);
  out.status = pclose(pipe);
  return out;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

std::vector<fs::path> Programs() {
  std::vector<fs::path> programs;
  for (const auto& entry : fs::directory_iterator(fs::path(PX_DIFF_DIR)))
    if (entry.path().extension() == ".pas") programs.push_back(entry.path());
  std::sort(programs.begin(), programs.end());
  return programs;
}

}  // namespace

TEST(FreePascalDifferential, ProgramsPrintTheSame) {
  if (Capture("command -v fpc").status != 0) GTEST_SKIP() << "fpc is not installed";
  std::vector<fs::path> programs = Programs();
  ASSERT_GE(programs.size(), 30u);
  TempDir dir;

  // Compile in a few batches at once; each compiler run gets its own folder.
  std::vector<std::future<Output>> builds;
  for (const fs::path& p : programs) {
    std::string out = dir.File(p.stem().string());
    fs::create_directories(out + ".d");
    builds.push_back(std::async(std::launch::async, [p, out] {
      return Capture("fpc -Mobjfpc -Sh -FE" + Quote(out + ".d") + " -o" + Quote(out) + " " + Quote(p.string()));
    }));
    if (builds.size() % 8 == 0) builds[builds.size() - 8].wait();
  }
  for (size_t i = 0; i < programs.size(); ++i) {
    const fs::path& p = programs[i];
    SCOPED_TRACE(p.filename().string());
    Output build = builds[i].get();
    ASSERT_EQ(build.status, 0) << build.text;
    Output expected = Capture(Quote(dir.File(p.stem().string())));
    Output actual = Capture(Quote(PX_PXSCRIPT) + " " + Quote(p.string()));
    EXPECT_EQ(actual.status, 0);
    EXPECT_FALSE(expected.text.empty());
    EXPECT_EQ(actual.text, expected.text);
  }
}
