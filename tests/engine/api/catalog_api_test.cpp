// Relations through the flat call interface: how the catalog resolves,
// opens and closes tables, and the relation functions with their handles.
#include <gtest/gtest.h>

#include <string>

#include "engine/api/kestrel.h"
#include "engine/fs/clock.h"
#include "engine/session/catalog.h"
#include "engine/session/services.h"
#include "fake_engine.h"

namespace kestrel::test {
namespace {

using TCatalogApi = TApiFixture;

constexpr std::uint16_t kAllRights = 0xF8FF;

TEST_F(TCatalogApi, TableNameResolution) {
  WriteWholeFile(FDir.File("Both.dat"), "d");
  WriteWholeFile(FDir.File("Both.tdbt"), "t");
  WriteWholeFile(FDir.File("Six.tdbt"), "t");
  WriteWholeFile(FDir.File("Other.ext"), "x");
  struct Case {
    std::u16string name;
    std::string file;  // opened file in the directory, "" when the open fails with 37
  } cases[] = {
      {u"Both", "Both.dat"},
      {u"Six", "Six.tdbt"},
      {u"Both.tdbt", "Both.tdbt"},
      {u"Other.ext", "Other.ext"},
      {U16(FDir.File("Vnd03.dat")), "Vnd03.dat"},
      {u"Nope", ""},
      {u"Six.dat", ""},
  };
  const std::int16_t session = OpenSession();
  for (const Case& c : cases) {
    FTableLog->FOpens.clear();
    const std::int32_t handle = TdbSessOpenTable(session, c.name.c_str(), u"", kAllRights, 1, 0);
    if (c.file.empty()) {
      EXPECT_EQ(handle, -1);
      EXPECT_EQ(LastError(session).first, 37);
      EXPECT_TRUE(FTableLog->FOpens.empty());
      continue;
    }
    ASSERT_GT(handle, 0);
    ASSERT_EQ(FTableLog->FOpens.size(), 1u);
    EXPECT_EQ(FTableLog->FOpens[0].FFileName, FDir.File(c.file));
    EXPECT_EQ(TdbSessCloseUnneededTables(session), 0);
  }
  EXPECT_EQ(LastError(session).second,
            u"File not found or access denied: \"" + U16(FDir.File("Six.dat")) + u"\"");
}

TEST_F(TCatalogApi, WithoutTableObjectsOpeningFailsClearly) {
  const std::int16_t session = OpenSession();
  SetTableFactory({});
  EXPECT_EQ(TdbSessOpenTable(session, u"Vnd03", u"", kAllRights, 1, 0), -1);
  EXPECT_EQ(LastError(session),
            std::make_pair(187, std::u16string(u"This feature is not supported: opening tables")));
  // Without an open database, no table file can be found.
  const auto closed = static_cast<std::int16_t>(TdbCreateSession(u""));
  EXPECT_EQ(TdbSessOpenTable(closed, u"Vnd03", u"", kAllRights, 1, 0), -1);
  EXPECT_EQ(LastError(closed).first, 37);
}

TEST(TCatalogRights, AdjustedToTheDatabase) {
  struct Case {
    std::uint16_t rights;
    int attributes;
    std::uint16_t expected;
  } cases[] = {
      {0xF8FF, 0, 0xF8FF},
      {0xF8FF, kDbAttrReadOnly, 0xF8F0},
      {0x000F, kDbAttrExclusive, 0x010F},
      {0x000F, kDbAttrSharedReadOnly, 0x000F},
      {0x040F, kDbAttrSharedReadOnly, 0x000F},
      {0x0000, kDbAttrSharedReadOnly, 0x0400},
      {0x000F, kDbAttrReadOnly | kDbAttrSharedReadOnly, 0x0400},
      {0x000F, kDbAttrReadOnly | kDbAttrExclusive, 0x0100},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TTdbCatalog::AdjustRights(c.rights, c.attributes), c.expected)
        << std::hex << c.rights << " " << c.attributes;
}

TEST_F(TCatalogApi, OpenFailuresAndTheirResults) {
  struct Case {
    std::vector<int> openFailures;
    std::uint16_t rights;
    std::int32_t result;  // > 0: a handle
    int error;
    std::vector<std::uint16_t> openedWith;
  } cases[] = {
      // No write access: once more without the right bits.
      {{115, 0}, 0x000F, 1, 0, {0x000F, 0x0000}},
      {{115}, 0x0000, -1, 115, {0x0000}},
      {{115, 115}, 0x0003, -1, 115, {0x0003, 0x0000}},
      {{38}, 0x000F, -12, 38, {0x000F}},
      {{134}, 0x000F, -1, 134, {0x000F}},
  };
  for (const Case& c : cases) {
    const std::int16_t session = OpenSession();
    FTableLog->FOpens.clear();
    FTableLog->FOpenFailures = c.openFailures;
    const std::int32_t result = TdbSessOpenTable(session, u"Vnd03", u"", c.rights, 1, 0);
    EXPECT_EQ(result, c.result > 0 ? TdbSessFindRltnHdl(session, u"Vnd03") : c.result);
    EXPECT_EQ(LastError(session).first, c.error);
    std::vector<std::uint16_t> openedWith;
    for (const TTdbTableOpenRequest& request : FTableLog->FOpens)
      openedWith.push_back(request.FRights);
    EXPECT_EQ(openedWith, c.openedWith);
    // A failed open leaves the slot free.
    if (c.result < 0) {
      EXPECT_EQ(TdbSessFindRltnHdl(session, u"Vnd03"), 0);
    }
    EXPECT_EQ(TdbSessDelete(session), 0);
  }
}

TEST_F(TCatalogApi, SetupFailureClosesUnlessForced) {
  const std::int16_t session = OpenSession();
  FTableLog->FSetupFailure = tdbErrIndexCorrupt;
  EXPECT_EQ(TdbSessOpenTable(session, u"Vnd03", u"", kAllRights, 1, 0), -1);
  EXPECT_EQ(LastError(session).first, 95);
  EXPECT_EQ(FTableLog->FCloses, 1);
  EXPECT_EQ(TdbSessFindRltnHdl(session, u"Vnd03"), 0);
  EXPECT_EQ(TdbSessOpenTable(session, u"Vnd03", u"", kAllRights, 1, 1), (session - 1) * 256 + 1);
}

TEST_F(TCatalogApi, KeysRelationHandlesAndDuplicateNames) {
  const std::int16_t first = OpenSession();
  const auto second = static_cast<std::int16_t>(TdbCreateSession(u""));
  const std::u16string location = U16(FDir.Path());
  ASSERT_EQ(TdbSessOpenDb(second, location.c_str(), u"user", u"dbkey", 64, 0), 0);
  WriteWholeFile(FDir.File("Other.dat"), "o");

  EXPECT_EQ(TdbSessOpenTable(second, u"Vnd03", u"", kAllRights, 1, 0), 257);
  EXPECT_EQ(TdbSessOpenTable(second, u"Other", u"own", kAllRights, 1, 0), 258);
  EXPECT_EQ(TdbSessOpenTable(first, u"Vnd03", u"", kAllRights, 1, 0), 1);
  ASSERT_EQ(FTableLog->FOpens.size(), 3u);
  EXPECT_EQ(FTableLog->FOpens[0].FKey, u"dbkey");
  EXPECT_EQ(FTableLog->FOpens[1].FKey, u"own");
  EXPECT_EQ(FTableLog->FOpens[2].FKey, u"");
  EXPECT_EQ(FTableLog->FOpens[1].FRltnIdx, 2);

  EXPECT_EQ(TdbSessFindRltnHdl(second, u"Other"), 258);
  EXPECT_EQ(TdbSessFindRltnHdl(second, u"Missing"), 0);
  EXPECT_EQ(TdbSessOpenTable(second, u"Vnd03.dat", u"", kAllRights, 1, 0), -1);
  EXPECT_EQ(LastError(second),
            std::make_pair(35, std::u16string(u"A table named \"Vnd03\" is already open")));
}

TEST_F(TCatalogApi, SlotsRunOutOnlyWhenEveryTableIsInUse) {
  const std::int16_t session = OpenSession();
  for (int i = 1; i <= 254; ++i) {
    const std::u16string name = U16("T" + std::to_string(i));
    WriteWholeFile(FDir.File("T" + std::to_string(i) + ".dat"), "t");
    const std::int32_t relation = TdbSessOpenTable(session, name.c_str(), u"", kAllRights, 1, 0);
    ASSERT_EQ(relation, i);
    ASSERT_GT(TdbTableCreate(static_cast<std::int16_t>(relation), u"c"), 0);
  }
  EXPECT_EQ(TdbSessOpenTable(session, u"Vnd03", u"", kAllRights, 1, 0), -2);
  EXPECT_EQ(LastError(session).first, 94);
  // Deleting a cursor leaves its table unneeded; the next open closes it.
  ASSERT_EQ(TdbTableDelete(100), 0);
  EXPECT_EQ(TdbSessOpenTable(session, u"Vnd03", u"", kAllRights, 1, 0), 100);
  EXPECT_EQ(FTableLog->FCloses, 1);
  EXPECT_EQ(TdbSessFindRltnHdl(session, u"T100"), 0);
}

TEST_F(TCatalogApi, InvalidRelationHandles) {
  const std::int16_t session = OpenSession();
  ASSERT_EQ(TdbSessOpenTable(session, u"Vnd03", u"", kAllRights, 1, 0), 1);
  WriteWholeFile(FDir.File("Closed.dat"), "c");
  ASSERT_EQ(TdbSessOpenTable(session, u"Closed", u"", kAllRights, 1, 0), 2);
  // Vnd03 stays open through its cursor; Closed goes.
  ASSERT_GT(TdbTableCreate(1, u"keep"), 0);
  ASSERT_EQ(TdbSessCloseUnneededTables(session), 0);
  TTdbTableInfo info;
  TdbChar text[64];
  const std::function<std::int32_t(std::int16_t)> calls[] = {
      [&](std::int16_t h) { return TdbRltnGetTableInfo(h, &info); },
      [&](std::int16_t h) { return TdbRltnGetIndexNames(h, text, 64); },
      [&](std::int16_t h) { return TdbRltnGetIndexDesc(h, u"KOD", text, 63); },
      [&](std::int16_t h) { return TdbRltnGetRealIndexName(h, u"KOD", text, 63); },
      [](std::int16_t h) { return TdbRltnActivateEditLocks(h, 1); },
      [](std::int16_t h) { return TdbTableCreate(h, u"c"); },
  };
  for (std::int16_t handle : {std::int16_t{0}, std::int16_t{-1}, std::int16_t{2}, std::int16_t{255},
                              std::int16_t{256}, std::int16_t{257}, std::int16_t{99 * 256 + 1},
                              std::int16_t{100 * 256 + 1}, std::int16_t{-32768}})
    for (size_t i = 0; i < std::size(calls); ++i)
      EXPECT_EQ(calls[i](handle), -17) << "call " << i << " handle " << handle;
  EXPECT_FALSE(FTableLog->FEditLocks);
  EXPECT_EQ(TdbRltnActivateEditLocks(1, 1), 0);
  EXPECT_TRUE(FTableLog->FEditLocks);
}

TEST_F(TCatalogApi, RelationInformation) {
  const std::int16_t session = OpenSession();
  ASSERT_EQ(TdbSessOpenTable(session, u"Vnd03", u"", kAllRights, 1, 0), 1);

  TTdbTableInfo info;
  ASSERT_EQ(TdbRltnGetTableInfo(1, &info), 0);
  EXPECT_EQ(std::u16string(info.FileName), U16(FDir.File("Vnd03.dat")));
  EXPECT_EQ(info.Level, 6);
  EXPECT_EQ(std::u16string(info.Language), u"Kestrel");
  EXPECT_EQ(info.Capacity, 1000);
  EXPECT_EQ(TdbRltnGetTableInfo(1, nullptr), -103);

  // Index names: each ended by a zero, then one more.
  const std::u16string list(u"KOD\0INDMN\0\0", 11);
  EXPECT_EQ(TdbRltnGetIndexNames(1, nullptr, 0), 2);
  TdbChar names[16];
  std::fill(std::begin(names), std::end(names), u'#');
  EXPECT_EQ(TdbRltnGetIndexNames(1, names, 10), -103);
  EXPECT_EQ(names[0], u'#');
  EXPECT_EQ(TdbRltnGetIndexNames(1, names, 11), 2);
  EXPECT_EQ(std::u16string(names, 11), list);
  EXPECT_EQ(names[11], u'#');

  struct Case {
    std::u16string index;
    std::int32_t maxLen;
    std::int32_t result;
    std::u16string desc;
  } descs[] = {
      {u"INDMN", 10, 0, u"MEGNEV;KOD"},
      {u"INDMN", 9, -103, u""},
      {u"Nope", 10, -16, u""},
  };
  for (const Case& c : descs) {
    TdbChar desc[16] = {};
    EXPECT_EQ(TdbRltnGetIndexDesc(1, c.index.c_str(), desc, c.maxLen), c.result);
    EXPECT_EQ(std::u16string(desc), c.desc);
  }
  EXPECT_EQ(LastError(session).first, 36);
  TdbChar real[8];
  EXPECT_EQ(TdbRltnGetRealIndexName(1, u"kod", real, 7), 0);
  EXPECT_EQ(std::u16string(real), u"KOD");
  EXPECT_EQ(TdbRltnGetRealIndexName(1, u"x", real, 7), -16);
}

TEST_F(TCatalogApi, ClosingTheDatabaseClosesCursorsAndTables) {
  const std::int16_t session = OpenSession();
  WriteWholeFile(FDir.File("Other.dat"), "o");
  ASSERT_EQ(TdbSessOpenTable(session, u"Vnd03", u"", kAllRights, 1, 0), 1);
  ASSERT_EQ(TdbSessOpenTable(session, u"Other", u"", kAllRights, 1, 0), 2);
  const std::int32_t cursor = TdbTableCreate(1, u"c");
  ASSERT_GT(cursor, 0);
  EXPECT_EQ(TdbSessCloseDb(session), 0);
  EXPECT_EQ(FTableLog->FCloses, 2);
  EXPECT_EQ(TdbTableFirst(static_cast<std::int16_t>(cursor)), -101);
  EXPECT_EQ(TdbRltnGetTableInfo(1, nullptr), -17);
  EXPECT_EQ(TdbSessDelete(session), 0);
}

TEST_F(TCatalogApi, DeletingTheLastCursorOfATemporaryTableClosesIt) {
  const std::int16_t session = OpenSession();
  FTableLog->FTemporary = true;
  ASSERT_EQ(TdbSessOpenTable(session, u"Vnd03", u"", kAllRights, 1, 0), 1);
  const auto first = static_cast<std::int16_t>(TdbTableCreate(1, u"a"));
  const auto second = static_cast<std::int16_t>(TdbTableCreate(1, u"b"));
  EXPECT_EQ(TdbTableDelete(first), 0);
  EXPECT_EQ(FTableLog->FCloses, 0);
  EXPECT_EQ(TdbTableDelete(second), 0);
  EXPECT_EQ(FTableLog->FCloses, 1);
  EXPECT_EQ(TdbSessFindRltnHdl(session, u"Vnd03"), 0);
}

// Sets of tables are locked in the order of their file names, whatever the
// order given, and a refusal gives back what was taken.
TEST_F(TCatalogApi, SetsOfTablesAreLockedInOneOrder) {
  for (const char* name : {"Bb.dat", "Aa.dat", "Cc.dat"}) WriteWholeFile(FDir.File(name), "t");
  TTdbServices services(DefaultClock());
  TTdbCatalog catalog(services, 90, &GetTableFactory);
  catalog.OpenDatabase(U16(FDir.Path()), u"", 1024, 0);
  const std::int16_t b = static_cast<std::int16_t>(catalog.OpenTable(u"Bb", u"", kAllRights, false));
  const std::int16_t a = static_cast<std::int16_t>(catalog.OpenTable(u"Aa", u"", kAllRights, false));
  const std::int16_t c = static_cast<std::int16_t>(catalog.OpenTable(u"Cc", u"", kAllRights, false));
  using TLocks = std::vector<std::string>;
  struct TCase {
    const char* What;
    std::vector<std::int16_t> Relations;
    bool Write;
    std::vector<std::string> Refused;
    int Error;  // 0: taken
    TLocks Expected;
  };
  const std::vector<TCase> cases = {
      {"read, any order given", {c, 0, a, b}, false, {}, 0, {"+r Aa.dat", "+r Bb.dat", "+r Cc.dat"}},
      {"write, ended by a negative entry", {b, a, -1, c}, true, {}, 0, {"+w Aa.dat", "+w Bb.dat"}},
      {"a refusal gives back the earlier ones",
       {c, b, a},
       true,
       {"Cc.dat"},
       tdbErrTableLocked,
       {"+w Aa.dat", "+w Bb.dat", "-w Bb.dat", "-w Aa.dat"}},
      {"a slot without a table locks nothing", {a, 77}, false, {}, tdbErrInvalidParameter, {}},
  };
  for (const TCase& tc : cases) {
    SCOPED_TRACE(tc.What);
    FTableLog->FLocks.clear();
    FTableLog->FRefusedLocks = tc.Refused;
    int error = 0;
    try {
      if (tc.Write)
        catalog.AcquireWriteLocks(tc.Relations);
      else
        catalog.AcquireReadLocks(tc.Relations);
    } catch (const ETdbEngine& e) {
      error = e.Number();
    }
    EXPECT_EQ(error, tc.Error);
    EXPECT_EQ(FTableLog->FLocks, tc.Expected);
    if (error != 0) continue;
    // Released in the reverse order, once each.
    FTableLog->FLocks.clear();
    if (tc.Write)
      catalog.ReleaseWriteLocks(tc.Relations);
    else
      catalog.ReleaseReadLocks(tc.Relations);
    TLocks released;
    for (auto taken = tc.Expected.rbegin(); taken != tc.Expected.rend(); ++taken)
      released.push_back("-" + taken->substr(1));
    EXPECT_EQ(FTableLog->FLocks, released);
  }
  catalog.CloseDatabase();
}

}  // namespace
}  // namespace kestrel::test
