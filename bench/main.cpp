// kestrel-bench: our engine against SQLite on the same generated data.
//
//   kestrel-bench [--records N] [--large] [--runs R] [--cache-mb M] [--seed S] [--lock-file] [--json]
//   kestrel-bench --access [--records N] [--cache-mb M] [--seed S]
//   kestrel-bench --programs N [--records N] [--operations K] [--cache-mb M] [--seed S]
//
// Without --records it runs 10,000 and 100,000 records (and 1,000,000 with
// --large). Each size runs the plain set of operations and the smaller set
// with secure flushing, each engine in its own child process, alternating
// which engine goes first, R times (at least 3); the table shows medians.
// With --access it runs the access set instead (access_set.h), at 100,000
// and 1,000,000 records unless --records names one size. Data files live in
// a fresh directory under $TMPDIR (or /tmp), removed at
// the end. With --programs it runs the programs set instead (programs_set.h):
// 10,000 records and 2,000 changes per program unless told otherwise.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

#include "bench/access_set.h"
#include "bench/bench_report.h"
#include "bench/bench_runner.h"
#include "bench/programs_set.h"
#include "bench/sqlite_engine.h"

using namespace vendrik::bench;

namespace {

constexpr int kMinRuns = 3;
constexpr std::int64_t kDefaultCacheMB = 16;
constexpr std::uint64_t kDefaultSeed = 20030101;
constexpr std::int64_t kBytesPerMB = 1024 * 1024;

struct TOptions {
  std::vector<std::int32_t> Sizes{10000, 100000};
  bool Json = false;
  bool Access = false;
  int Runs = kMinRuns;
  std::int64_t CacheBytes = kDefaultCacheMB * kBytesPerMB;
  std::uint64_t Seed = kDefaultSeed;
  bool LockFile = false;
  int Programs = 0;  // the programs set with this many programs; 0: not
  std::int32_t Operations = 2000;
};

[[noreturn]] void Usage(const std::string& problem) {
  std::cerr << "kestrel-bench: " << problem << "\n"
            << "usage: kestrel-bench [--records N] [--large] [--runs R] [--cache-mb M] [--seed S] [--lock-file] [--json]\n"
            << "       kestrel-bench --access [--records N] [--cache-mb M] [--seed S]\n"
            << "       kestrel-bench --programs N [--records N] [--operations K] [--cache-mb M] [--seed S]\n";
  std::exit(2);
}

long long Number(int& i, int argc, char** argv) {
  if (i + 1 >= argc) Usage(std::string(argv[i]) + " needs a value");
  char* end = nullptr;
  const long long value = std::strtoll(argv[++i], &end, 10);
  if (*end != '\0' || value <= 0) Usage(std::string("bad value for ") + argv[i - 1]);
  return value;
}

TOptions ParseOptions(int argc, char** argv) {
  TOptions options;
  bool large = false, sized = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--json") {
      options.Json = true;
    } else if (arg == "--lock-file") {
      options.LockFile = true;
    } else if (arg == "--programs") {
      const long long programs = Number(i, argc, argv);
      if (programs < 2 || programs > 64) Usage("--programs needs 2 to 64");
      options.Programs = static_cast<int>(programs);
    } else if (arg == "--operations") {
      const long long operations = Number(i, argc, argv);
      if (operations > 10000000) Usage("at most 10000000 operations");
      options.Operations = static_cast<std::int32_t>(operations);
    } else if (arg == "--access") {
      options.Access = true;
    } else if (arg == "--large") {
      large = true;
    } else if (arg == "--records") {
      const long long records = Number(i, argc, argv);
      if (records > 100000000) Usage("at most 100000000 records");
      options.Sizes = {static_cast<std::int32_t>(records)};
      sized = true;
    } else if (arg == "--runs") {
      options.Runs = static_cast<int>(std::max<long long>(kMinRuns, Number(i, argc, argv)));
    } else if (arg == "--cache-mb") {
      options.CacheBytes = Number(i, argc, argv) * kBytesPerMB;
    } else if (arg == "--seed") {
      options.Seed = static_cast<std::uint64_t>(Number(i, argc, argv));
    } else {
      Usage("unknown argument " + arg);
    }
  }
  if (large && !sized) options.Sizes.push_back(1000000);
  if (options.Access && !sized) options.Sizes = {100000, 1000000};
  if (options.Programs > 0 && !sized) options.Sizes = {10000};
  return options;
}

void PrintConfiguration(std::ostream& out, const TOptions& options, const std::string& directory) {
  out << "kestrel-bench: our engine against SQLite " << TSqliteBenchEngine::Version() << "\n"
      << "  build type: " << KESTREL_BENCH_BUILD_TYPE
#ifdef __OPTIMIZE__
      << " (optimised)\n"
#else
      << "\n  WARNING: built without optimisation; the figures say little\n"
#endif
      << "  cores: " << std::thread::hardware_concurrency() << "\n"
      << "  page cache: " << options.CacheBytes << " bytes for each engine (SQLite cache_size = -"
      << options.CacheBytes / 1024 << ")\n"
      << "  plain set: no forced disk sync (ours without secure flushing; SQLite synchronous=OFF)\n"
      << "  plain set promises nothing after a crash (neither side syncs)\n"
      << "  secure set: ours with secure flushing; SQLite synchronous=FULL; both promise that a committed\n"
      << "    change survives an operating system crash\n"
      << "  [vs SQLite WAL]: the secure set's figures of ours against SQLite journal_mode=WAL, synchronous=FULL\n"
      << "  [flat]: our engine through libkestrel.so's flat call interface (session, cursor, record images),\n"
      << "    against the same SQLite runs; its appends hold a write lock instead of a transaction\n"
      << "  SQLite: journal_mode=DELETE (rollback journal), locking_mode=NORMAL\n"
      << "  ours: table level 5, opened shared (append, edit, delete, index rights)"
      << (options.LockFile ? ", logged in to its lock file\n" : ", without a lock file\n")
      << "  runs: " << options.Runs << " per engine, alternating which goes first; medians shown\n"
      << "  seed: " << options.Seed << "; data files in " << directory << " (removed afterwards)\n"
      << "  memory: peak resident growth of the child process that ran one engine's set\n\n";
}

}  // namespace

int main(int argc, char** argv) {
  const TOptions options = ParseOptions(argc, argv);
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kestrel-bench-XXXXXX";
  if (!mkdtemp(pattern.data())) {
    std::cerr << "kestrel-bench: cannot make a temporary directory: " << std::strerror(errno) << "\n";
    return 1;
  }
  const std::string directory = pattern;
  if (options.Programs > 0) {
    const int result = RunProgramsSet(options.Programs, options.Sizes.front(), options.Operations, directory,
                                      options.CacheBytes, options.Seed, std::cout);
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
    return result;
  }
  if (options.Access) {
    const int result = RunAccessSet(options.Sizes, directory, options.CacheBytes, options.Seed, std::cout);
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
    return result;
  }
  std::ostream& info = options.Json ? std::cerr : std::cout;
  PrintConfiguration(info, options, directory);

  TSummary summary;
  int failures = 0;
  for (std::int32_t records : options.Sizes) {
    info << "generating " << records << " records..." << std::endl;
    const TBenchData data(records, options.Seed);
    for (bool secure : {false, true}) {
      // Each run: the direct engine, SQLite and the flat interface (and in
      // the secure set SQLite with its write-ahead log), each run taking its
      // turn to go first.
      std::vector<std::pair<TRunResult, TRunResult>> runs, flatRuns, walRuns;
      for (int run = 0; run < options.Runs; ++run) {
        info << "  " << records << " records" << (secure ? " [secure]" : "") << ", run " << run + 1 << std::endl;
        TRunPlan plan{ekOurs, secure, "", options.CacheBytes, options.Seed, options.LockFile};
        const std::string prefix = directory + "/" + std::to_string(records) + "-" + std::to_string(run);
        constexpr TEngineKind kKinds[] = {ekOurs, ekSqlite, ekFlat, ekSqliteWal};
        constexpr const char* kNames[] = {"ours", "SQLite", "ours, flat interface", "SQLite WAL"};
        const int kinds = secure ? 4 : 3;
        TRunResult results[4];
        results[3].Ok = true;
        for (int turn = 0; turn < kinds; ++turn) {
          const int kind = (run + turn) % kinds;
          plan.Engine = kKinds[kind];
          plan.Directory = prefix + "-" + std::to_string(kind);
          results[kind] = RunInChild(plan, data);
        }
        for (int kind = 0; kind < kinds; ++kind)
          if (!results[kind].Ok) {
            std::cerr << "kestrel-bench: " << kNames[kind] << ": " << results[kind].Error << "\n";
            ++failures;
          }
        if (results[0].Ok && results[1].Ok) runs.emplace_back(results[0], results[1]);
        if (results[2].Ok && results[1].Ok) flatRuns.emplace_back(results[2], results[1]);
        if (secure && results[0].Ok && results[3].Ok) walRuns.emplace_back(results[0], results[3]);
      }
      if (!runs.empty()) Summarise(records, secure, runs, summary);
      if (!flatRuns.empty()) Summarise(records, secure, flatRuns, summary, "flat");
      if (!walRuns.empty()) Summarise(records, secure, walRuns, summary, "vs SQLite WAL");
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(directory, ignored);

  if (options.Json)
    PrintJson(std::cout, summary);
  else
    PrintTable(std::cout, summary);
  bool equal = true;
  for (const TSummaryRow& row : summary.Rows) equal = equal && row.ChecksumEqual;
  return failures == 0 && equal ? 0 : 1;
}
