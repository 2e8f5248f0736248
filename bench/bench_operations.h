// The benchmark's operations, the same sequence for every engine: the timed
// steps, how many of each, and the random choices they make (drawn from the
// run's seed, so both engines get the same keys in the same order).
#pragma once

#include <vector>

#include "bench/bench_data.h"
#include "bench/bench_engine.h"
#include "bench/bench_runner.h"

namespace vendrik::bench {

// The plain set: bulk appends (one transaction; a commit every 1000),
// lookups, scans, description reads, filtered counts, updates and deletes.
std::vector<TOpResult> RunPlainSet(IBenchEngine& engine, const TBenchData& data, std::uint64_t seed);
// The smaller set with secure flushing: appends with a commit every 1000,
// updates and deletes.
std::vector<TOpResult> RunSecureSet(IBenchEngine& engine, const TBenchData& data, std::uint64_t seed);

}  // namespace vendrik::bench
