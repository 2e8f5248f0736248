// The programs set (kestrel-bench --programs N): what sharing one table
// costs when several programs change it at once. For 1, 2 and N programs in
// turn (N at least 2), a fresh table of `records` rows is made, then each
// program (a forked process logged in to the table's lock file) appends
// `operations` rows of its own, one change at a time, all programs at
// once; then each updates the names of `operations` rows drawn from the
// first ones, again all at once. The figures are wall-clock changes per
// second of all programs together and the mean time of one change.
// Afterwards the table must hold every appended row.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

namespace vendrik::bench {

// Answers 0 when every run succeeded and no row was lost, else 1.
int RunProgramsSet(int programs, std::int32_t records, std::int32_t operations, const std::string& directory,
                   std::int64_t cacheBytes, std::uint64_t seed, std::ostream& out);

}  // namespace vendrik::bench
