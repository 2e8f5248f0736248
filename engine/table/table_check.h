// Consistency check of an open table: every record reads, its texts fit
// their columns and its memo and blob values read back; every index opens,
// its tree is in order, it holds exactly one item per record and each
// record's item is where the index order puts it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kestrel {

class TTdbBaseTable;

// The problems found (UTF-8, one line each), at most maxProblems; empty
// when everything agrees. Takes the table's read lock; changes nothing.
std::vector<std::string> CheckTable(TTdbBaseTable& table, std::size_t maxProblems = 20);

}  // namespace kestrel
