// Temporary indexes through the flat call interface: a static filter on a
// column no index covers has one made when the session allows it; the
// table removes it when it closes and no other session or program has the
// table open; one left behind serves the next opener.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/api/kestrel.h"
#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "temp_dir.h"

namespace kestrel {
namespace test::detail {
// temp_index_table_maker.cpp
void CreateCodeIndexedTable(const std::string& directory, int level,
                            const std::vector<std::pair<std::string, std::string>>& rows);
}  // namespace test::detail

namespace {

namespace fs = std::filesystem;

constexpr std::uint16_t kAllRights = TDB_RIGHT_APPEND | TDB_RIGHT_EDIT | TDB_RIGHT_DELETE | TDB_RIGHT_INDEX;
// Two records have the name "b".
const std::vector<std::pair<std::string, std::string>> kRows = {
    {"01", "a"}, {"02", "b"}, {"03", "c"}, {"04", "b"}, {"05", "d"}};

// A session on `directory` with AutoCreateIndexes as given, and the table
// Vnd03 opened in it with `rights`.
struct TSession {
  std::int16_t Session = 0;
  std::int16_t Relation = 0;

  TSession(const std::string& directory, bool autoCreateIndexes, std::uint16_t rights = kAllRights) {
    Session = static_cast<std::int16_t>(TdbCreateSession(u""));
    EXPECT_GT(Session, 0);
    const std::u16string location = Utf8ToUtf16(directory);
    EXPECT_EQ(TdbSessOpenDb(Session, location.c_str(), u"", u"", 4096, 0), 0);
    EXPECT_EQ(TdbSessSetSettings(Session, 0, 0, autoCreateIndexes ? 1 : 0, 20000), 0);
    const std::int32_t relation = TdbSessOpenTable(Session, u"Vnd03", u"", rights, 1, 0);
    EXPECT_GT(relation, 0) << LastError();
    Relation = static_cast<std::int16_t>(relation);
  }
  ~TSession() { Close(); }

  void Close() {
    if (Session > 0) TdbSessDelete(Session);
    Session = 0;
  }

  std::string LastError() const {
    std::int32_t code = 0;
    TdbChar message[256] = {};
    TdbSessGetLastError(Session, &code, message, 255);
    return std::to_string(code) + " " + Utf16ToUtf8(message);
  }

  // The number of records a static filter with `condition` selects.
  std::int32_t Count(const std::u16string& condition) const {
    const std::int32_t table = TdbTableCreate(Relation, u"count");
    EXPECT_GT(table, 0);
    const auto handle = static_cast<std::int16_t>(table);
    EXPECT_EQ(TdbTableSetSQLFilter(handle, condition.c_str(), TDB_FILTER_STATIC, 0), 0) << LastError();
    const std::int32_t count = TdbTableRecordCount(handle);
    TdbTableDelete(handle);
    return count;
  }

  std::vector<std::string> IndexNames() const {
    std::vector<TdbChar> buffer(TDB_INDEX_NAMES_MAXLEN);
    EXPECT_GE(TdbRltnGetIndexNames(Relation, buffer.data(), TDB_INDEX_NAMES_MAXLEN), 0);
    std::vector<std::string> names;
    for (const TdbChar* name = buffer.data(); *name != 0; name += std::char_traits<char16_t>::length(name) + 1)
      names.push_back(Utf16ToUtf8(name));
    return names;
  }

  // Appends a record through a cursor of this session.
  void Append(const std::string& kod, const std::string& megnev) const {
    const auto table = static_cast<std::int16_t>(TdbTableCreate(Relation, u"append"));
    std::vector<std::uint8_t> record(static_cast<std::size_t>(TdbTableGetRecordSize(table)));
    const std::pair<int, std::string> values[] = {{1, kod}, {2, megnev}};
    for (const auto& [fieldNo, text] : values) {
      TTdbFieldSpec spec;
      TdbTableGetFieldSpec(table, fieldNo, &spec);
      const TTdbDataType type = TTdbDataType::MakeString(tctString, false, fieldNo == 1 ? 10 : 40, u"", 5);
      WriteValue(type, std::span<std::uint8_t>(record).subspan(spec.InternalPosition, spec.InternalSize),
                 Utf8ToUtf16(text));
    }
    EXPECT_EQ(TdbTableAppend(table), 0);
    EXPECT_EQ(TdbTableSetRecord(table, record.data(), static_cast<std::int32_t>(record.size())), 0);
    EXPECT_GT(TdbTableAppendConfirm(table), 0) << LastError();
    TdbTableDelete(table);
  }
};

class TempIndexTest : public ::testing::Test {
 protected:
  // A new directory holding the table at `level`.
  std::string MakeTable(const std::string& name, int level = 5) {
    const std::string directory = FDir.File(name);
    fs::create_directories(directory);
    test::detail::CreateCodeIndexedTable(directory, level, kRows);
    return directory;
  }

  test::TTempDir FDir;
};

TEST_F(TempIndexTest, FilterOnUnindexedColumnMakesOneWhenAllowedAndCloseRemovesIt) {
  struct TCase {
    const char* Name;
    int Level;
    bool AutoCreate;
    const char* IndexName;  // the temporary index expected, "" for none
    const char* FileName;
  };
  const TCase cases[] = {
      {"level5", 5, true, "tmp001", "Vnd03!tmp001.ind"},
      {"level3", 3, true, "Vnd03.$01", "Vnd03.$01"},
      {"off", 5, false, "", "Vnd03!tmp001.ind"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string directory = MakeTable(c.Name, c.Level);
    const std::string file = directory + "/" + c.FileName;
    std::vector<std::string> expected = {"KOD"};
    if (*c.IndexName != 0) expected.push_back(c.IndexName);
    {
      TSession session(directory, c.AutoCreate);
      EXPECT_EQ(session.Count(u"MEGNEV = 'b'"), 2);
      EXPECT_EQ(session.IndexNames(), expected);
      EXPECT_EQ(fs::exists(file), *c.IndexName != 0);
      // Later conditions on the column walk the same index; none more is made.
      EXPECT_EQ(session.Count(u"MEGNEV >= 'b' AND KOD <> '02'"), 3);
      EXPECT_EQ(session.Count(u"MEGNEV LIKE 'c%'"), 1);
      EXPECT_EQ(session.IndexNames(), expected);
    }
    EXPECT_FALSE(fs::exists(file));
    TSession again(directory, false);
    EXPECT_EQ(again.IndexNames(), std::vector<std::string>{"KOD"});
    EXPECT_EQ(again.Count(u"MEGNEV = 'b'"), 2);
  }
}

TEST_F(TempIndexTest, TableWithoutTheRightToChangeIndexesGetsNone) {
  // Read-only, and writable without the index right: the filter walks
  // every record instead.
  for (const std::uint16_t rights : {std::uint16_t{0}, std::uint16_t{TDB_RIGHT_APPEND | TDB_RIGHT_EDIT}}) {
    SCOPED_TRACE(rights);
    const std::string directory = MakeTable("rights" + std::to_string(rights));
    TSession session(directory, true, rights);
    EXPECT_EQ(session.Count(u"MEGNEV = 'b'"), 2);
    EXPECT_EQ(session.Count(u"MEGNEV > 'b'"), 2);
    EXPECT_EQ(session.IndexNames(), std::vector<std::string>{"KOD"});
    EXPECT_FALSE(fs::exists(directory + "/Vnd03!tmp001.ind"));
  }
}

TEST_F(TempIndexTest, StaysWhileAnotherSessionHasTheTableAndGoesWithTheLastClose) {
  const std::string directory = MakeTable("shared");
  const std::string file = directory + "/Vnd03!tmp001.ind";
  TSession other(directory, true);
  {
    TSession session(directory, true);
    EXPECT_EQ(session.Count(u"MEGNEV = 'b'"), 2);
    EXPECT_TRUE(fs::exists(file));
  }
  // The table could not be had exclusively: the index stays, and the other
  // session keeps it up to date and uses it.
  EXPECT_TRUE(fs::exists(file));
  EXPECT_EQ(other.IndexNames(), (std::vector<std::string>{"KOD", "tmp001"}));
  other.Append("06", "b");
  EXPECT_EQ(other.Count(u"MEGNEV = 'b'"), 3);
  EXPECT_EQ(other.IndexNames(), (std::vector<std::string>{"KOD", "tmp001"}));
  other.Close();
  EXPECT_FALSE(fs::exists(file));
  TSession again(directory, false);
  EXPECT_EQ(again.IndexNames(), std::vector<std::string>{"KOD"});
  EXPECT_EQ(again.Count(u"MEGNEV = 'b'"), 3);
}

// Files a killed program left before it listed its temporary index: a new
// temporary index passes their numbers over, and a close that has the table
// alone deletes them, whether or not this opener made an index itself. Files
// of other tables and listed indexes stay.
TEST_F(TempIndexTest, StrayFilesArePassedOverAndGoWithAnExclusiveClose) {
  struct TCase {
    const char* Name;
    int Level;
    bool AutoCreate;
    const char* Stray;
    const char* Made;  // the temporary index this opener makes, "" for none
    const char* MadeFile;
  };
  const TCase cases[] = {
      {"level5", 5, true, "Vnd03!tmp001.ind", "tmp002", "Vnd03!tmp002.ind"},
      {"level3", 3, true, "Vnd03.$01", "Vnd03.$02", "Vnd03.$02"},
      {"none made", 5, false, "Vnd03!tmp007.ind", "", ""},
  };
  // Files of other tables with the same patterns, and user index files.
  const char* const others[] = {"Vnd!tmp001.ind", "Vnd0.$01", "Vnd03x!tmp003.ind", "Vnd03!KOD.ind"};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string directory = MakeTable(c.Name, c.Level);
    std::ofstream(directory + "/" + c.Stray) << "stray";
    for (const char* other : others) {
      if (!fs::exists(directory + "/" + other)) std::ofstream(directory + "/" + other) << "other";
    }
    std::vector<std::string> expected = {"KOD"};
    if (*c.Made != 0) expected.push_back(c.Made);
    {
      TSession session(directory, c.AutoCreate);
      EXPECT_EQ(session.Count(u"MEGNEV = 'b'"), 2);
      EXPECT_EQ(session.IndexNames(), expected);
      if (*c.Made != 0) {
        EXPECT_TRUE(fs::exists(directory + "/" + c.MadeFile));
      }
      EXPECT_TRUE(fs::exists(directory + "/" + c.Stray)) << "deleted while the table was in use";
    }
    EXPECT_FALSE(fs::exists(directory + "/" + c.Stray));
    if (*c.Made != 0) {
      EXPECT_FALSE(fs::exists(directory + "/" + c.MadeFile));
    }
    for (const char* other : others) EXPECT_TRUE(fs::exists(directory + "/" + other)) << other;
    TSession again(directory, false);
    EXPECT_EQ(again.IndexNames(), std::vector<std::string>{"KOD"});
    EXPECT_EQ(again.Count(u"MEGNEV = 'b'"), 2);
  }
}

TEST_F(TempIndexTest, StrayFileStaysWhileAnotherSessionHasTheTable) {
  const std::string directory = MakeTable("stray-shared");
  const std::string stray = directory + "/Vnd03!tmp001.ind";
  TSession other(directory, false);
  std::ofstream(stray) << "stray";
  TSession(directory, false).Close();
  EXPECT_TRUE(fs::exists(stray)) << "another program may still be building that index";
  other.Close();
  EXPECT_FALSE(fs::exists(stray));
}

TEST_F(TempIndexTest, IndexLeftByAKilledProgramServesTheNextOpenerAndGoesAtItsClose) {
  // The files as a program left them that died while it had the table and
  // its temporary index open: copied while the session still holds them.
  const std::string directory = MakeTable("killed");
  const std::string left = FDir.File("left");
  {
    TSession session(directory, true);
    EXPECT_EQ(session.Count(u"MEGNEV = 'b'"), 2);
    fs::create_directories(left);
    for (const char* name : {"Vnd03.dat", "Vnd03!KOD.ind", "Vnd03!tmp001.ind"})
      fs::copy_file(directory + "/" + name, left + "/" + name);
  }
  {
    TSession session(left, false);
    EXPECT_EQ(session.IndexNames(), (std::vector<std::string>{"KOD", "tmp001"}));
    session.Append("06", "b");
    EXPECT_EQ(session.Count(u"MEGNEV = 'b'"), 3);
  }
  EXPECT_FALSE(fs::exists(left + "/Vnd03!tmp001.ind"));
  TSession again(left, false);
  EXPECT_EQ(again.IndexNames(), std::vector<std::string>{"KOD"});
  EXPECT_EQ(again.Count(u"MEGNEV = 'b'"), 3);
}

}  // namespace
}  // namespace kestrel
