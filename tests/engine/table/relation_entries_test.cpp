// The pairs of a Relation column kept in its relation table: added, read
// and removed through the table, removed with their master record in the
// same change (and brought back by a rollback), and a missing or damaged
// relation table refused with 154 naming the column.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/api/kestrel.h"
#include "engine/base/code_page.h"
#include "table_fixture.h"

namespace kestrel::test {
namespace {

constexpr int kRelationField = 3;  // Id, Name, R

struct TLevelCase {
  int Level;
  std::string TableFile;
  std::string RelationFile;
};

const TLevelCase kLevels[] = {{5, "T.dat", "R.rel"}, {6, "T.tdbt", "T!rel_R.tdbt"}};

class RelationEntries : public TableFixture {
 protected:
  // Table T (see MakeRelationOwner) holding `records` records, left open.
  std::unique_ptr<TTdbBaseTable> Make(const TLevelCase& c, int records) {
    return MakeRelationOwner(c.Level, c.TableFile, records);
  }
  // The record number of the record with id `id`.
  static std::int32_t RecNoOf(TTdbBaseTable& table, std::int32_t id) {
    std::vector<std::uint8_t> record(static_cast<std::size_t>(table.RecordSize()));
    for (std::int32_t no = table.GetFirstRecordNo(); no > 0; no = table.GetNextRecordNo(no)) {
      table.ReadRecord(no, record);
      if (std::get<int64_t>(ReadValue(table.Columns()[0].DataType, table.Columns().ColumnBytes(
                                                                        std::span<const std::uint8_t>(record), 0))) == id)
        return no;
    }
    return 0;
  }
  using TIds = std::vector<std::int32_t>;
};

TEST_F(RelationEntries, PairsAreAddedReadAndRemoved) {
  for (const TLevelCase& c : kLevels) {
    SCOPED_TRACE(c.Level);
    auto table = Make(c, 3);
    table->AddRelatedRecord(kRelationField, 1, 10);
    table->AddRelatedRecord(kRelationField, 1, 11);
    table->AddRelatedRecord(kRelationField, 1, 10);  // already there: not twice
    table->AddRelatedRecord(kRelationField, 2, 10);
    EXPECT_EQ(table->RelatedRecordIds(kRelationField, 1), (TIds{10, 11}));
    EXPECT_EQ(table->RelatedRecordIds(kRelationField, 2), (TIds{10}));
    EXPECT_EQ(table->RelatedRecordIds(kRelationField, 3), TIds{});
    EXPECT_TRUE(table->RemoveRelatedRecord(kRelationField, 1, 10));
    EXPECT_FALSE(table->RemoveRelatedRecord(kRelationField, 1, 10));
    EXPECT_EQ(table->RelatedRecordIds(kRelationField, 1), (TIds{11}));
    table->Close();

    // The pairs are in the relation table's file: they are there after a reopen.
    auto again = NewTable();
    again->SetFileName(c.TableFile);
    again->Open();
    again->Setup();
    EXPECT_EQ(again->RelatedRecordIds(kRelationField, 1), (TIds{11}));
    EXPECT_EQ(again->RelatedRecordIds(kRelationField, 2), (TIds{10}));
    again->Close();
    RemoveAllFiles();
  }
}

TEST_F(RelationEntries, DeletingAMasterRecordRemovesItsPairsAndARollbackBringsThemBack) {
  struct Case {
    const char* Name;
    bool InTransaction;
    bool Rollback;
    TIds AfterForMaster2;
  };
  const Case cases[] = {
      {"single change", false, false, {}},
      {"committed transaction", true, false, {}},
      {"rolled back transaction", true, true, {20, 21}},
  };
  for (const TLevelCase& level : kLevels) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(level.Level) + " " + c.Name);
      auto table = Make(level, 3);
      table->AddRelatedRecord(kRelationField, 1, 10);
      table->AddRelatedRecord(kRelationField, 2, 20);
      table->AddRelatedRecord(kRelationField, 2, 21);
      table->AddRelatedRecord(kRelationField, 3, 30);
      if (c.InTransaction) table->StartTransaction();
      table->DeleteRecord(RecNoOf(*table, 2));
      EXPECT_EQ(table->RelatedRecordIds(kRelationField, 2), TIds{});
      if (c.InTransaction) {
        if (c.Rollback)
          table->UndoModifications();
        else
          table->CommitModifications();
      }
      EXPECT_EQ(table->RecordCount(), c.Rollback ? 3 : 2);
      EXPECT_EQ(table->RelatedRecordIds(kRelationField, 2), c.AfterForMaster2);
      // The other records' pairs are untouched.
      EXPECT_EQ(table->RelatedRecordIds(kRelationField, 1), (TIds{10}));
      EXPECT_EQ(table->RelatedRecordIds(kRelationField, 3), (TIds{30}));
      table->Close();
      RemoveAllFiles();
    }
  }
}

TEST_F(RelationEntries, AMissingOrForeignRelationTableIsRefusedNamingTheColumn) {
  for (const TLevelCase& c : kLevels) {
    SCOPED_TRACE(c.Level);
    auto table = Make(c, 1);
    table->Close();
    std::filesystem::remove(FDir.File(c.RelationFile));
    auto again = NewTable();
    again->SetFileName(c.TableFile);
    again->Open();
    again->Setup();
    try {
      again->RelatedRecordIds(kRelationField, 1);
      ADD_FAILURE() << "no error";
    } catch (const ETdbEngine& e) {
      EXPECT_EQ(e.Number(), tdbErrRelationTableOpen);
      EXPECT_NE(std::string(e.what()).find("\"R\""), std::string::npos) << e.what();
    }
    // Deleting the record cannot leave its pairs behind: it is refused whole.
    EXPECT_THROW(again->DeleteRecord(1), ETdbEngine);
    EXPECT_EQ(again->RecordCount(), 1);
    // Neither a column that is no Relation column nor a bad id passes.
    EXPECT_THROW(again->RelatedRecordIds(2, 1), ETdbEngine);
    EXPECT_THROW(again->AddRelatedRecord(kRelationField, 1, 0), ETdbEngine);
    again->Close();
    RemoveAllFiles();
  }
}

// A session asked to open a table with its relation tables opens them at
// once: a missing one fails the open (-1, error 154 naming the column)
// unless the open is forced; without the request the table opens and the
// relation table is looked for on first use.
TEST_F(RelationEntries, ASessionOpensTheRelationTablesWhenAsked) {
  for (const TLevelCase& level : kLevels) {
    SCOPED_TRACE(level.Level);
    Make(level, 1)->Close();
    struct Case {
      const char* What;
      bool RelationFile, WithRelTables, Force;
      bool Opens;
    };
    const Case cases[] = {
        {"relation table there", true, true, false, true},
        {"relation table missing", false, true, false, false},
        {"missing, forced", false, true, true, true},
        {"missing, not asked for", false, false, false, true},
    };
    const std::string relationFile = FDir.File(level.RelationFile);
    const std::string relationBytes = ReadWholeFile(relationFile);
    for (const Case& c : cases) {
      SCOPED_TRACE(c.What);
      if (c.RelationFile)
        WriteWholeFile(relationFile, relationBytes);
      else
        std::filesystem::remove(relationFile);
      const std::int16_t session = static_cast<std::int16_t>(TdbCreateSession(u""));
      ASSERT_GT(session, 0);
      ASSERT_EQ(TdbSessOpenDb(session, Utf8ToUtf16(FDir.Path()).c_str(), u"", u"", 4096, 0), 0);
      const std::int32_t relation = TdbSessOpenTable(session, Utf8ToUtf16(level.TableFile).c_str(), u"", 0xF8FF,
                                                     c.WithRelTables ? 1 : 0, c.Force ? 1 : 0);
      std::int32_t code = 0;
      TdbChar message[256] = {};
      TdbSessGetLastError(session, &code, message, 255);
      if (c.Opens) {
        EXPECT_GT(relation, 0) << Utf16ToUtf8(message);
      } else {
        EXPECT_EQ(relation, TDB_ERR_CANNOT_OPEN_TABLE);
        EXPECT_EQ(code, tdbErrRelationTableOpen);
        EXPECT_EQ(Utf16ToUtf8(message), "Relation table for \"R\" could not be opened");
        // Nothing of the failed open stays behind: the table opens again.
        EXPECT_GT(TdbSessOpenTable(session, Utf8ToUtf16(level.TableFile).c_str(), u"", 0xF8FF, 0, 0), 0);
      }
      TdbSessDelete(session);
    }
    RemoveAllFiles();
  }
}

}  // namespace
}  // namespace kestrel::test
