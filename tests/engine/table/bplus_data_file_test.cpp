// The B+ tree table file: records against a std::map model (ids handed out
// from the header, replaced with new ids, deleted, stepped in both
// directions, the file reopened), the edge cases of record numbers, the
// header layout, replacements that fail and must not lose the record, and
// files that are not or no longer B+ tree table files.
#include "engine/table/bplus_data_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>

#include "engine/base/engine_error.h"
#include "engine/index/index_columns.h"
#include "engine/index/key_value_codec.h"

namespace kestrel {
namespace {

constexpr uint16_t kRecordSize = 300;

// Page storage that can be told to fail writes (a full disk, say).
class TFailingStorage final : public ITdbIndexPageIo {
 public:
  uint32_t PageSize() const override { return FPages.PageSize(); }
  void SetPageSize(uint32_t pageSize) override { FPages.SetPageSize(pageSize); }
  uint64_t PageCount() const override { return FPages.PageCount(); }
  void ReadPage(uint64_t pageNo, uint8_t* page) override { FPages.ReadPage(pageNo, page); }
  void WritePage(uint64_t pageNo, const uint8_t* page) override {
    if (FFailWrite && FFailWrite(page)) throw ETdbEngine(tdbErrWriteFile, "test");
    FPages.WritePage(pageNo, page);
  }
  void SetPageCount(uint64_t pageCount) override { FPages.SetPageCount(pageCount); }
  void Flush() override {}

  TTdbMemoryPageIo FPages{kBPlusTableUnit};
  std::function<bool(const uint8_t* page)> FFailWrite;
};

std::vector<uint8_t> Record(int32_t recordId, uint8_t fill, uint16_t size = kRecordSize) {
  std::vector<uint8_t> record(size, fill);
  WriteLeI32(record.data(), recordId);
  return record;
}

TTdbBPlusNewFile NewFileOf(uint16_t recordSize = kRecordSize) {
  TTdbBPlusNewFile file;
  file.FRecordSize = recordSize;
  file.FFirstColumnType = tctRecordId;
  file.FEncryptionCode = 0;
  file.FNextRecordId = 1;
  // Index names and description as the table header writes them: longer
  // than the file's first page.
  file.FHeaderArea.resize(4600);
  for (size_t i = 0; i < file.FHeaderArea.size(); ++i) file.FHeaderArea[i] = static_cast<uint8_t>(i * 7);
  return file;
}

std::vector<uint8_t> Read(TTdbBPlusDataFile& file, int32_t recordNo) {
  std::vector<uint8_t> record(kRecordSize);
  if (file.ReadRecord(recordNo, record.data()) != 0) return {};
  return record;
}

void ExpectAgrees(TTdbBPlusDataFile& file, const std::map<int32_t, std::vector<uint8_t>>& model,
                  const std::string& when) {
  ASSERT_EQ(file.RecordCount(), static_cast<int32_t>(model.size())) << when;
  std::vector<int32_t> forward;
  for (int32_t r = file.GetFirstRecordNo(); r != kBPlusNoRecord; r = file.GetNextRecordNo(r)) forward.push_back(r);
  std::vector<int32_t> backward;
  for (int32_t r = file.GetLastRecordNo(); r != kBPlusNoRecord; r = file.GetPrevRecordNo(r)) backward.push_back(r);
  std::reverse(backward.begin(), backward.end());
  std::vector<int32_t> expected;
  for (const auto& [id, record] : model) expected.push_back(id);
  ASSERT_EQ(forward, expected) << when;
  ASSERT_EQ(backward, expected) << when;
  for (const auto& [id, record] : model) ASSERT_EQ(Read(file, id), record) << when << ", record " << id;
  int64_t count = 0;
  int64_t wrong = 0;
  file.Check(count, wrong);
  ASSERT_EQ(count, static_cast<int64_t>(model.size())) << when;
  ASSERT_EQ(wrong, 0) << when;
}

TEST(BPlusDataFile, RandomChangesAgreeWithTheModel) {
  TTdbMemoryPageIo storage(kBPlusTableUnit);
  TTdbBPlusDataFile file(storage, "PROBA.tdbt");
  file.NewFile(NewFileOf());
  std::map<int32_t, std::vector<uint8_t>> model;
  std::mt19937 random(1234);
  auto pick = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  auto someId = [&] {
    return model.empty() || pick(0, 4) == 0 ? pick(-50, 3000)
                                            : std::next(model.begin(), pick(0, int(model.size()) - 1))->first;
  };
  for (int batch = 0; batch < 30; ++batch) {
    const int appendShare = batch < 15 ? 70 : (batch < 22 ? 20 : 45);
    for (int op = 0; op < 100; ++op) {
      const int kind = pick(0, 99);
      if (kind < appendShare) {
        const int32_t id = file.ObtainNewRecordId();
        const std::vector<uint8_t> record = Record(id, static_cast<uint8_t>(pick(0, 255)));
        ASSERT_EQ(file.InsertRecord(record.data()), id);
        model[id] = record;
      } else if (kind < appendShare + 15) {
        // Replace, sometimes under a new id.
        const int32_t id = someId();
        const int32_t newId = pick(0, 3) == 0 ? pick(-100, -1) : id;  // apart from the ids handed out
        const std::vector<uint8_t> record = Record(newId, static_cast<uint8_t>(pick(0, 255)));
        const bool present = model.count(id) == 1;
        const bool clash = newId != id && model.count(newId) == 1;
        if (present && clash) {
          try {
            file.WriteRecord(id, record.data());
            ADD_FAILURE() << "replaced " << id << " by the id of another record";
          } catch (const ETdbEngine& error) {
            EXPECT_EQ(error.Number(), tdbErrNotUnique);
          }
          continue;
        }
        EXPECT_EQ(file.WriteRecord(id, record.data()), present ? 0 : kBPlusNoRecord);
        if (present) {
          model.erase(id);
          model[newId] = record;
        }
      } else {
        const int32_t id = someId();
        EXPECT_EQ(file.DeleteRecord(id), model.erase(id) == 1 ? 0 : kBPlusNoRecord);
      }
    }
    ExpectAgrees(file, model, "batch " + std::to_string(batch));
    if (HasFatalFailure()) return;
  }

  // Reopened from the file, with the same records and header area.
  file.Close();
  const uint32_t headerAreaSize = file.HeaderAreaSize();
  EXPECT_EQ(headerAreaSize, 8192u);
  TTdbBPlusDataFile reopened(storage, "PROBA.tdbt");
  reopened.Open(kRecordSize, headerAreaSize);
  ExpectAgrees(reopened, model, "reopened");
  EXPECT_EQ(reopened.ReadHeaderBytes(kBPlusTableHeaderAreaOffset, 4600), NewFileOf().FHeaderArea);
  EXPECT_EQ(reopened.StorageSize(), static_cast<int64_t>(storage.Bytes().size()));
}

TEST(BPlusDataFile, RecordNumberEdgeCases) {
  TTdbMemoryPageIo storage(kBPlusTableUnit);
  TTdbBPlusDataFile file(storage, "PROBA.tdbt");
  file.NewFile(NewFileOf());
  EXPECT_EQ(file.GetFirstRecordNo(), kBPlusNoRecord);
  EXPECT_EQ(file.GetLastRecordNo(), kBPlusNoRecord);
  EXPECT_EQ(file.GetNextRecordNo(1), kBPlusNoRecord);
  EXPECT_TRUE(Read(file, 1).empty());
  EXPECT_EQ(file.DeleteRecord(1), kBPlusNoRecord);
  EXPECT_EQ(file.WriteRecord(1, Record(1, 0).data()), kBPlusNoRecord);

  // Ids order as signed numbers.
  for (int32_t id : {5, -7, 0, 2147483647, -2147483647 - 1}) ASSERT_EQ(file.InsertRecord(Record(id, 1).data()), id);
  EXPECT_EQ(file.GetFirstRecordNo(), -2147483647 - 1);
  EXPECT_EQ(file.GetNextRecordNo(-7), 0);
  EXPECT_EQ(file.GetPrevRecordNo(0), -7);
  EXPECT_EQ(file.GetLastRecordNo(), 2147483647);
  EXPECT_EQ(file.GetNextRecordNo(2147483647), kBPlusNoRecord);
  EXPECT_EQ(file.GetPrevRecordNo(-2147483647 - 1), kBPlusNoRecord);
  // A number that is not in the file (a record just deleted) has the
  // neighbours of where it would stand.
  EXPECT_EQ(file.GetNextRecordNo(3), 5);
  EXPECT_EQ(file.GetPrevRecordNo(3), 0);
  EXPECT_EQ(file.GetPrevRecordNo(2147483646), 5);
  EXPECT_EQ(file.GetNextRecordNo(2147483646), 2147483647);
  EXPECT_TRUE(file.HasRecord(-7));
  EXPECT_FALSE(file.HasRecord(3));

  // An id already in the file is refused and changes nothing.
  const std::vector<uint8_t> before = storage.Bytes();
  try {
    file.InsertRecord(Record(5, 9).data());
    ADD_FAILURE() << "a second record 5";
  } catch (const ETdbEngine& error) {
    EXPECT_EQ(error.Number(), tdbErrNotUnique);
  }
  EXPECT_EQ(storage.Bytes(), before);
  EXPECT_EQ(file.RecordCount(), 5);

  // Record ids from the header.
  EXPECT_EQ(file.ObtainNewRecordId(), 1);
  EXPECT_EQ(file.ObtainNewRecordId(), 2);
  file.RevokeRecordId(1);
  EXPECT_EQ(file.ReadNextRecordId(), 3) << "only the last id handed out comes back";
  file.RevokeRecordId(2);
  EXPECT_EQ(file.ReadNextRecordId(), 2);

  file.Clear();
  EXPECT_EQ(file.RecordCount(), 0);
  EXPECT_EQ(file.GetFirstRecordNo(), kBPlusNoRecord);
  EXPECT_EQ(file.ReadNextRecordId(), 2) << "clearing keeps the header";
}

TEST(BPlusDataFile, InvalidateSeesAnotherWritersRecords) {
  TTdbMemoryPageIo storage(kBPlusTableUnit);
  TTdbBPlusDataFile file(storage, "PROBA.tdbt");
  file.NewFile(NewFileOf());
  file.InsertRecord(Record(file.ObtainNewRecordId(), 1).data());
  file.Flush();
  TTdbBPlusDataFile other(storage, "PROBA.tdbt");
  other.Open(kRecordSize, file.HeaderAreaSize());
  for (int i = 0; i < 100; ++i) other.InsertRecord(Record(other.ObtainNewRecordId(), 2).data());
  other.Close();
  file.Invalidate();
  EXPECT_EQ(file.RecordCount(), 101);
  EXPECT_EQ(file.ReadNextRecordId(), 102);
  EXPECT_EQ(file.GetLastRecordNo(), 101);
  EXPECT_EQ(Read(file, 77), Record(77, 2));
}

TEST(BPlusDataFile, HeaderLayout) {
  TTdbMemoryPageIo storage(kBPlusTableUnit);
  TTdbBPlusDataFile file(storage, "PROBA.tdbt");
  TTdbBPlusNewFile fields = NewFileOf();
  fields.FLevel = 6;
  fields.FEncryptionCode = 3;
  fields.FNextRecordId = 41;
  file.NewFile(fields);
  for (int32_t id = 1; id <= 40; ++id) file.InsertRecord(Record(id, 0xA5).data());
  file.Flush();
  const uint8_t* bytes = storage.Bytes().data();
  EXPECT_EQ(ReadLeU32(bytes), kBPlusTableMagic);
  EXPECT_EQ(ReadLeU16(bytes + 4), 6);
  EXPECT_EQ(ReadLeI32(bytes + 6), 41);
  EXPECT_EQ(bytes[10], 3);
  const uint8_t* tree = bytes + kBPlusTableTreeOffset;
  EXPECT_EQ(ReadLeU32(tree + kBPlusHdrPageSize), kBPlusTableUnit);
  EXPECT_EQ(ReadLeU32(tree + kBPlusHdrItemCount), 40u);
  const uint32_t treePages = ReadLeU32(tree + kBPlusHdrPageCount);
  // Header area of 8192 bytes, then the tree pages from page 1 on.
  EXPECT_EQ(storage.Bytes().size(), (treePages + 2ull) * kBPlusTableUnit);
  EXPECT_EQ(std::vector<uint8_t>(bytes + kBPlusTableHeaderAreaOffset, bytes + kBPlusTableHeaderAreaOffset + 4600),
            fields.FHeaderArea);
  // The first leaf holds record 1 at its item offset.
  const uint32_t root = ReadLeU32(tree + kBPlusHdrRoot);
  const uint8_t* rootPage = bytes + 8192 + root * kBPlusTableUnit;
  const uint32_t firstLeaf = ReadLeU16(tree + kBPlusHdrHeight) == 1 ? root : ReadLeU32(rootPage);
  EXPECT_EQ(ReadLeI32(bytes + 8192 + firstLeaf * kBPlusTableUnit + kBPlusLeafItemOffset), 1);

  // The table header's bytes may be changed in place, across the first page.
  file.WriteHeaderBytes(4000, std::vector<uint8_t>(200, 0x5A));
  EXPECT_EQ(file.ReadHeaderBytes(3990, 220)[10], 0x5A);
  file.Close();
  EXPECT_EQ(storage.Bytes()[4100], 0x5A);
  EXPECT_EQ(storage.Bytes()[4000], 0x5A);
  TTdbBPlusDataFile reopened(storage, "PROBA.tdbt");
  reopened.Open(kRecordSize, 8192);
  EXPECT_EQ(reopened.EncryptionCode(), 3);
  EXPECT_EQ(reopened.Level(), 6);
  EXPECT_EQ(reopened.RecordCount(), 40);
  try {
    reopened.WriteHeaderBytes(20, {1});
    ADD_FAILURE() << "the fixed fields were writable";
  } catch (const ETdbEngine& error) {
    EXPECT_EQ(error.Number(), tdbErrInvalidParameter);
  }
}

TEST(BPlusDataFile, FailedReplacementKeepsTheOldRecord) {
  TFailingStorage storage;
  TTdbBPlusDataFile file(storage, "PROBA.tdbt");
  file.NewFile(NewFileOf());
  std::map<int32_t, std::vector<uint8_t>> model;
  for (int32_t id = 1; id <= 60; ++id) {
    model[id] = Record(id, static_cast<uint8_t>(id));
    file.InsertRecord(model[id].data());
  }
  // The new version cannot be written (every page holding its bytes fails).
  const uint8_t marker = 0xEE;
  const std::vector<uint8_t> newVersion = Record(30, marker);
  storage.FFailWrite = [&](const uint8_t* page) {
    return std::search(page, page + kBPlusTableUnit, newVersion.begin() + 4, newVersion.begin() + 40) !=
           page + kBPlusTableUnit;
  };
  try {
    file.WriteRecord(30, newVersion.data());
    ADD_FAILURE() << "the write did not fail";
  } catch (const ETdbEngine& error) {
    EXPECT_EQ(error.Number(), tdbErrWriteFile);
  }
  storage.FFailWrite = nullptr;
  ExpectAgrees(file, model, "after a failed write");

  // The new version takes the id of another record.
  try {
    file.WriteRecord(30, Record(31, 1).data());
    ADD_FAILURE() << "record 31 was overwritten";
  } catch (const ETdbEngine& error) {
    EXPECT_EQ(error.Number(), tdbErrNotUnique);
  }
  ExpectAgrees(file, model, "after a clash");
}

TEST(BPlusDataFile, RefusedFiles) {
  struct NewCase {
    const char* FLabel;
    std::function<void(TTdbBPlusNewFile&)> FChange;
    int FError;
  } newCases[] = {
      {"first column not a record id", [](TTdbBPlusNewFile& f) { f.FFirstColumnType = tctLongInt; },
       tdbErrLevelFeature},
      {"record too large for any page", [](TTdbBPlusNewFile& f) { f.FRecordSize = 30000; }, tdbErrIndexInsert},
      {"level 7", [](TTdbBPlusNewFile& f) { f.FLevel = 7; }, tdbErrUnknownVersion},
  };
  for (const NewCase& c : newCases) {
    TTdbMemoryPageIo storage(kBPlusTableUnit);
    TTdbBPlusDataFile file(storage, "PROBA.tdbt");
    TTdbBPlusNewFile fields = NewFileOf();
    c.FChange(fields);
    try {
      file.NewFile(fields);
      ADD_FAILURE() << c.FLabel;
    } catch (const ETdbEngine& error) {
      EXPECT_EQ(error.Number(), c.FError) << c.FLabel;
      EXPECT_FALSE(file.IsOpen()) << c.FLabel;
    }
  }

  // A record of 2000 bytes gets pages of 8192 bytes; the file still works.
  {
    TTdbMemoryPageIo storage(kBPlusTableUnit);
    TTdbBPlusDataFile file(storage, "PROBA.tdbt");
    file.NewFile(NewFileOf(2000));
    for (int32_t id = 1; id <= 30; ++id) file.InsertRecord(Record(id, 1, 2000).data());
    file.Close();
    file.Open(2000, file.HeaderAreaSize());
    EXPECT_EQ(file.RecordCount(), 30);
    EXPECT_EQ(file.GetLastRecordNo(), 30);
  }

  TTdbMemoryPageIo good(kBPlusTableUnit);
  {
    TTdbBPlusDataFile file(good, "PROBA.tdbt");
    file.NewFile(NewFileOf());
    for (int32_t id = 1; id <= 200; ++id) file.InsertRecord(Record(id, 2).data());
    file.Close();
  }
  const uint32_t root = ReadLeU32(good.Bytes().data() + kBPlusTableTreeOffset + kBPlusHdrRoot);
  struct OpenCase {
    const char* FLabel;
    std::function<void(uint8_t*)> FDamage;
    uint32_t FHeaderAreaSize;
    int FOpenError;  // 0: opens, reading fails with 2
  } openCases[] = {
      {"magic number", [](uint8_t* f) { WriteLeU32(f, 12345); }, 8192, tdbErrUnknownVersion},
      {"level 7", [](uint8_t* f) { WriteLeU16(f + 4, 7); }, 8192, tdbErrUnknownVersion},
      {"header area not aligned", [](uint8_t*) {}, 6000, tdbErrUnknownVersion},
      {"header area beyond the file", [](uint8_t*) {}, 8192 * 50, tdbErrUnknownVersion},
      {"tree page count", [](uint8_t* f) { WriteLeU32(f + kBPlusTableTreeOffset + kBPlusHdrPageCount, 9999); }, 8192,
       tdbErrUnknownVersion},
      {"tree height", [](uint8_t* f) { WriteLeU16(f + kBPlusTableTreeOffset + kBPlusHdrHeight, 900); }, 8192,
       tdbErrUnknownVersion},
      {"root page", [&](uint8_t* f) { WriteLeU16(f + 8192 + (root + 1) * kBPlusTableUnit - 2, 0xFFF0); }, 8192, 0},
  };
  for (const OpenCase& c : openCases) {
    TTdbMemoryPageIo copy = good;
    c.FDamage(copy.Bytes().data());
    TTdbBPlusDataFile file(copy, "PROBA.tdbt");
    try {
      file.Open(kRecordSize, c.FHeaderAreaSize);
      EXPECT_EQ(c.FOpenError, 0) << c.FLabel << ": opened";
    } catch (const ETdbEngine& error) {
      EXPECT_EQ(error.Number(), c.FOpenError) << c.FLabel;
      EXPECT_FALSE(file.IsOpen()) << c.FLabel;
      continue;
    }
    try {
      file.GetFirstRecordNo();
      ADD_FAILURE() << c.FLabel << ": read";
    } catch (const ETdbEngine& error) {
      EXPECT_EQ(error.Number(), tdbErrReadFile) << c.FLabel;
    }
  }
  TTdbMemoryPageIo empty(kBPlusTableUnit);
  TTdbBPlusDataFile file(empty, "PROBA.tdbt");
  EXPECT_THROW(file.Open(kRecordSize, 8192), ETdbEngine);
}

}  // namespace
}  // namespace kestrel
