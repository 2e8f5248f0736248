// TTdbHeapDataFile: record numbers at the edges, refused numbers, the record
// count in the header, encryption of slots, a damaged count, another
// process's change, and a vector of records beside the file under random
// operations with failing writes and crashes.
#include "engine/table/heap_data_file.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/base/engine_error.h"
#include "engine/cache/client_storage.h"
#include "engine/cache/page_manager.h"
#include "engine/crypto/cryptor.h"
#include "fault_file_system.h"
#include "temp_dir.h"
#include "test_encryption.h"

namespace kestrel {
namespace {

using Record = std::vector<std::uint8_t>;

// A header of 100 bytes with the record count at offset 10, like the older
// table levels; records of 13 bytes (not a divisor of the page size, so
// slots straddle pages).
constexpr TTdbHeapLayout kLayout{100, 13, 10};
constexpr std::int64_t kTile = 8192;

class HeapDataFileTest : public ::testing::Test {
 protected:
  void SetUp() override { FPageManager.RegisterClient(1, 256); }

  // Creates the file with an empty header (count 0) when create is set.
  std::unique_ptr<TTdbHeapDataFile> OpenFile(bool create, TdwCryptor& cryptor) {
    auto storage = std::make_unique<TTdbClientStorage>(FPageManager, FFs, 1, nullptr);
    storage->SetName("t.dat");
    storage->SetPageSize(4096);
    if (create)
      storage->NewStorage();
    else
      storage->Open(false, false);
    auto file = std::make_unique<TTdbHeapDataFile>(std::move(storage), cryptor);
    if (create) {
      const std::vector<std::uint8_t> header(kLayout.FFirstRecordOffset, 0);
      file->WriteBytes(0, header.data(), header.size(), false);
    }
    file->Attach(kLayout);
    return file;
  }

  static Record MakeRecord(int seed) {
    Record record(kLayout.FRecordSize);
    for (std::size_t i = 0; i < record.size(); ++i)
      record[i] = static_cast<std::uint8_t>(seed * 31 + i);
    return record;
  }

  static int ErrorOf(const std::function<void()>& action) {
    try {
      action();
    } catch (const ETdbEngine& e) {
      return e.Number();
    }
    return 0;
  }

  test::TTempDir FDir;
  test::TFaultFileSystem FFs{FDir.Path()};
  TTdbPageManager FPageManager;
  TdwCryptor FCryptor;
};

TEST_F(HeapDataFileTest, RecordNumbersAtTheEdges) {
  auto file = OpenFile(true, FCryptor);
  EXPECT_EQ(file->GetFirstRecordNo(), kNoRecord);
  EXPECT_EQ(file->GetLastRecordNo(), kNoRecord);
  EXPECT_FALSE(file->CanDelete());
  EXPECT_EQ(file->InsertRecord(MakeRecord(1)), 1);
  EXPECT_EQ(file->InsertRecord(MakeRecord(2)), 2);
  EXPECT_EQ(file->InsertRecord(MakeRecord(3)), 3);
  struct Case {
    std::int32_t result, expected;
  } cases[] = {
      {file->GetFirstRecordNo(), 1},         {file->GetLastRecordNo(), 3},
      {file->GetNextRecordNo(3), kNoRecord}, {file->GetNextRecordNo(2), 3},
      {file->GetPrevRecordNo(1), kNoRecord}, {file->GetPrevRecordNo(2), 1},
  };
  for (const Case& c : cases) EXPECT_EQ(c.result, c.expected);
  EXPECT_EQ(file->GetStorageSize(), 100 + 3 * 13);
}

TEST_F(HeapDataFileTest, NumbersOutsideTheRecordsAreRefused) {
  auto file = OpenFile(true, FCryptor);
  for (int i = 1; i <= 3; ++i) file->InsertRecord(MakeRecord(i));
  Record buffer(kLayout.FRecordSize);
  struct Case {
    const char* what;
    std::function<void()> action;
    int error;
  } cases[] = {
      {"read 0", [&] { file->ReadRecord(0, buffer); }, tdbErrRecordNotFound},
      {"read 4", [&] { file->ReadRecord(4, buffer); }, tdbErrRecordNotFound},
      {"write 0", [&] { file->WriteRecord(0, MakeRecord(9)); }, tdbErrWriteFile},
      {"write 4", [&] { file->WriteRecord(4, MakeRecord(9)); }, tdbErrWriteFile},
      {"delete 0", [&] { file->DeleteRecord(0); }, tdbErrRecordNotFound},
      {"delete 4", [&] { file->DeleteRecord(4); }, tdbErrRecordNotFound},
      {"short buffer", [&] { file->ReadRecord(1, std::span(buffer).first(5)); },
       tdbErrInvalidParameter},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf(c.action), c.error) << c.what;
  EXPECT_EQ(file->GetRecordCount(), 3);
  file->Flush();
  const std::string content = test::ReadWholeFile(FDir.File("t.dat"));
  EXPECT_EQ(content.size(), 8192u);  // nothing written beyond slot 3
  EXPECT_EQ(content.substr(100 + 3 * 13), std::string(8192 - 139, '\0'));
}

TEST_F(HeapDataFileTest, DeleteLowersTheCountAndLeavesTheSlot) {
  auto file = OpenFile(true, FCryptor);
  for (int i = 1; i <= 3; ++i) file->InsertRecord(MakeRecord(i));
  file->DeleteRecord(2);
  EXPECT_EQ(file->GetRecordCount(), 2);
  Record buffer(kLayout.FRecordSize);
  file->ReadRecord(2, buffer);
  EXPECT_EQ(buffer, MakeRecord(2));
  file->Clear();
  EXPECT_EQ(file->GetRecordCount(), 0);
}

TEST_F(HeapDataFileTest, CountIsStoredAndFileSizeFollowsTheSlots) {
  {
    auto file = OpenFile(true, FCryptor);
    for (int i = 1; i <= 700; ++i) file->InsertRecord(MakeRecord(i));  // 9200 bytes of slots
    file->Flush();
    EXPECT_EQ(test::ReadWholeFile(FDir.File("t.dat")).size(), 16384u);
    for (int i = 0; i < 690; ++i) file->DeleteRecord(file->GetRecordCount());
    file->Close();  // the closing flush shrinks the file
  }
  EXPECT_EQ(test::ReadWholeFile(FDir.File("t.dat")).size(), 8192u);
  auto file = OpenFile(false, FCryptor);
  EXPECT_EQ(file->GetRecordCount(), 10);
  Record buffer(kLayout.FRecordSize);
  file->ReadRecord(10, buffer);
  EXPECT_EQ(buffer, MakeRecord(10));
}

TEST_F(HeapDataFileTest, SlotsAreEncryptedAndTheCallersBufferStaysPlain) {
  TdwCryptor cryptor;
  cryptor.SetEncryption(std::make_unique<test::TAddOneEncryption>());
  auto file = OpenFile(true, cryptor);
  const Record plain = MakeRecord(5);
  Record copy = plain;
  file->InsertRecord(copy);
  EXPECT_EQ(copy, plain);
  file->Flush();
  const std::string content = test::ReadWholeFile(FDir.File("t.dat"));
  EXPECT_EQ(static_cast<std::uint8_t>(content[100]), plain[0] + 1);
  EXPECT_EQ(content[10], 1);  // the count is not encrypted
  Record back(kLayout.FRecordSize);
  file->ReadRecord(1, back);
  EXPECT_EQ(back, plain);
}

TEST_F(HeapDataFileTest, DamagedCountIsRefused) {
  OpenFile(true, FCryptor)->InsertRecord(MakeRecord(1));
  std::string content = test::ReadWholeFile(FDir.File("t.dat"));
  struct Case {
    std::uint32_t count;
  } cases[] = {{0x80000000u}, {0xFFFFFFFFu}, {1000}};  // 1000 slots do not fit 8192 bytes
  for (const Case& c : cases) {
    for (int b = 0; b < 4; ++b) content[10 + b] = static_cast<char>(c.count >> (8 * b));
    test::WriteWholeFile(FDir.File("t.dat"), content);
    EXPECT_EQ(ErrorOf([&] { OpenFile(false, FCryptor); }), tdbErrUnknownVersion) << c.count;
  }
}

TEST_F(HeapDataFileTest, InvalidateReadsAnotherProcesssChange) {
  auto file = OpenFile(true, FCryptor);
  file->InsertRecord(MakeRecord(1));
  file->Flush();
  {
    // Another process appends a record (its own page cache).
    TTdbPageManager otherProcess;
    auto storage = std::make_unique<TTdbClientStorage>(otherProcess, FFs, 1, nullptr);
    storage->SetName("t.dat");
    storage->SetPageSize(4096);
    storage->Open(false, false);
    TTdbHeapDataFile other(std::move(storage), FCryptor);
    other.Attach(kLayout);
    other.InsertRecord(MakeRecord(2));
    other.Flush();
  }
  EXPECT_EQ(file->GetRecordCount(), 1);
  file->Invalidate();
  EXPECT_EQ(file->GetRecordCount(), 2);
  Record buffer(kLayout.FRecordSize);
  file->ReadRecord(2, buffer);
  EXPECT_EQ(buffer, MakeRecord(2));
}

TEST_F(HeapDataFileTest, RandomOperationsMatchAVectorOfRecords) {
  std::mt19937 rng(4242);
  auto below = [&](std::uint32_t n) { return n == 0 ? 0 : static_cast<std::int32_t>(rng() % n); };
  auto file = OpenFile(true, FCryptor);
  file->Flush();
  file->UpdateDir();
  std::vector<Record> model, flushed, synced;
  int nextSeed = 1, failures = 0, crashes = 0;
  for (int step = 0; step < 2000; ++step) {
    const int op = below(100);
    if (op < 35) {
      const Record record = MakeRecord(nextSeed++);
      ASSERT_EQ(file->InsertRecord(record), static_cast<std::int32_t>(model.size() + 1));
      model.push_back(record);
    } else if (op < 55 && !model.empty()) {
      const std::int32_t recNo = 1 + below(static_cast<std::uint32_t>(model.size()));
      const Record record = MakeRecord(nextSeed++);
      file->WriteRecord(recNo, record);
      model[recNo - 1] = record;
    } else if (op < 70 && !model.empty()) {  // delete as the table object does: move the last
      const std::int32_t recNo = 1 + below(static_cast<std::uint32_t>(model.size()));
      if (recNo != static_cast<std::int32_t>(model.size())) {
        Record last(kLayout.FRecordSize);
        file->ReadRecord(static_cast<std::int32_t>(model.size()), last);
        file->WriteRecord(recNo, last);
        model[recNo - 1] = last;
      }
      file->DeleteRecord(recNo);
      model.pop_back();
    } else if (op < 82) {
      const bool fault = below(2) == 0;
      if (fault) FFs.FailNthWrite(1 + below(2));
      try {
        file->Flush();
      } catch (const ETdbEngine& e) {
        ASSERT_EQ(e.Number(), tdbErrWriteFile);
        ++failures;
        FFs.Disarm();
        file->Flush();
      }
      FFs.Disarm();
      flushed = model;
    } else if (op < 88) {
      file->Undo();
      model = flushed;
    } else if (op < 94) {
      file->UpdateDir();
      synced = flushed;
    } else if (op < 96) {
      FFs.Crash();
      file.reset();
      FFs.Disarm();
      file = OpenFile(false, FCryptor);
      model = flushed = synced;
      ++crashes;
    } else {
      file->Invalidate();
      model = flushed;
    }
    ASSERT_EQ(file->GetRecordCount(), static_cast<std::int32_t>(model.size())) << "step " << step;
    Record buffer(kLayout.FRecordSize);
    for (std::size_t r = 0; r < model.size(); ++r) {
      file->ReadRecord(static_cast<std::int32_t>(r + 1), buffer);
      ASSERT_EQ(buffer, model[r]) << "step " << step << " record " << r + 1;
    }
  }
  EXPECT_GT(failures, 0);
  EXPECT_GT(crashes, 0);
}

}  // namespace
}  // namespace kestrel
