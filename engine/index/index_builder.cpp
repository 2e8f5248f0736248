// Bulk index build: batches of items sorted in memory, then inserted.
#include "engine/index/index_builder.h"

#include <algorithm>

#include "engine/base/engine_error.h"

namespace kestrel {

void BuildIndexFromRecords(TTdbIndexFile& index, int32_t recordCount, const TTdbReadRecord& readRecord,
                           const TTdbIndexProgress& progress, uint64_t batchKeyBytes,
                           const TTdbNextRecordNo& nextRecordNo) {
  const TTdbIndexComparer& comparer = index.Comparer();
  const uint32_t itemSize = index.GetIndSize();
  std::vector<std::vector<uint8_t>> batch;
  size_t nextInBatch = 0;
  const auto following = [&](int32_t recordNo) -> int32_t {
    if (nextRecordNo) return nextRecordNo(recordNo);
    return recordNo < recordCount ? recordNo + 1 : 0;
  };
  int32_t nextRecord = following(0);
  std::vector<uint8_t> record;

  auto fillBatch = [&] {
    batch.clear();
    nextInBatch = 0;
    uint64_t keyBytes = 0;
    while (nextRecord >= 1 && (batch.empty() || keyBytes < batchKeyBytes)) {
      readRecord(nextRecord, record);
      if (record.size() < comparer.Table().FRecordSize) throw ETdbEngine(tdbErrNoText);
      std::vector<uint8_t> item;
      const uint32_t used = CalcIndexInfo(comparer, record.data(), nextRecord, item);
      item.resize(itemSize, 0);
      keyBytes += used;
      batch.push_back(std::move(item));
      nextRecord = following(nextRecord);
    }
    std::sort(batch.begin(), batch.end(), [&comparer](const std::vector<uint8_t>& x, const std::vector<uint8_t>& y) {
      return comparer.Less(x.data(), y.data());
    });
  };

  index.BulkInsert(
      recordCount,
      [&](std::vector<uint8_t>& item) {
        if (nextInBatch == batch.size()) fillBatch();
        if (nextInBatch == batch.size()) return false;
        item = std::move(batch[nextInBatch++]);
        return true;
      },
      progress);
}

}  // namespace kestrel
