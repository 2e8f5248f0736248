// The benchmark's operation sequence (see bench_operations.h).
#include "bench/bench_operations.h"

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <numeric>

namespace vendrik::bench {

namespace {

constexpr std::int64_t kLookups = 10000;
constexpr std::int64_t kPrefixLookups = 1000;
constexpr std::int64_t kDescriptionReads = 10000;
constexpr std::int64_t kRangeCounts = 20;
// A bounded count covers a tenth of the code space.
constexpr std::uint64_t kRangeWidth = 1000000000ull;
constexpr std::int64_t kChangesAtMost = 1000;
constexpr std::int64_t kChangesOneIn = 10;
constexpr std::int32_t kCommitEvery = 1000;
constexpr std::int32_t kSecureRecordsAtMost = 5000;
constexpr std::int64_t kSecureChanges = 200;
// Seeds of the random choices, added to the run's seed.
enum : std::uint64_t { kSeedLookups = 2, kSeedPrefixes, kSeedDescriptions, kSeedRanges, kSeedUpdates, kSeedDeletes };

struct TUnindexedFilter {
  std::u16string_view Part;
  char16_t Digit;
};
constexpr std::array<TUnindexedFilter, 3> kUnindexedFilters = {{{u"ar", u'7'}, {u"es", u'3'}, {u"ko", u'5'}}};

// Processor time of this process (user and system) in microseconds.
double CpuMicros() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto micros = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_usec); };
  return micros(usage.ru_utime) + micros(usage.ru_stime);
}

template <class Body>
TOpResult Timed(const char* operation, const char* unit, std::int64_t steps, Body body) {
  const double cpuStart = CpuMicros();
  const auto start = std::chrono::steady_clock::now();
  const std::uint64_t checksum = body();
  const std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - start;
  const double cpu = CpuMicros() - cpuStart;
  const double per = steps > 0 ? 1.0 / static_cast<double>(steps) : 0;
  return {operation, unit, steps, elapsed.count() * per, cpu * per, checksum};
}

void AppendAll(IBenchEngine& engine, const TBenchData& data, std::int32_t records, std::int32_t commitEvery) {
  for (std::int32_t row = 1; row <= records; ++row) {
    if ((row - 1) % commitEvery == 0) engine.BeginTransaction();
    engine.Append(data.Row(row));
    if (row % commitEvery == 0 || row == records) engine.Commit();
  }
}

// Random distinct row numbers: an affine permutation of 0..records-1.
std::vector<std::int32_t> DistinctRows(std::int32_t records, std::int64_t count, std::uint64_t seed) {
  TBenchRandom random(seed);
  std::uint64_t step = 7919 + random.Below(1000);
  while (std::gcd(step, static_cast<std::uint64_t>(records)) != 1) ++step;
  const std::uint64_t offset = random.Below(static_cast<std::uint64_t>(records));
  std::vector<std::int32_t> rows;
  for (std::int64_t k = 0; k < count; ++k)
    rows.push_back(static_cast<std::int32_t>((static_cast<std::uint64_t>(k) * step + offset) % records) + 1);
  return rows;
}

TOpResult Appends(IBenchEngine& engine, const TBenchData& data, const char* operation, const std::string& table,
                  std::int32_t records, std::int32_t commitEvery, bool keepOpen) {
  engine.Create(table);
  TOpResult result = Timed(operation, "record", records, [&] {
    AppendAll(engine, data, records, commitEvery);
    return std::uint64_t{0};
  });
  result.Checksum = engine.ScanPhysical();
  if (!keepOpen) engine.Close();
  return result;
}

// Updates and deletes of random rows among the first `records`; each
// checksum includes a scan in code order afterwards, so the tables must
// agree row for row.
void Changes(IBenchEngine& engine, const TBenchData& data, std::int32_t records, std::int64_t count,
             std::uint64_t seed, const char* updateName, const char* deleteName, std::vector<TOpResult>& results) {
  TBenchRandom random(seed + kSeedUpdates);
  std::vector<std::pair<std::u16string, std::u16string>> updates;
  for (std::int64_t k = 0; k < count; ++k) {
    const std::u16string& code = data.Row(1 + static_cast<std::int32_t>(random.Below(records))).Code;
    updates.emplace_back(code, data.NewName(random));
  }
  results.push_back(Timed(updateName, "update", count, [&] {
    std::uint64_t changed = 0;
    for (const auto& [code, name] : updates) changed += engine.UpdateName(code, name);
    return changed;
  }));
  results.back().Checksum = Combine(results.back().Checksum, engine.ScanByCode());
  const std::vector<std::int32_t> rows = DistinctRows(records, count, seed + kSeedDeletes);
  results.push_back(Timed(deleteName, "delete", count, [&] {
    std::uint64_t deleted = 0;
    for (std::int32_t row : rows) deleted += engine.DeleteByCode(data.Row(row).Code);
    return deleted;
  }));
  results.back().Checksum = Combine(results.back().Checksum, engine.ScanByCode());
}

}  // namespace

std::vector<TOpResult> RunPlainSet(IBenchEngine& engine, const TBenchData& data, std::uint64_t seed) {
  const std::int32_t records = data.Records();
  std::vector<TOpResult> results;
  results.push_back(Appends(engine, data, "append, commit every 1000", "batched", records, kCommitEvery, false));
  results.push_back(Appends(engine, data, "append, one transaction", "vnd03", records, records, true));

  TBenchRandom lookups(seed + kSeedLookups);
  std::vector<std::u16string> keys;
  for (std::int64_t k = 0; k < kLookups; ++k) keys.push_back(TBenchData::RandomCodeKey(lookups));
  results.push_back(Timed("nearest code lookup", "lookup", kLookups, [&] {
    std::uint64_t sum = 0;
    for (const std::u16string& key : keys) sum = Combine(sum, engine.FindNearestCode(key));
    return sum;
  }));

  TBenchRandom prefixes(seed + kSeedPrefixes);
  std::vector<std::u16string> names;
  for (std::int64_t k = 0; k < kPrefixLookups; ++k)
    names.push_back(data.Row(1 + static_cast<std::int32_t>(prefixes.Below(records))).Name.substr(0, kNamePrefixLength));
  results.push_back(Timed("name prefix lookup", "lookup", kPrefixLookups, [&] {
    std::uint64_t sum = 0;
    for (const std::u16string& prefix : names) sum = Combine(sum, engine.FindNamePrefix(prefix));
    return sum;
  }));

  results.push_back(Timed("scan in code order", "record", records, [&] { return engine.ScanByCode(); }));
  results.push_back(Timed("scan in physical order", "record", records, [&] { return engine.ScanPhysical(); }));

  TBenchRandom descriptions(seed + kSeedDescriptions);
  std::vector<std::int32_t> rows;
  for (std::int64_t k = 0; k < kDescriptionReads; ++k)
    rows.push_back(1 + static_cast<std::int32_t>(descriptions.Below(records)));
  results.push_back(Timed("read description", "read", kDescriptionReads, [&] {
    std::uint64_t sum = 0;
    for (std::int32_t row : rows) sum = Combine(sum, engine.ReadDescription(row));
    return sum;
  }));

  TBenchRandom ranges(seed + kSeedRanges);
  std::vector<std::pair<std::u16string, std::u16string>> bounds;
  for (std::int64_t k = 0; k < kRangeCounts; ++k) {
    const std::uint64_t low = ranges.Below(10 * kRangeWidth - kRangeWidth);
    bounds.emplace_back(TBenchData::CodeText(low), TBenchData::CodeText(low + kRangeWidth));
  }
  results.push_back(Timed("count, index-bounded filter", "count", kRangeCounts, [&] {
    std::uint64_t sum = 0;
    for (const auto& [low, high] : bounds) sum = Combine(sum, engine.CountCodeRange(low, high));
    return sum;
  }));
  results.push_back(Timed("count, full-scan filter", "count", kUnindexedFilters.size(), [&] {
    std::uint64_t sum = 0;
    for (const TUnindexedFilter& filter : kUnindexedFilters)
      sum = Combine(sum, engine.CountUnindexed(std::u16string(filter.Part), filter.Digit));
    return sum;
  }));

  const std::int64_t changes = std::max<std::int64_t>(1, std::min(kChangesAtMost, records / kChangesOneIn));
  Changes(engine, data, records, changes, seed, "update name", "delete by code", results);
  engine.Close();
  return results;
}

std::vector<TOpResult> RunSecureSet(IBenchEngine& engine, const TBenchData& data, std::uint64_t seed) {
  const std::int32_t records = std::min(data.Records(), kSecureRecordsAtMost);
  std::vector<TOpResult> results;
  results.push_back(
      Appends(engine, data, "append, commit every 1000 [secure]", "secure", records, kCommitEvery, true));
  const std::int64_t changes = std::max<std::int64_t>(1, std::min(kSecureChanges, records / kChangesOneIn));
  Changes(engine, data, records, changes, seed, "update name [secure]", "delete by code [secure]", results);
  engine.Close();
  return results;
}

}  // namespace vendrik::bench
