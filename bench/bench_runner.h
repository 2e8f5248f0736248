// The benchmark's runs: one engine, one table size and one set of operations
// (plain or with secure flushing) run in a forked child process, so that its
// peak memory is its own and a crash of one engine cannot take the report
// with it. The child sends its figures back through a pipe.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench_data.h"
#include "bench/bench_engine.h"

namespace vendrik::bench {

// ekFlat: our engine through the flat call interface (flat_engine.h);
// ekSqliteWal: SQLite in write-ahead-log journal mode.
enum TEngineKind { ekOurs, ekSqlite, ekFlat, ekSqliteWal };

// One timed operation of one run.
struct TOpResult {
  std::string Operation;
  std::string Unit;         // what one timed step is ("record", "lookup", ...)
  std::int64_t Steps = 0;   // how many were timed
  double Micros = 0;        // microseconds per step (wall clock)
  double CpuMicros = 0;     // processor time (user + system) per step
  std::uint64_t Checksum = 0;
};

struct TRunResult {
  bool Ok = false;
  std::string Error;
  std::vector<TOpResult> Ops;
  // Peak resident memory of the child above its resident memory at the
  // start (the generated rows are shared with the parent and not counted).
  std::int64_t PeakGrowthKB = 0;
};

struct TRunPlan {
  TEngineKind Engine = ekOurs;
  bool Secure = false;  // the smaller set with secure flushing
  std::string Directory;  // made by the child, removed when it ends
  std::int64_t CacheBytes = 0;
  std::uint64_t Seed = 0;
  bool LockFile = false;  // ours logs in to the table's lock file
};

// Runs the plan in a child process over `data` and collects its figures.
TRunResult RunInChild(const TRunPlan& plan, const TBenchData& data);

}  // namespace vendrik::bench
