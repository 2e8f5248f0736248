// Stand-ins for the table object and the cursor behind the flat call
// interface, and a fixture that installs them and removes every session a
// test leaves behind. The fakes count their calls and can be told to fail.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/api/factories.h"
#include "engine/api/kestrel.h"
#include "engine/base/engine_error.h"
#include "engine/session/catalog_table.h"
#include "engine/session/cursor_api.h"
#include "temp_dir.h"

namespace kestrel::test {

// What happened to the fake tables, kept beyond their lifetime.
struct TFakeTableLog {
  std::vector<TTdbTableOpenRequest> FOpens;  // every open request, in order
  int FCloses = 0;
  // Engine error numbers thrown by the next opens, one per open (0: open).
  std::vector<int> FOpenFailures;
  int FSetupFailure = 0;
  bool FTemporary = false;
  bool FEditLocks = false;
  // Lock calls, "+r NAME" / "-w NAME" with the table file's name, in order.
  std::vector<std::string> FLocks;
  // Table file names whose BeginLock is refused (104).
  std::vector<std::string> FRefusedLocks;
};

class TFakeTable : public ITdbCatalogTable {
 public:
  TFakeTable(std::shared_ptr<TFakeTableLog> log, TTdbTableOpenRequest request)
      : FLog(std::move(log)), FRequest(std::move(request)) {}

  void Open(bool) override {
    FLog->FOpens.push_back(FRequest);
    if (!FLog->FOpenFailures.empty()) {
      const int failure = FLog->FOpenFailures.front();
      FLog->FOpenFailures.erase(FLog->FOpenFailures.begin());
      if (failure != 0) throw ETdbEngine(failure, FRequest.FFileName);
    }
  }
  void Setup(bool) override {
    if (FLog->FSetupFailure != 0) throw ETdbEngine(FLog->FSetupFailure, "x");
  }
  void Close() override { ++FLog->FCloses; }
  bool IsSameTableName(const std::u16string& name) const override {
    const std::string file = FRequest.FFileName;
    const size_t slash = file.rfind('/');
    const std::string base = file.substr(slash + 1, file.rfind('.') - slash - 1);
    return name == std::u16string(base.begin(), base.end());
  }
  bool IsTemporary() const override { return FLog->FTemporary; }
  TTdbRelationInfo GetTableInfo() const override {
    TTdbRelationInfo info;
    info.FFileName = std::u16string(FRequest.FFileName.begin(), FRequest.FFileName.end());
    info.FLevel = 6;
    info.FCollationName = u"Kestrel";
    info.FEncryptionMethod = 1;
    info.FCapacity = 1000;
    return info;
  }
  std::vector<std::u16string> GetIndexNames() const override { return {u"KOD", u"INDMN"}; }
  std::u16string GetIndexDescription(const std::u16string& name) const override {
    if (name == u"KOD") return u"KOD";
    if (name == u"INDMN") return u"MEGNEV;KOD";
    throw ETdbEngine(tdbErrIndexNotFound, "x");
  }
  std::u16string GetRealIndexName(const std::u16string& name) const override {
    if (name == u"KOD" || name == u"kod") return u"KOD";
    throw ETdbEngine(tdbErrIndexNotFound, "x");
  }
  void ActivateEditLocks(bool value) override { FLog->FEditLocks = value; }
  void BeginLock(bool write) override {
    const std::string name = std::filesystem::path(FRequest.FFileName).filename().string();
    for (const std::string& refused : FLog->FRefusedLocks)
      if (refused == name) throw ETdbEngine(tdbErrTableLocked);
    FLog->FLocks.push_back(std::string(write ? "+w " : "+r ") + name);
  }
  void EndLock(bool write) noexcept override {
    FLog->FLocks.push_back(std::string(write ? "-w " : "-r ") + std::filesystem::path(FRequest.FFileName).filename().string());
  }

 private:
  std::shared_ptr<TFakeTableLog> FLog;
  TTdbTableOpenRequest FRequest;
};

// A cursor whose every operation counts itself and then runs FAction.
class TFakeCursor : public ITdbCursorApi {
 public:
  static constexpr std::int32_t kRecordSize = 8;
  static constexpr std::uint8_t kRecordByte = 0xAB;

  int FCalls = 0;
  std::function<std::int32_t()> FAction = [] { return 0; };
  TTdbColumnSpec FColumn;
  TTdbRecordMovedProc FMoved;
  std::vector<std::uint8_t> FLastRecord;

  std::int32_t Do() {
    ++FCalls;
    return FAction();
  }

  std::int32_t GetRecordSize() override { return kRecordSize; }
  std::int32_t GetNumFields() override { return Do(); }
  TTdbColumnSpec GetFieldSpec(std::int32_t) override {
    Do();
    return FColumn;
  }
  std::int32_t GetDataType(std::int32_t) override { return Do(); }
  std::int32_t GetRltnVersion() override { return Do(); }
  bool CanModify() override { return Do() != 0; }
  bool IsSequenced() override { return Do() != 0; }
  std::int32_t SetIndex(const std::u16string&, bool) override { return Do(); }
  std::int32_t First() override { return Do(); }
  std::int32_t Last() override { return Do(); }
  std::int32_t MoveBy(std::int32_t) override { return Do(); }
  std::int32_t SetRecNo(std::int32_t) override { return Do(); }
  std::int32_t GetRecNo() override { return Do(); }
  std::int32_t GetSequenceNo() override { return Do(); }
  std::int32_t SetSequenceNo(std::int32_t) override { return Do(); }
  std::int32_t RecordCount() override { return Do(); }
  std::int32_t GetRecord(std::span<std::uint8_t> buffer) override {
    std::memset(buffer.data(), kRecordByte, buffer.size());
    return Do();
  }
  std::int32_t SetRecord(std::span<const std::uint8_t> buffer) override {
    FLastRecord.assign(buffer.begin(), buffer.end());
    return Do();
  }
  std::int32_t Append() override { return Do(); }
  std::int32_t AppendConfirm() override { return Do(); }
  std::int32_t AppendCancel() override { return Do(); }
  std::int32_t Edit() override { return Do(); }
  std::int32_t EditConfirm() override { return Do(); }
  std::int32_t EditCancel() override { return Do(); }
  std::int32_t DeleteRecord() override { return Do(); }
  std::int32_t GetAutoNo() override { return Do(); }
  std::int32_t SetAutoNo(std::int32_t) override { return Do(); }
  std::int32_t Refresh(bool) override { return Do(); }
  std::int32_t LocateRec2(const std::u16string&, std::span<const std::uint8_t> record, std::int32_t,
                          bool& exactMatch) override {
    FLastRecord.assign(record.begin(), record.end());
    exactMatch = !exactMatch;
    return Do();
  }
  std::int32_t SetSQLFilter(const std::u16string&, std::int32_t, bool) override { return Do(); }
  std::int32_t ActivateFilter(bool) override { return Do(); }
  std::int32_t InitGetBlob(std::int32_t, std::int32_t, std::int32_t& blobType) override {
    blobType = 7;
    return Do();
  }
  std::int32_t PerformGetBlob(std::span<std::uint8_t>) override { return Do(); }
  std::int32_t SetBlob(std::int32_t, std::span<const std::uint8_t>) override { return Do(); }
  void SetChangeCallback(TTdbRecordMovedProc proc) override {
    ++FCalls;
    FMoved = std::move(proc);
  }
  std::int32_t Lock(std::int32_t, std::int32_t) override { return Do(); }
  std::int32_t Unlock(std::int32_t) override { return Do(); }
  std::int32_t GetUsage(TTdbLockUsage&) override { return Do(); }
};

// Installs the fakes, opens a database in a temporary directory with one
// table file "Vnd03.dat", and deletes every session at the end.
class TApiFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    FTableLog = std::make_shared<TFakeTableLog>();
    FPreviousTables =
        SetTableFactory([log = FTableLog](TTdbServices&, const TTdbTableOpenRequest& request) {
          return std::make_unique<TFakeTable>(log, request);
        });
    FPreviousCursors =
        SetCursorFactory([this](TTdbLocalSession&, int, std::int16_t, const std::u16string&) {
          auto cursor = std::make_unique<TFakeCursor>();
          FCursors.push_back(cursor.get());
          return cursor;
        });
    WriteWholeFile(FDir.File("Vnd03.dat"), "table");
  }

  void TearDown() override {
    for (int hdl = 1; hdl <= 100; ++hdl) TdbSessDelete(static_cast<std::int16_t>(hdl));
    SetTableFactory(FPreviousTables);
    SetCursorFactory(FPreviousCursors);
  }

  static std::u16string U16(const std::string& text) {
    return std::u16string(text.begin(), text.end());
  }

  // A session with the temporary directory open as its database.
  std::int16_t OpenSession() {
    const std::int32_t session = TdbCreateSession(u"");
    EXPECT_GT(session, 0);
    const std::u16string location = U16(FDir.Path());
    EXPECT_EQ(
        TdbSessOpenDb(static_cast<std::int16_t>(session), location.c_str(), u"", u"", 1024, 0), 0);
    return static_cast<std::int16_t>(session);
  }

  // The last error of a session: (engine error number, message).
  static std::pair<int, std::u16string> LastError(std::int16_t session) {
    std::int32_t code = -1;
    TdbChar message[256] = {};
    EXPECT_EQ(TdbSessGetLastError(session, &code, message, 255), 0);
    return {code, message};
  }

  TTempDir FDir;
  std::shared_ptr<TFakeTableLog> FTableLog;
  std::vector<TFakeCursor*> FCursors;  // owned by the cursor slots

 private:
  TTdbTableFactory FPreviousTables;
  TTdbCursorFactory FPreviousCursors;
};

}  // namespace kestrel::test
