// lock_actor: one program that shares a table with others, driven over its
// standard input by the locking tests. Each line is a command; each answer
// is one line: "ok" and values, or "err <result> <engine error> <message>".
//
// The table (made by "create") is Cnt.dat with two LongInt columns, ID
// (unique index) and N, a counter the stress commands raise.
//
// Commands:
//   create DIR ROWS        make DIR/Cnt.dat with ROWS records ID = 1..ROWS, N = 0
//   open DIR TIMEOUT_MS    a session (locking time-out TIMEOUT_MS), the table, a cursor
//   lock r|w WAIT          TdbTableLock (WAIT 0: do not wait)
//   unlock r|w             TdbTableUnlock
//   usage                  users, read, upgrade, write and waiting counts
//   count                  records
//   edit RECNO             start editing record RECNO
//   post                   write the edited record with N + 1
//   cancel                 give the edit up
//   incr RECNO             edit, N + 1, post (waits for the edit lock)
//   append ID              a new record ID, N = 0
//   delete RECNO           delete record RECNO
//   get RECNO              ID and N of record RECNO
//   sum                    the sum of N over all records
//   close                  close the database and the session
//   pid                    this process's id
//   indexes                the table's index names, separated by ","
//   setindex NAME          order the cursor by index NAME
//   first                  ID and N of the first record in the cursor's order
//   walk SECONDS           sums N over the table again and again, never idle,
//                          until the sum changes ("ok changed") or SECONDS pass
//                          ("ok unchanged")
//   pound RECNO SECONDS    raises N of record RECNO again and again, never
//                          idle, for SECONDS; answers the last N
//   quit
//
// Commands on a table object of its own (as a program using the library
// below the flat calls does; it logs in to the lock file like the others):
//   topen DIR              open DIR/Cnt.dat
//   tindex NAME            create an index NAME on the column N
//   tbegin                 start a transaction
//   tappend ID             append a record ID, N = 0
//   tincr RECNO            N + 1 in record RECNO
//   tdelete RECNO          delete record RECNO
//   tflush                 write the changes made so far to the files
//   tcommit / trollback    end the transaction
//   tclose                 close the table object
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/api/kestrel.h"
#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "engine/cache/page_manager.h"
#include "engine/fs/os_file_system.h"
#include "engine/table/base_table.h"

using namespace kestrel;

namespace {

constexpr int kLevel = 5;

std::u16string U16(const std::string& text) { return Utf8ToUtf16(text); }

// A table object opened without the flat calls.
struct TOwnTable {
  std::unique_ptr<TdwOSFileSystem> FileSystem;
  std::unique_ptr<TTdbBaseTable> Table;
};

struct TActor {
  TOwnTable Own;
  std::int16_t Session = 0;
  std::int16_t Relation = 0;
  std::int16_t Table = 0;
  std::int32_t RecordSize = 0;
  std::vector<std::uint8_t> Record;
  TTdbDataType LongInt = TTdbDataType::Make(tctLongInt, false, kLevel);
  int Pos[2] = {0, 0};

  std::string Error(std::int32_t result) const {
    std::int32_t code = 0;
    TdbChar message[512] = {};
    if (Session > 0) TdbSessGetLastError(Session, &code, message, 511);
    std::ostringstream out;
    out << "err " << result << ' ' << (code < 0 ? -code : code) << ' ' << Utf16ToUtf8(message);
    return out.str();
  }

  std::int64_t Field(int column) const {
    const TTdbValue value =
        ReadValue(LongInt, std::span<const std::uint8_t>(Record).subspan(static_cast<std::size_t>(Pos[column]), 4));
    return std::holds_alternative<int64_t>(value) ? std::get<int64_t>(value) : 0;
  }
  void SetField(int column, std::int64_t value) {
    WriteValue(LongInt, std::span<std::uint8_t>(Record).subspan(static_cast<std::size_t>(Pos[column]), 4), value);
  }
  std::int32_t Read() { return TdbTableGetRecord(Table, Record.data(), RecordSize); }
  // The sum of N over all records, walked in physical order.
  std::int32_t Sum(std::int64_t& sum) {
    sum = 0;
    std::int32_t r = TdbTableSetIndex(Table, u"", 0);
    if (r < 0) return r;
    for (r = TdbTableFirst(Table); r >= 0; r = TdbTableMoveBy(Table, 1)) {
      if (Read() < 0) break;
      sum += Field(1);
    }
    return 0;
  }
};

std::string Create(const std::string& directory, int rows) {
  TdwOSFileSystem fileSystem(directory);
  TTdbPageManager pageManager;
  pageManager.RegisterClient(1, 4096);
  {
    TTdbBaseTable table(pageManager, fileSystem, 1);
    table.SetFileName(directory + "/Cnt.dat");
    table.SetLevel(kLevel);
    table.AddColumn(NewColumnDef(u"ID", TTdbDataType::Make(tctLongInt, false, kLevel)));
    table.AddColumn(NewColumnDef(u"N", TTdbDataType::Make(tctLongInt, false, kLevel)));
    table.NewFile();
    table.Setup();
    table.CreateIndex(u"ID", u"ID", true);
    for (int id = 1; id <= rows; ++id) {
      std::vector<std::uint8_t> record(static_cast<std::size_t>(table.RecordSize()));
      table.InitRecord(record, false);
      const TTdbColumnDefs& columns = table.Columns();
      WriteValue(columns[0].DataType, columns.ColumnBytes(std::span<std::uint8_t>(record), 0), std::int64_t{id});
      WriteValue(columns[1].DataType, columns.ColumnBytes(std::span<std::uint8_t>(record), 1), std::int64_t{0});
      table.AppendRecord(record, {});
    }
    table.Close();
  }
  pageManager.UnregisterClient(1, 4096);
  return "ok";
}

std::string RunOwn(TActor& a, const std::string& command, std::istringstream& in) {
  constexpr int kOwnClient = 7;
  constexpr int kOwnCacheKB = 1024;
  if (command == "topen") {
    std::string directory;
    in >> directory;
    TTdbPageManager::Instance().RegisterClient(kOwnClient, kOwnCacheKB);
    a.Own.FileSystem = std::make_unique<TdwOSFileSystem>(directory);
    a.Own.Table = std::make_unique<TTdbBaseTable>(TTdbPageManager::Instance(), *a.Own.FileSystem, kOwnClient);
    a.Own.Table->SetFileName(directory + "/Cnt.dat");
    a.Own.Table->SetRights(kAccessRightsMask);
    TdwClock& clock = DefaultClock();
    a.Own.Table->SetSharing(std::make_shared<TdwOSFileSystem>(directory), clock,
                            static_cast<std::int64_t>(::getpid()), u"own");
    a.Own.Table->Open();
    a.Own.Table->Setup();
    return "ok";
  }
  if (!a.Own.Table) return "err 0 0 no table object open";
  TTdbBaseTable& table = *a.Own.Table;
  const TTdbColumnDefs& columns = table.Columns();
  std::vector<std::uint8_t> record(static_cast<std::size_t>(table.RecordSize()));
  auto set = [&](std::size_t column, std::int64_t value) {
    WriteValue(columns[column].DataType, columns.ColumnBytes(std::span<std::uint8_t>(record), column), value);
  };
  if (command == "tindex") {
    std::string name;
    in >> name;
    return "ok " + std::to_string(table.CreateIndex(U16(name), u"N", false));
  }
  if (command == "tbegin") {
    table.StartTransaction();
    return "ok";
  }
  if (command == "tappend") {
    std::int64_t id = 0;
    in >> id;
    table.InitRecord(record, false);
    set(0, id);
    set(1, 0);
    return "ok " + std::to_string(table.AppendRecord(record, {}));
  }
  std::int32_t recNo = 0;
  if (command == "tincr") {
    in >> recNo;
    table.ReadRecord(recNo, record);
    const TTdbValue n = ReadValue(columns[1].DataType, columns.ColumnBytes(std::span<const std::uint8_t>(record), 1));
    set(1, (std::holds_alternative<int64_t>(n) ? std::get<int64_t>(n) : 0) + 1);
    table.ReplaceRecord(record, {}, recNo);
    return "ok";
  }
  if (command == "tdelete") {
    in >> recNo;
    table.DeleteRecord(recNo);
    return "ok";
  }
  if (command == "tflush") {
    table.Flush();
    return "ok";
  }
  if (command == "tcommit") {
    table.CommitModifications();
    return "ok";
  }
  if (command == "trollback") {
    table.UndoModifications();
    return "ok";
  }
  if (command == "tclose") {
    table.Close();
    a.Own.Table.reset();
    TTdbPageManager::Instance().UnregisterClient(kOwnClient, kOwnCacheKB);
    return "ok";
  }
  return "err 0 0 unknown command " + command;
}

std::string Run(TActor& a, const std::string& line) {
  std::istringstream in(line);
  std::string command;
  in >> command;
  std::int32_t r = 0;
  auto fail = [&](std::int32_t result) { return a.Error(result); };
  if (command == "create") {
    std::string directory;
    int rows = 0;
    in >> directory >> rows;
    return Create(directory, rows);
  }
  if (command == "open") {
    std::string directory;
    int timeout = 0;
    in >> directory >> timeout;
    if ((r = TdbCreateSession(u"")) < 0) return fail(r);
    a.Session = static_cast<std::int16_t>(r);
    if ((r = TdbSessSetSettings(a.Session, 0, 0, 1, timeout)) < 0) return fail(r);
    if ((r = TdbSessOpenDb(a.Session, U16(directory).c_str(), u"", u"", 1024, 0)) < 0) return fail(r);
    if ((r = TdbSessOpenTable(a.Session, u"Cnt", u"", 0xF8FF, 0, 0)) < 0) return fail(r);
    a.Relation = static_cast<std::int16_t>(r);
    if ((r = TdbTableCreate(a.Relation, u"actor")) < 0) return fail(r);
    a.Table = static_cast<std::int16_t>(r);
    a.RecordSize = TdbTableGetRecordSize(a.Table);
    a.Record.assign(static_cast<std::size_t>(a.RecordSize), 0);
    for (int f = 0; f < 2; ++f) {
      TTdbFieldSpec spec{};
      if ((r = TdbTableGetFieldSpec(a.Table, f + 1, &spec)) < 0) return fail(r);
      a.Pos[f] = spec.InternalPosition;
    }
    return "ok";
  }
  if (command == "lock" || command == "unlock") {
    std::string kind;
    int wait = 0;
    in >> kind >> wait;
    const int type = kind == "r" ? 1 : 2;
    r = command == "lock" ? TdbTableLock(a.Table, type, wait) : TdbTableUnlock(a.Table, type);
    return r < 0 ? fail(r) : "ok";
  }
  if (command == "usage") {
    static TTdbTableUsage usage;
    if ((r = TdbTableGetUsage(a.Table, &usage)) < 0) return fail(r);
    std::ostringstream out;
    out << "ok users=" << usage.UserCount << " read=" << usage.ReadCount << " upgrade=" << usage.UpgradeCount
        << " write=" << usage.WriteCount << " wait=" << usage.WaitCount << " slots=" << usage.ItemCount;
    return out.str();
  }
  if (command == "count") {
    if ((r = TdbTableRecordCount(a.Table)) < 0) return fail(r);
    return "ok " + std::to_string(r);
  }
  if (command == "edit" || command == "incr" || command == "delete" || command == "get") {
    int recNo = 0;
    in >> recNo;
    if ((r = TdbTableSetRecNo(a.Table, recNo)) < 0) return fail(r);
    if (command == "get") {
      if ((r = a.Read()) < 0) return fail(r);
      return "ok " + std::to_string(a.Field(0)) + ' ' + std::to_string(a.Field(1));
    }
    if (command == "delete") return (r = TdbTableDeleteRecord(a.Table)) < 0 ? fail(r) : "ok";
    if ((r = TdbTableEdit(a.Table)) < 0) return fail(r);
    if (command == "edit") return "ok";
    command = "post";
  }
  if (command == "post") {
    if ((r = a.Read()) < 0) return fail(r);
    a.SetField(1, a.Field(1) + 1);
    if ((r = TdbTableSetRecord(a.Table, a.Record.data(), a.RecordSize)) < 0) return fail(r);
    if ((r = TdbTableEditConfirm(a.Table)) < 0) return fail(r);
    return "ok";
  }
  if (command == "cancel") return (r = TdbTableEditCancel(a.Table)) < 0 ? fail(r) : "ok";
  if (command == "append") {
    std::int64_t id = 0;
    in >> id;
    if ((r = TdbTableAppend(a.Table)) < 0) return fail(r);
    std::fill(a.Record.begin(), a.Record.end(), 0);
    a.SetField(0, id);
    a.SetField(1, 0);
    if ((r = TdbTableSetRecord(a.Table, a.Record.data(), a.RecordSize)) < 0) return fail(r);
    if ((r = TdbTableAppendConfirm(a.Table)) < 0) {
      TdbTableAppendCancel(a.Table);
      return fail(r);
    }
    return "ok " + std::to_string(r);
  }
  if (command == "sum") {
    std::int64_t sum = 0;
    if ((r = a.Sum(sum)) < 0) return fail(r);
    return "ok " + std::to_string(sum);
  }
  if (command == "walk") {
    int seconds = 0;
    in >> seconds;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::int64_t first = 0, sum = 0;
    if ((r = a.Sum(first)) < 0) return fail(r);
    while (std::chrono::steady_clock::now() < end) {
      if ((r = a.Sum(sum)) < 0) return fail(r);
      if (sum != first) return "ok changed";
    }
    return "ok unchanged";
  }
  if (command == "pound") {
    int recNo = 0, seconds = 0;
    in >> recNo >> seconds;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::int64_t n = 0;
    while (std::chrono::steady_clock::now() < end) {
      if ((r = TdbTableSetRecNo(a.Table, recNo)) < 0 || (r = TdbTableEdit(a.Table)) < 0 || (r = a.Read()) < 0)
        return fail(r);
      n = a.Field(1) + 1;
      a.SetField(1, n);
      if ((r = TdbTableSetRecord(a.Table, a.Record.data(), a.RecordSize)) < 0 ||
          (r = TdbTableEditConfirm(a.Table)) < 0)
        return fail(r);
    }
    return "ok " + std::to_string(n);
  }
  if (command == "close") {
    if ((r = TdbSessCloseDb(a.Session)) < 0) return fail(r);
    TdbSessDelete(a.Session);
    a.Session = 0;
    return "ok";
  }
  if (command == "pid") return "ok " + std::to_string(::getpid());
  if (command == "indexes") {
    TdbChar names[1024] = {};
    if ((r = TdbRltnGetIndexNames(a.Relation, names, 1023)) < 0) return fail(r);
    std::string out = "ok ";
    for (const TdbChar* name = names; *name; name += std::char_traits<char16_t>::length(name) + 1)
      out += (out.size() > 3 ? "," : "") + Utf16ToUtf8(name);
    return out;
  }
  if (command == "setindex") {
    std::string name;
    in >> name;
    return (r = TdbTableSetIndex(a.Table, U16(name).c_str(), 0)) < 0 ? fail(r) : "ok";
  }
  if (command == "first") {
    if ((r = TdbTableFirst(a.Table)) < 0 || (r = a.Read()) < 0) return fail(r);
    return "ok " + std::to_string(a.Field(0)) + ' ' + std::to_string(a.Field(1));
  }
  if (!command.empty() && command[0] == 't') return RunOwn(a, command, in);
  return "err 0 0 unknown command " + command;
}

}  // namespace

int main() {
  TActor actor;
  std::string line;
  std::cout << "ready" << std::endl;
  while (std::getline(std::cin, line)) {
    if (line == "quit") break;
    std::string answer;
    try {
      answer = Run(actor, line);
    } catch (const std::exception& error) {
      answer = std::string("err 0 0 ") + error.what();
    }
    std::cout << answer << std::endl;
  }
  return 0;
}
