// crash_writer TABLE SEED [KILL-AT]: a program that writes a table through
// the engine library without end, for scripts/crash-campaign, which kills it
// at a random moment and then checks the table. With KILL-AT the program
// kills itself (SIGKILL) just before its KILL-AT-th change to a file (a
// write, a new size, a creation, deletion or renaming), counted from after
// the open, so that a sweep of KILL-AT stops a change at each of its writes.
//
// The table has the columns KOD String(10) NOT NULL (unique index KOD),
// N LongInt and M Memo, after the record id column "_XXX" in a B+ tree
// table file (whose record numbers are record ids, with gaps). Each step is one of: an append, an edit or a delete
// outside a transaction, or a transaction of appends that is committed or
// rolled back. Before a step the program prints "begin " and what the step
// does, after it "done"; every line is flushed, so the campaign knows which
// changes were reported done (they must be in the table) and which one was
// under way (it must be wholly in the table or wholly absent). A memo holds
// its record's KOD repeated, so a memo that went to the wrong record shows.
//   A KOD N LEN        append
//   E KOD N LEN        the record with key KOD gets N and a memo of LEN
//   D KOD              the record with key KOD is deleted
//   T C|R KOD N LEN ...  a transaction of appends, committed (C) or rolled back (R)
#include <csignal>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "engine/base/engine_error.h"
#include "engine/cache/page_manager.h"
#include "engine/fs/os_file_system.h"
#include "engine/table/base_table.h"

namespace {

using namespace kestrel;

constexpr int kCacheKB = 4096;

// The operating system's file system, which kills the program before its
// nth change to a file once armed.
class TKillingFileSystem final : public TdwOSFileSystem {
 public:
  void Arm(long n) { FLeft = n; }
  TdwFileHandle CreateFile(const std::string& filePath) override {
    Count();
    return TdwOSFileSystem::CreateFile(filePath);
  }
  std::int64_t FileWrite(TdwFileHandle handle, std::int64_t pos, const void* data, std::int64_t count) override {
    Count();
    return TdwOSFileSystem::FileWrite(handle, pos, data, count);
  }
  bool SetFileSize(TdwFileHandle handle, std::int64_t size) override {
    Count();
    return TdwOSFileSystem::SetFileSize(handle, size);
  }
  bool DeleteFile(const std::string& fileName) override {
    Count();
    return TdwOSFileSystem::DeleteFile(fileName);
  }
  bool RenameFile(const std::string& oldName, const std::string& newName) override {
    Count();
    return TdwOSFileSystem::RenameFile(oldName, newName);
  }
  bool ReplaceFile(const std::string& newFile, const std::string& target) override {
    Count();
    return TdwOSFileSystem::ReplaceFile(newFile, target);
  }

 private:
  void Count() {
    if (FLeft > 0 && --FLeft == 0) std::raise(SIGKILL);
  }
  long FLeft = 0;
};

std::string MemoOf(const std::string& kod, int length) {
  std::string memo;
  while (static_cast<int>(memo.size()) < length) memo += kod + ".";
  memo.resize(static_cast<std::size_t>(length));
  return memo;
}

struct TWriter {
  TTdbBaseTable& Table;
  std::mt19937 Random;
  int NextKod = 0;

  // Columns before KOD: the record id of a B+ tree table file.
  std::size_t Shift() const { return Table.Columns()[0].DataType.ColumnType() == tctRecordId ? 1 : 0; }
  // The record number of the index-th record (0-based) in record number order.
  std::int32_t RecNoAt(std::int32_t index) const {
    std::int32_t recNo = Table.GetFirstRecordNo();
    while (index-- > 0 && recNo > 0) recNo = Table.GetNextRecordNo(recNo);
    return recNo;
  }
  std::vector<std::uint8_t> Image(const std::string& kod, int n, std::int32_t recordId = 0) {
    std::vector<std::uint8_t> record(static_cast<std::size_t>(Table.RecordSize()));
    Table.InitRecord(record, false);
    const TTdbColumnDefs& columns = Table.Columns();
    const std::size_t shift = Shift();
    if (shift > 0)
      WriteValue(columns[0].DataType, columns.ColumnBytes(std::span<std::uint8_t>(record), 0), std::int64_t{recordId});
    WriteValue(columns[shift].DataType, columns.ColumnBytes(std::span<std::uint8_t>(record), shift), Utf8ToUtf16(kod));
    WriteValue(columns[shift + 1].DataType, columns.ColumnBytes(std::span<std::uint8_t>(record), shift + 1),
               std::int64_t{n});
    return record;
  }
  std::string KodOf(std::int32_t recNo) {
    std::vector<std::uint8_t> record(static_cast<std::size_t>(Table.RecordSize()));
    Table.ReadRecord(recNo, record);
    const TTdbColumnDefs& columns = Table.Columns();
    const std::size_t shift = Shift();
    return Utf16ToUtf8(std::get<std::u16string>(
        ReadValue(columns[shift].DataType, columns.ColumnBytes(std::span<const std::uint8_t>(record), shift))));
  }
  TTdbBlobDataList Memo(const std::string& kod, int length) const {
    return {TTdbBlobData{3 + static_cast<int>(Shift()), MemoOf(kod, length), {}}};
  }
  int Pick(int below) { return static_cast<int>(Random() % static_cast<unsigned>(below)); }
  std::string NewKod() { return "K" + std::to_string(NextKod++); }

  void Append(std::string& line, std::vector<std::pair<std::string, std::pair<int, int>>>& rows) {
    const std::string kod = NewKod();
    const int n = Pick(100000), length = Pick(4) == 0 ? 0 : Pick(3000);
    line += " " + kod + " " + std::to_string(n) + " " + std::to_string(length);
    rows.push_back({kod, {n, length}});
  }

  void Step() {
    const int kind = Pick(10);
    const std::int32_t count = Table.RecordCount();
    std::vector<std::pair<std::string, std::pair<int, int>>> rows;
    if (kind < 4 || count < 5) {
      std::string line = "begin A";
      Append(line, rows);
      Say(line);
      std::vector<std::uint8_t> record = Image(rows[0].first, rows[0].second.first);
      Table.AppendRecord(record, Memo(rows[0].first, rows[0].second.second));
    } else if (kind < 6) {
      const std::int32_t recNo = RecNoAt(Pick(count));
      const std::string kod = KodOf(recNo);
      const int n = Pick(100000), length = Pick(3000);
      Say("begin E " + kod + " " + std::to_string(n) + " " + std::to_string(length));
      std::vector<std::uint8_t> record = Image(kod, n, recNo);
      Table.ReplaceRecord(record, Memo(kod, length), recNo);
    } else if (kind < 8) {
      const std::int32_t recNo = RecNoAt(Pick(count));
      Say("begin D " + KodOf(recNo));
      Table.DeleteRecord(recNo);
    } else {
      const bool commit = Pick(3) != 0;
      std::string line = std::string("begin T ") + (commit ? "C" : "R");
      const int size = 1 + Pick(20);
      for (int i = 0; i < size; ++i) Append(line, rows);
      Say(line);
      Table.StartTransaction();
      for (const auto& [kod, values] : rows) {
        std::vector<std::uint8_t> record = Image(kod, values.first);
        Table.AppendRecord(record, Memo(kod, values.second));
      }
      if (commit)
        Table.CommitModifications();
      else
        Table.UndoModifications();
    }
    Say("done");
  }

  static void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: crash_writer TABLE SEED [KILL-AT]\n");
    return 1;
  }
  try {
    TKillingFileSystem fileSystem;
    TTdbPageManager& pageManager = TTdbPageManager::Instance();
    pageManager.RegisterClient(1, kCacheKB);
    TTdbBaseTable table(pageManager, fileSystem, 1);
    table.SetFileName(argv[1]);
    table.SetRights(kNewTableRights & ~kRightExclusive);
    table.Open();
    table.Setup();
    TWriter writer{table, std::mt19937(static_cast<unsigned>(std::stoul(argv[2]))), 0};
    // Keys go on from the largest one in the table.
    for (std::int32_t r = table.GetFirstRecordNo(); r > 0; r = table.GetNextRecordNo(r))
      writer.NextKod = std::max(writer.NextKod, std::stoi(writer.KodOf(r).substr(1)) + 1);
    if (argc == 4) fileSystem.Arm(std::stol(argv[3]));
    for (;;) writer.Step();
  } catch (const ETdbEngine& e) {
    std::fprintf(stderr, "crash_writer: %s\n", e.Message().c_str());
    return 1;
  }
}
