// Reading back the zip archives the tests make: the central directory as a
// zip reader sees it, and the verdicts of two independent zip tools.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/tempdir.h"

inline uint32_t ZipRead16(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s.at(at)) | static_cast<uint8_t>(s.at(at + 1)) << 8;
}
inline uint32_t ZipRead32(const std::string& s, size_t at) { return ZipRead16(s, at) | ZipRead16(s, at + 2) << 16; }

struct ZipCentralEntry {
  std::string name;
  uint32_t crc, compressedSize, size, externalAttributes, localOffset;
  std::string localHeader;  // the 30 fixed bytes of the entry's local header
};

// The entries listed by the end record at the end of `zip`.
inline std::vector<ZipCentralEntry> ZipEntries(const std::string& zip) {
  size_t end = zip.size() - 22;
  EXPECT_EQ(ZipRead32(zip, end), 0x06054B50u);
  uint32_t count = ZipRead16(zip, end + 10);
  size_t at = ZipRead32(zip, end + 16);
  std::vector<ZipCentralEntry> entries;
  for (uint32_t i = 0; i < count; ++i) {
    EXPECT_EQ(ZipRead32(zip, at), 0x02014B50u);
    ZipCentralEntry e;
    uint32_t nameLength = ZipRead16(zip, at + 28);
    e.crc = ZipRead32(zip, at + 16);
    e.compressedSize = ZipRead32(zip, at + 20);
    e.size = ZipRead32(zip, at + 24);
    e.externalAttributes = ZipRead32(zip, at + 38);
    e.localOffset = ZipRead32(zip, at + 42);
    e.name = zip.substr(at + 46, nameLength);
    e.localHeader = zip.substr(e.localOffset, 30);
    // Bytes 4 to 27 of the local header reappear at 6 in the central one.
    EXPECT_EQ(e.localHeader.substr(4, 24), zip.substr(at + 6, 24)) << e.name;
    entries.push_back(e);
    at += 46 + nameLength + ZipRead16(zip, at + 30) + ZipRead16(zip, at + 32);
  }
  return entries;
}

inline int RunCommand(const std::string& command, std::string* output = nullptr) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  std::string text;
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
  if (output) *output = text;
  return pclose(pipe);
}

// Checks `zip` with `unzip -t` and Python's zipfile.testzip(), extracts it
// with Python into `dir`/out and returns the names in archive order.
inline std::vector<std::string> CheckWithZipTools(const TempDir& dir, const std::string& zip) {
  std::string file = dir.Write("check.zip", zip);
  std::string output;
  EXPECT_EQ(RunCommand("unzip -t '" + file + "'", &output), 0) << output;
  const std::string script =
      "import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "assert z.testzip() is None\n"
      "z.extractall(sys.argv[2])\n"
      "print('\\n'.join(z.namelist()))\n";
  dir.Write("check.py", script);
  EXPECT_EQ(RunCommand("python3 '" + dir.File("check.py") + "' '" + file + "' '" + dir.File("out") + "'", &output), 0)
      << output;
  std::vector<std::string> names;
  size_t start = 0;
  while (start < output.size()) {
    size_t nl = output.find('\n', start);
    if (nl == std::string::npos) nl = output.size();
    if (nl > start) names.push_back(output.substr(start, nl - start));
    start = nl + 1;
  }
  return names;
}
