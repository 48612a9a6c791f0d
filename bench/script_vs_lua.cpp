// The script interpreter beside Lua 5.4 on the same three jobs: an integer
// loop of 1,000,000 additions, a string built from 100,000 pieces, and
// recursive Fibonacci of 24 through a script function. Lua runs as the
// `lua5.4` program and times itself; the summary prints both times and
// their ratio.
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <limits>
#include <map>
#include <string>

#include "units.h"

namespace {

struct Job {
  const char* name;
  const char* script;
  const char* lua;
  const char* expected;
};

constexpr Job kJobs[] = {
    {"IntegerLoop",
     "var i, s: integer; begin s := 0; for i := 1 to 1000000 do s := s + 1; Result := s; end;",
     "local s = 0 for i = 1, 1000000 do s = s + 1 end return s", "1000000"},
    {"StringBuild",
     "var i: integer; s: string; begin s := ''; for i := 1 to 100000 do s := s + 'x'; Result := s; end;",
     "local s = '' for i = 1, 100000 do s = s .. 'x' end return s", nullptr},
    {"Fibonacci24",
     "unit Bench; function Fib(n: integer): integer; begin if n < 2 then Result := n else "
     "Result := Fib(n - 1) + Fib(n - 2); end; function main: integer; begin Result := Fib(24); end; end.",
     "local function fib(n) if n < 2 then return n end return fib(n - 1) + fib(n - 2) end return fib(24)",
     "46368"},
};

std::map<std::string, double>& Best() {
  static std::map<std::string, double> best;
  return best;
}

void Keep(const std::string& key, double seconds) {
  auto [it, added] = Best().emplace(key, seconds);
  if (!added && seconds < it->second) it->second = seconds;
}

void RunScript(benchmark::State& state, const Job& job) {
  TInterpreterProgram program;
  program.SetSource(job.script);
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    program.Run();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    Keep(std::string(job.name) + "/script", seconds);
  }
  std::string result = VarToStr(program.ResultValue);
  if (job.expected ? result != job.expected : result.size() != 100000) state.SkipWithError("wrong result");
}

// Runs the Lua job once in `lua5.4`; its own clock times the job alone.
double RunLua(const Job& job) {
  std::string code = std::string("local t = os.clock() local r = (function() ") + job.lua +
                     " end)() io.write(os.clock() - t)";
  std::string command = "lua5.4 -e \"" + code + "\" 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  std::array<char, 128> buffer{};
  size_t n = fread(buffer.data(), 1, buffer.size() - 1, pipe);
  int status = pclose(pipe);
  if (status != 0 || n == 0) return -1;
  return std::stod(std::string(buffer.data(), n));
}

void RunLuaBench(benchmark::State& state, const Job& job) {
  for (auto _ : state) {
    double seconds = RunLua(job);
    if (seconds < 0) {
      state.SkipWithError("lua5.4 did not run");
      return;
    }
    state.SetIterationTime(seconds);
    Keep(std::string(job.name) + "/lua", seconds);
  }
}

}  // namespace

int main(int argc, char** argv) {
  for (const Job& job : kJobs) {
    benchmark::RegisterBenchmark((std::string("BM_Script_") + job.name).c_str(),
                                 [&job](benchmark::State& s) { RunScript(s, job); })
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->MinTime(1.0);
    benchmark::RegisterBenchmark((std::string("BM_Lua_") + job.name).c_str(),
                                 [&job](benchmark::State& s) { RunLuaBench(s, job); })
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::cout << "\nScript interpreter against Lua 5.4 (best times):\n";
  for (const Job& job : kJobs) {
    auto script = Best().find(std::string(job.name) + "/script");
    auto lua = Best().find(std::string(job.name) + "/lua");
    if (script == Best().end() || lua == Best().end()) continue;
    std::printf("  %-12s script %9.3f ms   lua %8.3f ms   ratio %6.1f\n", job.name, script->second * 1000,
                lua->second * 1000, script->second / lua->second);
  }
  return 0;
}
