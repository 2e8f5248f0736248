// Cursor functions of the flat call interface: table handles, the hand-over
// to the cursor, buffer checks and the catch-all at the boundary.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "engine/api/handles.h"
#include "engine/api/kestrel.h"
#include "fake_engine.h"

namespace kestrel::test {
namespace {

class TCursorApi : public TApiFixture {
 protected:
  void SetUp() override {
    TApiFixture::SetUp();
    FSession = OpenSession();
    ASSERT_EQ(TdbSessOpenTable(FSession, u"Vnd03", u"", 0xF8FF, 1, 0), 1);
    FTable = static_cast<std::int16_t>(TdbTableCreate(1, u"cursor"));
    ASSERT_EQ(FTable, 1);
  }

  TFakeCursor& Cursor() { return *FCursors.front(); }

  std::int16_t FSession = 0;
  std::int16_t FTable = 0;
};

// Every cursor function, called with a table handle.
std::vector<std::pair<const char*, std::function<std::int32_t(std::int16_t)>>> CursorCalls() {
  static std::uint8_t record[64];
  static TTdbFieldSpec spec;
  static TTdbTableUsage usage;
  static std::uint8_t exact = 0;
  static std::int32_t blobType = 0;
  using F = std::function<std::int32_t(std::int16_t)>;
  return {
      {"Delete", F([](std::int16_t h) { return TdbTableDelete(h); })},
      {"GetRecordSize", F([](std::int16_t h) { return TdbTableGetRecordSize(h); })},
      {"GetNumFields", F([](std::int16_t h) { return TdbTableGetNumFields(h); })},
      {"GetFieldSpec", F([](std::int16_t h) { return TdbTableGetFieldSpec(h, 1, &spec); })},
      {"GetDataType", F([](std::int16_t h) { return TdbTableGetDataType(h, 1); })},
      {"GetRltnVersion", F([](std::int16_t h) { return TdbTableGetRltnVersion(h); })},
      {"CanModify", F([](std::int16_t h) { return TdbTableCanModify(h); })},
      {"IsSequenced", F([](std::int16_t h) { return TdbTableIsSequenced(h); })},
      {"SetIndex", F([](std::int16_t h) { return TdbTableSetIndex(h, u"KOD", 0); })},
      {"First", F([](std::int16_t h) { return TdbTableFirst(h); })},
      {"Last", F([](std::int16_t h) { return TdbTableLast(h); })},
      {"MoveBy", F([](std::int16_t h) { return TdbTableMoveBy(h, 1); })},
      {"SetRecNo", F([](std::int16_t h) { return TdbTableSetRecNo(h, 1); })},
      {"GetRecNo", F([](std::int16_t h) { return TdbTableGetRecNo(h); })},
      {"GetSequenceNo", F([](std::int16_t h) { return TdbTableGetSequenceNo(h); })},
      {"SetSequenceNo", F([](std::int16_t h) { return TdbTableSetSequenceNo(h, 1); })},
      {"RecordCount", F([](std::int16_t h) { return TdbTableRecordCount(h); })},
      {"GetRecord", F([](std::int16_t h) { return TdbTableGetRecord(h, record, 64); })},
      {"SetRecord", F([](std::int16_t h) { return TdbTableSetRecord(h, record, 64); })},
      {"Append", F([](std::int16_t h) { return TdbTableAppend(h); })},
      {"AppendConfirm", F([](std::int16_t h) { return TdbTableAppendConfirm(h); })},
      {"AppendCancel", F([](std::int16_t h) { return TdbTableAppendCancel(h); })},
      {"Edit", F([](std::int16_t h) { return TdbTableEdit(h); })},
      {"EditConfirm", F([](std::int16_t h) { return TdbTableEditConfirm(h); })},
      {"EditCancel", F([](std::int16_t h) { return TdbTableEditCancel(h); })},
      {"DeleteRecord", F([](std::int16_t h) { return TdbTableDeleteRecord(h); })},
      {"GetAutoNo", F([](std::int16_t h) { return TdbTableGetAutoNo(h); })},
      {"SetAutoNo", F([](std::int16_t h) { return TdbTableSetAutoNo(h, 5); })},
      {"Refresh", F([](std::int16_t h) { return TdbTableRefresh(h, 1); })},
      {"LocateRec2",
       F([](std::int16_t h) { return TdbTableLocateRec2(h, u"KOD", record, 64, 1, &exact); })},
      {"SetSQLFilter", F([](std::int16_t h) { return TdbTableSetSQLFilter(h, u"KOD > 1", 0, 0); })},
      {"ActivateFilter", F([](std::int16_t h) { return TdbTableActivateFilter(h, 1); })},
      {"InitGetBlob", F([](std::int16_t h) { return TdbTableInitGetBlob(h, 3, 0, &blobType); })},
      {"PerformGetBlob", F([](std::int16_t h) { return TdbTablePerformGetBlob(h, record, 64); })},
      {"SetBlob", F([](std::int16_t h) { return TdbTableSetBlob(h, 3, record, 64); })},
      {"SetChangeCallback",
       F([](std::int16_t h) { return TdbTableSetChangeCallback(h, nullptr, nullptr); })},
      {"Lock", F([](std::int16_t h) { return TdbTableLock(h, 1, 0); })},
      {"Unlock", F([](std::int16_t h) { return TdbTableUnlock(h, 1); })},
      {"GetUsage", F([](std::int16_t h) { return TdbTableGetUsage(h, &usage); })},
  };
}

TEST_F(TCursorApi, InvalidTableHandlesChangeNothing) {
  const auto emptied = static_cast<std::int16_t>(TdbTableCreate(1, u"gone"));
  ASSERT_EQ(emptied, 2);
  ASSERT_EQ(TdbTableDelete(emptied), 0);
  const auto before = LastError(FSession);
  for (std::int16_t handle :
       {std::int16_t{0}, std::int16_t{-1}, std::int16_t{-32768}, emptied, std::int16_t{255},
        std::int16_t{256}, std::int16_t{257}, std::int16_t{32767}})
    for (const auto& [name, call] : CursorCalls())
      EXPECT_EQ(call(handle), -101) << name << " with handle " << handle;
  EXPECT_EQ(Cursor().FCalls, 0);
  EXPECT_EQ(LastError(FSession), before);
  // The valid handle reaches its cursor in every function (Delete last).
  auto calls = CursorCalls();
  std::rotate(calls.begin(), calls.begin() + 1, calls.end());
  for (const auto& [name, call] : calls) EXPECT_GE(call(FTable), 0) << name;
  EXPECT_EQ(TdbTableFirst(FTable), -101);
}

TEST_F(TCursorApi, CursorSlotsAreReused) {
  for (int expected = 2; expected <= 255; ++expected) ASSERT_EQ(TdbTableCreate(1, u"c"), expected);
  EXPECT_EQ(TdbTableCreate(1, u"c"), -2);
  EXPECT_EQ(TdbTableDelete(100), 0);
  EXPECT_EQ(TdbTableCreate(1, u"c"), 100);
  EXPECT_EQ(TdbTableCreate(1, u"c"), -2);
}

TEST_F(TCursorApi, CreationFailures) {
  SetCursorFactory({});
  EXPECT_EQ(TdbTableCreate(1, u"c"), -100);
  EXPECT_EQ(LastError(FSession),
            std::make_pair(187, std::u16string(u"This feature is not supported: cursors")));
  SetCursorFactory(
      [](TTdbLocalSession&, int, std::int16_t,
         const std::u16string&) -> std::unique_ptr<ITdbCursorApi> { throw std::bad_alloc(); });
  EXPECT_EQ(TdbTableCreate(1, u"c"), -102);
  EXPECT_EQ(LastError(FSession).first, 123);
  // A failed creation leaves its slot free.
  SetCursorFactory([](TTdbLocalSession&, int, std::int16_t, const std::u16string&) {
    return std::make_unique<TFakeCursor>();
  });
  EXPECT_EQ(TdbTableCreate(1, u"c"), 2);
}

TEST_F(TCursorApi, FailuresBecomeResultCodesAndLastErrors) {
  struct Case {
    const char* call;
    std::function<std::int32_t()> action;
    std::int32_t result;
    int error;
    std::u16string message;
  } cases[] = {
      {"First", [] { return -11; }, -11, 0, u""},
      {"Edit", [] { return -105; }, -100, 0, u""},
      {"SetAutoNo", [] { return -101; }, -100, 0, u""},
      {"First", []() -> std::int32_t { throw ETdbEngine(tdbErrRecordBeingEdited); }, -100, 105,
       u"Record is being edited by another user"},
      {"MoveBy", []() -> std::int32_t { throw ETdbEngine(tdbErrReadFile, "Vnd03.dat"); }, -201, 2,
       u"Error while reading from file \"Vnd03.dat\""},
      {"SetSQLFilter", []() -> std::int32_t { throw ETdbEngine(tdbErrUnknownIdentifier, "X"); },
       -44, 50, u"Unknown identifier \"X\""},
      {"ActivateFilter", []() -> std::int32_t { throw ETdbEngine(tdbErrSyntax, "K"); }, -44, 25,
       u"Syntax error in expression \"K\""},
      {"First", []() -> std::int32_t { throw std::runtime_error("boom"); }, -102, 123,
       u"Exception: boom"},
      {"GetRecNo", []() -> std::int32_t { throw 42; }, -102, 123, u"Exception: unknown exception"},
      {"First", []() -> std::int32_t { throw ETdbEngine(tdbErrCannotOpenFile); }, -100, 1,
       u"Invalid error message: Cannot open file \"%s\""},
      {"First", []() -> std::int32_t { throw ETdbEngine(tdbErrNoText); }, -100, 9999, u""},
  };
  const auto calls = CursorCalls();
  for (const Case& c : cases) {
    TTdbHandleTables::Instance().Session(FSession)->Services().ClearLastError();
    Cursor().FAction = c.action;
    const auto call = std::find_if(calls.begin(), calls.end(), [&](const auto& entry) {
      return entry.first == std::string(c.call);
    });
    ASSERT_NE(call, calls.end());
    EXPECT_EQ(call->second(FTable), c.result) << c.call;
    EXPECT_EQ(LastError(FSession), std::make_pair(c.error, c.message)) << c.call;
  }
}

TEST_F(TCursorApi, BuffersAreNeverOverrun) {
  constexpr std::int32_t size = TFakeCursor::kRecordSize;
  std::uint8_t buffer[size + 4];
  std::fill(std::begin(buffer), std::end(buffer), 0x11);
  EXPECT_EQ(TdbTableGetRecord(FTable, buffer, size - 1), -103);
  EXPECT_EQ(TdbTableGetRecord(FTable, nullptr, size), -103);
  EXPECT_EQ(buffer[0], 0x11);
  EXPECT_EQ(TdbTableGetRecord(FTable, buffer, size + 4), 0);
  EXPECT_EQ(buffer[size - 1], TFakeCursor::kRecordByte);
  EXPECT_EQ(buffer[size], 0x11) << "only the record size is written";

  EXPECT_EQ(TdbTableSetRecord(FTable, buffer, size - 1), -103);
  EXPECT_EQ(TdbTableSetRecord(FTable, buffer, size + 4), 0);
  EXPECT_EQ(Cursor().FLastRecord.size(), static_cast<size_t>(size));

  std::uint8_t exact = 1;
  EXPECT_EQ(TdbTableLocateRec2(FTable, u"KOD", buffer, size - 1, 1, &exact), -103);
  EXPECT_EQ(TdbTableLocateRec2(FTable, u"KOD", buffer, size, 1, nullptr), -103);
  EXPECT_EQ(TdbTableLocateRec2(FTable, u"KOD", buffer, size, 1, &exact), 0);
  EXPECT_EQ(exact, 0) << "the cursor's answer comes back";

  EXPECT_EQ(TdbTablePerformGetBlob(FTable, nullptr, 1), -103);
  EXPECT_EQ(TdbTablePerformGetBlob(FTable, buffer, -1), -103);
  EXPECT_EQ(TdbTableSetBlob(FTable, 3, nullptr, 1), -103);
  EXPECT_EQ(TdbTableSetBlob(FTable, 3, nullptr, 0), 0);
  EXPECT_EQ(TdbTableInitGetBlob(FTable, 3, 0, nullptr), -103);
  EXPECT_EQ(TdbTableGetUsage(FTable, nullptr), -103);
  EXPECT_EQ(TdbTableGetFieldSpec(FTable, 1, nullptr), -103);
}

TEST_F(TCursorApi, FieldSpecIsCopiedWhole) {
  Cursor().FColumn = {3, u"MEGNEV", 0x20, u"", u"", 1, 80, 12, 81};
  TTdbFieldSpec spec;
  ASSERT_EQ(TdbTableGetFieldSpec(FTable, 3, &spec), 0);
  EXPECT_EQ(spec.No, 3);
  EXPECT_EQ(std::u16string(spec.Name), u"MEGNEV");
  EXPECT_EQ(spec.Options, 0x20);
  EXPECT_EQ(spec.FldType, 1);
  EXPECT_EQ(spec.Param, 80);
  EXPECT_EQ(spec.InternalPosition, 12);
  EXPECT_EQ(spec.InternalSize, 81);

  // A name that does not fit its array is refused, not cut.
  Cursor().FColumn.FName = std::u16string(41, u'N');
  spec.No = -5;
  EXPECT_EQ(TdbTableGetFieldSpec(FTable, 3, &spec), -103);
  EXPECT_EQ(spec.No, -5);
  Cursor().FColumn.FName = std::u16string(40, u'N');
  Cursor().FColumn.FSelectOrLink = std::u16string(2000, u'S');
  EXPECT_EQ(TdbTableGetFieldSpec(FTable, 3, &spec), 0);
  EXPECT_EQ(std::u16string(spec.SelectOrLink).size(), 2000u);
}

struct TMoves {
  void* FUser = nullptr;
  std::int16_t FSession = 0, FTable = 0;
  std::int32_t FNew = 0, FOld = 0;
};

void RecordMove(void* user, std::int16_t sessHdl, std::int16_t tableHdl, std::int32_t newRecNo,
                std::int32_t oldRecNo) {
  *static_cast<TMoves*>(user) = {user, sessHdl, tableHdl, newRecNo, oldRecNo};
}

TEST_F(TCursorApi, ChangeCallbackGetsHandlesAndRecordNumbers) {
  TMoves moves;
  ASSERT_EQ(TdbTableSetChangeCallback(FTable, RecordMove, &moves), 0);
  ASSERT_TRUE(Cursor().FMoved);
  Cursor().FMoved(5, 9);
  EXPECT_EQ(moves.FUser, &moves);
  EXPECT_EQ(moves.FSession, FSession);
  EXPECT_EQ(moves.FTable, FTable);
  EXPECT_EQ(moves.FNew, 5);
  EXPECT_EQ(moves.FOld, 9);
  ASSERT_EQ(TdbTableSetChangeCallback(FTable, nullptr, nullptr), 0);
  EXPECT_FALSE(Cursor().FMoved);
}

}  // namespace
}  // namespace kestrel::test
