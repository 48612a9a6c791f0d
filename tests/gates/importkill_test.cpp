// A package import killed half-way: every gate whose commit finished is
// there in full, nothing after it is, the database is sound, the list's
// version is untouched, and importing again completes the list.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "import_support.h"

namespace {

constexpr int kGates = 200;
constexpr int kKillAfterCommits = 40;
constexpr int kPrefixes = 20;
constexpr int kParams = 30;

std::string GateName(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "G%04d", i);
  return name;
}

std::string Package() {
  std::vector<GateXml> gates;
  for (int i = 0; i < kGates; ++i) {
    GateXml gate;
    gate.name = GateName(i);
    gate.prefixes = "";
    for (int p = 0; p < kPrefixes; ++p) *gate.prefixes += "<p start=\"79" + std::to_string(100 + p) + "\"/>";
    gate.info = "";
    gate.classprops = "";
    for (int p = 0; p < kParams / 2; ++p) {
      *gate.info += "<I" + std::to_string(p) + ">value " + std::to_string(p) + "</I" + std::to_string(p) + ">";
      *gate.classprops +=
          "<S" + std::to_string(p) + ">eval(x := " + std::to_string(p) + ")</S" + std::to_string(p) + ">";
    }
    gates.push_back(gate);
  }
  return PackageXml(gates, "77");
}

// Runs after each statement has finished: a COMMIT reported here is on disk.
int ReportCommit(unsigned, void* context, void* statement, void*) {
  if (std::string_view(sqlite3_sql(static_cast<sqlite3_stmt*>(statement))) == "COMMIT")
    (void)!write(*static_cast<int*>(context), "c", 1);
  return 0;
}

[[noreturn]] void ImportInChild(const std::string& mainFile, const std::string& gatesFile, const std::string& package,
                                int reportFd) {
  try {
    OpenDatabases(mainFile, gatesFile);
    sqlite3_trace_v2(Database->Handle(), SQLITE_TRACE_PROFILE, ReportCommit, &reportFd);
    ImportGatePackage(package, false);
  } catch (...) {
    _exit(2);
  }
  _exit(0);
}

int CountBytes(int fd, int stopAt) {
  int count = 0;
  char buffer[256];
  while (count < stopAt) {
    ssize_t got = read(fd, buffer, std::min<size_t>(sizeof buffer, stopAt - count));
    if (got <= 0) break;
    count += got;
  }
  return count;
}

}  // namespace

TEST(ImportKill, AKillMidPackageLosesNoCommittedGateAndLeavesTheDatabaseSound) {
  TempDir dir;
  std::string mainFile = dir.File("Parlomix.db3"), gatesFile = dir.File("Gates.db3");
  std::string package = dir.Write("gates.xml", Package());
  // The files exist before the child starts, and the parent holds no
  // connection across the fork.
  OpenDatabases(mainFile, gatesFile);
  CloseDatabases();

  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(fds[0]);
    ImportInChild(mainFile, gatesFile, package, fds[1]);
  }
  close(fds[1]);
  int reported = CountBytes(fds[0], kKillAfterCommits);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  reported += CountBytes(fds[0], kGates + 1);
  close(fds[0]);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the import ended before it was killed";
  ASSERT_GE(reported, kKillAfterCommits);

  OpenDatabases(mainFile, gatesFile);
  TSQLiteDatabase& db = *Database;
  EXPECT_EQ(db.GetStringValue("PRAGMA gates.integrity_check"), "ok");
  EXPECT_EQ(db.GetStringValue("PRAGMA main.integrity_check"), "ok");
  // The gates present are the first ones of the package, each complete.
  std::vector<std::string> present;
  for (auto t = db.GetUniTable("SELECT Name, (SELECT count(*) FROM GatePrefix WHERE GateName=Name), "
                               "(SELECT count(*) FROM GateParam WHERE GateName=Name) FROM Gate ORDER BY Name");
       !t->Eof(); t->Next()) {
    present.push_back(t->FieldAsString(0));
    EXPECT_EQ(t->FieldAsInteger(1), kPrefixes) << present.back();
    EXPECT_EQ(t->FieldAsInteger(2), kParams) << present.back();
  }
  // A commit may finish just before the kill without having been reported.
  EXPECT_GE(static_cast<int>(present.size()), reported);
  EXPECT_LE(static_cast<int>(present.size()), reported + 1);
  EXPECT_LT(static_cast<int>(present.size()), kGates);
  for (size_t i = 0; i < present.size(); ++i) EXPECT_EQ(present[i], GateName(static_cast<int>(i)));
  EXPECT_EQ(db.GetIntValue("SELECT count(*) FROM GatePrefix WHERE GateName NOT IN (SELECT Name FROM Gate)"), 0);
  EXPECT_EQ(db.GetStringValue("SELECT ParamValue FROM gates.Config WHERE ParamName='gatesversion'"), "0");

  EXPECT_TRUE(ImportGatePackage(package, false));
  EXPECT_EQ(db.GetIntValue("SELECT count(*) FROM Gate"), kGates);
  EXPECT_EQ(db.GetIntValue("SELECT count(*) FROM GatePrefix"), kGates * kPrefixes);
  EXPECT_EQ(db.GetStringValue("SELECT ParamValue FROM gates.Config WHERE ParamName='gatesversion'"), "77");
  EXPECT_EQ(db.GetStringValue("PRAGMA gates.integrity_check"), "ok");
  CloseDatabases();
}
