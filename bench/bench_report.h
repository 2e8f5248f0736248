// Summaries of the runs and their output: the median time of each operation
// for each engine (wall clock, and processor time, which says more on a
// busy machine), the ratio ours / SQLite, whether every run of both
// engines read the same checksum, and the peak memory growth; printed as a
// table or as a JSON array.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "bench/bench_runner.h"

namespace vendrik::bench {

struct TSummaryRow {
  std::string Operation;
  std::string Unit;
  std::int32_t Records = 0;
  std::int64_t Steps = 0;
  double OursMicros = 0;
  double SqliteMicros = 0;
  double OursCpuMicros = 0;
  double SqliteCpuMicros = 0;
  bool ChecksumEqual = false;
  double Ratio() const { return SqliteMicros > 0 ? OursMicros / SqliteMicros : 0; }
};

struct TSummary {
  std::vector<TSummaryRow> Rows;
  // Per table size and set: the largest peak growth of any run, in KB.
  struct TMemory {
    std::int32_t Records = 0;
    bool Secure = false;
    std::int64_t OursKB = 0, SqliteKB = 0;
    std::int64_t FlatKB = -1;  // the flat interface's runs, -1 when none
    std::int64_t WalKB = -1;   // SQLite in WAL mode, -1 when none
  };
  std::vector<TMemory> Memory;
};

// Adds the runs of one size and set: runs[i] is a pair (ours, SQLite).
// `tag` (not empty): the runs of a variant ("flat": ours through the flat
// call interface; "vs SQLite WAL": the peer in WAL mode); its operations
// are named with the tag and the variant's memory joins the row of the same
// size and set (ours for "flat", SQLite's otherwise).
void Summarise(std::int32_t records, bool secure, const std::vector<std::pair<TRunResult, TRunResult>>& runs,
               TSummary& summary, const std::string& tag = "");

void PrintTable(std::ostream& out, const TSummary& summary);
void PrintJson(std::ostream& out, const TSummary& summary);

}  // namespace vendrik::bench
