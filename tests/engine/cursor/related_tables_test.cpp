// Where a session finds the other side of a foreign key: a parent P (CODE
// primary key, row "A1") and a child C (PCODE → P.CODE, row "A1") lie in the
// database's directory or in another one, in plain or under keys of their
// own. A session opens one of them and tries a change that only the other
// one can decide: appending an orphan to C (179) or deleting P's row that C
// refers to (180). A table found nowhere or opened with no key the session
// knows refuses the change with 184 naming it; nothing goes unchecked.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/api/kestrel.h"
#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "engine/base/engine_error.h"
#include "engine/cache/page_manager.h"
#include "engine/fs/os_file_system.h"
#include "engine/table/base_table.h"
#include "engine/table/constraint_checker.h"
#include "temp_dir.h"

namespace kestrel::test {
namespace {

constexpr int kLevel = 5;
constexpr std::uint16_t kAllRights = 0xF8FF;
const std::u16string kParentKey = u"parent-key", kChildKey = u"child-key";

enum TAction { tacAppendOrphan, tacAppendChild, tacDeleteReferredParent, tacDeleteFreeRow };

struct TPlace {
  const char* Directory;  // "db" or "other"
  std::u16string Key;     // empty: not encrypted
};

// Lets the fixture's own rows in: they are consistent by construction.
class TAcceptAll final : public ITdbConstraintChecker {
 public:
  void Prepare(TTdbBaseTable&) override {}
  void CheckRecord(TTdbBaseTable&, std::span<const std::uint8_t>, const TTdbBlobDataList&) override {}
  void CheckReferences(TTdbBaseTable&, std::span<const std::uint8_t>, std::span<const std::uint8_t>) override {}
  void Forget(const TTdbBaseTable&) noexcept override {}
};

class RelatedTables : public ::testing::Test {
 public:
  void SetUp() override {
    FPageManager.RegisterClient(1, 4096);
    for (const char* directory : {"db", "other"}) std::filesystem::create_directories(FDir.File(directory));
  }

  static TTdbDataType Text(bool nullable) { return TTdbDataType::MakeString(tctString, nullable, 10, u"", kLevel); }

  // A table with one String column and one row `value`; a parent gets a
  // primary key, a child a foreign key to P, a plain table neither.
  void MakeTable(const std::string& fileName, const std::u16string& key, char kind, const std::string& value) {
    TTdbBaseTable table(FPageManager, FFs, 1);
    table.SetFileName(fileName);
    table.SetLevel(kLevel);
    if (!key.empty()) {
      table.SetKey(key);
      table.SetEncryptionMethod(temBlowfish);
    }
    table.AddColumn(NewColumnDef(kind == 'P' ? u"CODE" : u"PCODE", Text(kind != 'P')));
    if (kind == 'P') table.SetConstraints({{true, u"", u"CODE"}}, {}, {});
    if (kind == 'C') table.SetConstraints({}, {}, {{u"fk", u"PCODE", u"P", u"CODE", 0, 0}});
    table.NewFile();
    table.SetConstraintChecker(std::make_shared<TAcceptAll>());
    table.Setup();
    // The index a session's checker makes when it opens C for changes.
    if (kind == 'C') table.CreateIndex(u"IR_fk", u"PCODE", false);
    std::vector<std::uint8_t> record = Image(table, value);
    table.AppendRecord(record, {});
    if (kind == 'C') {
      FOrphan = Image(table, "ZZ");
      FChildRow = Image(table, "A1");
    }
    table.Close();
  }
  static std::vector<std::uint8_t> Image(TTdbBaseTable& table, const std::string& value) {
    std::vector<std::uint8_t> record(static_cast<std::size_t>(table.RecordSize()));
    table.InitRecord(record, false);
    WriteValue(table.Columns()[0].DataType, table.Columns().ColumnBytes(std::span<std::uint8_t>(record), 0),
               Utf8ToUtf16(value));
    return record;
  }

  // The session's last error: number and message.
  static std::pair<int, std::string> LastError(std::int16_t session) {
    std::int32_t code = -1;
    TdbChar message[256] = {};
    TdbSessGetLastError(session, &code, message, 255);
    return {static_cast<int>(code), Utf16ToUtf8(message)};
  }

  TTempDir FDir;
  TdwOSFileSystem FFs{FDir.Path()};
  TTdbPageManager FPageManager;
  // Images of C's rows with a missing and with an existing parent.
  std::vector<std::uint8_t> FOrphan, FChildRow;
};

TEST_F(RelatedTables, ForeignKeysReachTheirTablesWhereverTheSessionCanOpenThem) {
  struct Case {
    const char* What;
    TPlace Parent, Child;
    std::u16string DatabaseKey;
    char Opened;             // 'P' or 'C': the table the session opens
    std::u16string OpenKey;  // the key it is opened with (empty: the database key)
    TAction Action;
    int Error;               // of the change, or of the open when Opened fails
    const char* Message;     // expected last-error message, when it matters
  };
  const std::vector<Case> cases = {
      {"both in the database", {"db", u""}, {"db", u""}, u"", 'P', u"", tacDeleteReferredParent,
       tdbErrIntegrityRule, nullptr},
      {"both beside each other outside the database", {"other", u""}, {"other", u""}, u"", 'P', u"",
       tacDeleteReferredParent, tdbErrIntegrityRule, nullptr},
      {"child in the database, parent opened elsewhere", {"other", u""}, {"db", u""}, u"", 'P', u"",
       tacDeleteReferredParent, tdbErrIntegrityRule, nullptr},
      {"parent in the database, child opened elsewhere", {"db", u""}, {"other", u""}, u"", 'C', u"",
       tacAppendOrphan, tdbErrParentRowMissing, nullptr},
      {"parent in the database accepts its children", {"db", u""}, {"other", u""}, u"", 'C', u"",
       tacAppendChild, 0, nullptr},
      {"child under the database key", {"db", kParentKey}, {"db", kChildKey}, kChildKey, 'P', kParentKey,
       tacDeleteReferredParent, tdbErrIntegrityRule, nullptr},
      {"parent under the database key", {"db", kParentKey}, {"db", kChildKey}, kParentKey, 'C', kChildKey,
       tacAppendOrphan, tdbErrParentRowMissing, nullptr},
      {"child under a key the session does not know", {"db", kParentKey}, {"db", kChildKey}, u"", 'P',
       kParentKey, tacDeleteReferredParent, tdbErrParentTableNotFound,
       "Parent table \"C\" could not be found or opened"},
      {"parent under a key the session does not know", {"db", kParentKey}, {"db", kChildKey}, u"", 'C',
       kChildKey, tacAppendChild, tdbErrParentTableNotFound, "Parent table \"P\" could not be found or opened"},
      {"a parent found nowhere", {"other", u""}, {"db", u""}, u"", 'C', u"", tacAppendChild,
       tdbErrParentTableNotFound, "Parent table \"P\" could not be found or opened"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    const std::string parentFile = std::string(c.Parent.Directory) + "/P.dat";
    const std::string childFile = std::string(c.Child.Directory) + "/C.dat";
    MakeTable(parentFile, c.Parent.Key, 'P', "A1");
    MakeTable(childFile, c.Child.Key, 'C', "A1");

    const std::int16_t session = static_cast<std::int16_t>(TdbCreateSession(u""));
    ASSERT_GT(session, 0);
    ASSERT_EQ(TdbSessOpenDb(session, Utf8ToUtf16(FDir.File("db")).c_str(), u"", c.DatabaseKey.c_str(), 4096, 0), 0);
    const std::string opened = FDir.File(c.Opened == 'P' ? parentFile : childFile);
    const std::int32_t relation =
        TdbSessOpenTable(session, Utf8ToUtf16(opened).c_str(), c.OpenKey.c_str(), kAllRights, 0, 0);
    int error = 0;
    std::int32_t countBefore = -1, countAfter = -1;
    if (relation <= 0) {
      error = LastError(session).first;
    } else {
      const std::int16_t cursor = static_cast<std::int16_t>(TdbTableCreate(static_cast<std::int16_t>(relation), u"t"));
      ASSERT_GT(cursor, 0);
      countBefore = TdbTableRecordCount(cursor);
      std::int32_t rc = 0;
      if (c.Action == tacAppendOrphan || c.Action == tacAppendChild) {
        std::vector<std::uint8_t> record = c.Action == tacAppendOrphan ? FOrphan : FChildRow;
        ASSERT_EQ(TdbTableAppend(cursor), 0);
        ASSERT_EQ(TdbTableSetRecord(cursor, record.data(), static_cast<std::int32_t>(record.size())), 0);
        rc = TdbTableAppendConfirm(cursor);
        if (rc < 0) TdbTableAppendCancel(cursor);
      } else {
        ASSERT_GE(TdbTableFirst(cursor), 0);
        rc = TdbTableDeleteRecord(cursor);
      }
      if (rc < 0) error = LastError(session).first;
      countAfter = TdbTableRecordCount(cursor);
      if (error != 0) {
        EXPECT_EQ(countAfter, countBefore) << "a refused change changed the table";
      }
    }
    EXPECT_EQ(error, c.Error) << LastError(session).second;
    if (c.Message) {
      EXPECT_EQ(LastError(session).second, c.Message);
    }
    TdbSessDelete(session);
    for (const char* directory : {"db", "other"})
      for (const auto& entry : std::filesystem::directory_iterator(FDir.File(directory)))
        std::filesystem::remove(entry.path());
  }
}

// A table without any index cannot be a parent, so a table file beside it
// that no key opens does not stand in the way of its changes.
TEST_F(RelatedTables, AnUnopenableTableBlocksOnlyTablesThatCanBeParents) {
  MakeTable("db/N.dat", u"", 'N', "x");
  MakeTable("db/C.dat", kChildKey, 'C', "A1");
  const std::int16_t session = static_cast<std::int16_t>(TdbCreateSession(u""));
  ASSERT_GT(session, 0);
  ASSERT_EQ(TdbSessOpenDb(session, Utf8ToUtf16(FDir.File("db")).c_str(), u"", u"", 4096, 0), 0);
  const std::int32_t relation = TdbSessOpenTable(session, u"N", u"", kAllRights, 0, 0);
  ASSERT_GT(relation, 0) << LastError(session).second;
  const std::int16_t cursor = static_cast<std::int16_t>(TdbTableCreate(static_cast<std::int16_t>(relation), u"t"));
  ASSERT_GE(TdbTableFirst(cursor), 0);
  EXPECT_EQ(TdbTableDeleteRecord(cursor), 0) << LastError(session).second;
  EXPECT_EQ(TdbTableRecordCount(cursor), 0);
  TdbSessDelete(session);
}

}  // namespace
}  // namespace kestrel::test
