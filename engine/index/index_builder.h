// Building an index from all records of a table (the table object's rebuild
// and create-index paths). Records are read in record-number order in
// batches; each batch of items is sorted with the index order and then
// inserted, so a table whose keys fit into one batch is inserted in index
// order and a larger one in several sorted runs.
//
// The caller holds the table's read lock (write lock for a repair) and has
// created or emptied the index file.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "engine/index/index_file.h"

namespace kestrel {

// Key bytes (without record numbers) collected before a batch is sorted.
inline constexpr uint64_t kIndexBuildBatchKeyBytes = 41943040;

// Reads record `recordNo` (1-based) into `record` (the record image). Throws
// the record's engine error.
using TTdbReadRecord = std::function<void(int32_t recordNo, std::vector<uint8_t>& record)>;

// The record number after `recordNo` (the first one for 0), or a number
// below 1 when there is none.
using TTdbNextRecordNo = std::function<int32_t(int32_t recordNo)>;

// Inserts the items of the `recordCount` records into `index`, reporting
// progress as TTdbIndexFile::BulkInsert does. The records are 1..recordCount
// unless `nextRecordNo` walks them (a table whose record numbers have gaps).
// Throws the record's engine error, ETdbEngine 9999 when an item cannot be
// built, 52 for any other failure. `batchKeyBytes` is for tests.
void BuildIndexFromRecords(TTdbIndexFile& index, int32_t recordCount, const TTdbReadRecord& readRecord,
                           const TTdbIndexProgress& progress, uint64_t batchKeyBytes = kIndexBuildBatchKeyBytes,
                           const TTdbNextRecordNo& nextRecordNo = {});

}  // namespace kestrel
