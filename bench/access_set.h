// The access set of kestrel-bench: the operations the windows make, done
// through the component layer (access/) on our engine, and the same done by
// SQLite through its C API on the same rows: opening the table, First and
// Last with a grid's 15 records, the nearest key followed by the 15 records
// a grid shows from there, one grid page forward and back, switching the
// index with the current record kept, and counting the records.
//
// Opening is the median of ten opens, each connecting and disconnecting;
// the other figures are means of 200 calls. SQLite's side pages by key (WHERE kod > ? ORDER BY kod LIMIT 15, no
// OFFSET) and counts with count(*). Each engine runs in a forked child so
// that its peak memory is its own.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace vendrik::bench {

// Runs the set at each size in `sizes` (tables built in `directory`) and
// prints a table of microseconds per operation, the ratio ours / SQLite and
// each child's peak resident memory. Answers 0 when every run succeeded.
int RunAccessSet(const std::vector<std::int32_t>& sizes, const std::string& directory, std::int64_t cacheBytes,
                 std::uint64_t seed, std::ostream& out);

}  // namespace vendrik::bench
