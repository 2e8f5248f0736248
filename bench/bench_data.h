// The benchmark's data: a table shaped like the classification table (a
// 10-digit code, a name of up to 40 characters in Hungarian-like words, a
// description of 100 to 3000 characters, about one in ten empty), generated
// from a fixed seed so that both engines get exactly the same rows, and the
// random choices of the operations (lookup keys, prefixes, rows to read,
// update and delete), drawn from their own fixed seeds.
//
// Invariants: codes are unique and all ten characters are digits (so every
// collation orders them alike); every name begins with a six-letter ASCII
// word followed by a space (so a prefix lookup by that word selects the same
// rows under any collation); texts hold only characters of Windows-1250.
// Descriptions are views into one shared text pool, so the rows take little
// memory even at a million records.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vendrik::bench {

// A small, fast, seedable generator (splitmix64).
class TBenchRandom {
 public:
  explicit TBenchRandom(std::uint64_t seed) : FState(seed) {}
  std::uint64_t Next();
  // Uniform in [0, bound).
  std::uint64_t Below(std::uint64_t bound) { return Next() % bound; }

 private:
  std::uint64_t FState;
};

// One row as the program holds it: UTF-16 texts.
struct TBenchRow {
  std::u16string Code;
  std::u16string Name;
  std::u16string_view Description;
};

// Length of the first word of every name; prefix lookups use it whole.
inline constexpr std::size_t kNamePrefixLength = 6;
inline constexpr std::size_t kCodeLength = 10;
inline constexpr std::size_t kNameLength = 40;

class TBenchData {
 public:
  // Rows 1..records from `seed`.
  TBenchData(std::int32_t records, std::uint64_t seed);

  std::int32_t Records() const { return static_cast<std::int32_t>(FRows.size()); }
  // Row 1..Records().
  const TBenchRow& Row(std::int32_t rowNo) const { return FRows[static_cast<std::size_t>(rowNo - 1)]; }
  // A new name for an update (same shape as the generated ones).
  std::u16string NewName(TBenchRandom& random) const;
  // The code text of a number below 10^10 (ten digits, leading zeros).
  static std::u16string CodeText(std::uint64_t value);
  // A random 10-digit key for nearest-code lookups.
  static std::u16string RandomCodeKey(TBenchRandom& random);
  // Total description characters (for the printed configuration).
  std::uint64_t DescriptionChars() const;

 private:
  std::u16string FPool;
  std::vector<TBenchRow> FRows;
};

// FNV-1a over UTF-16 code units, and an order-dependent combination.
std::uint64_t HashText(std::u16string_view text, std::uint64_t hash = 14695981039346656037ull);
inline std::uint64_t Combine(std::uint64_t sum, std::uint64_t value) { return sum * 1099511628211ull ^ value; }

}  // namespace vendrik::bench
