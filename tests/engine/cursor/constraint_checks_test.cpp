// Check constraints and foreign keys through TTdbConstraintChecks: a parent
// table P (CODE primary key, NAME) and a child C (PCODE → P.CODE, QTY with
// the check "QTY > 0"). Every change is tried on the same starting state;
// a refused change leaves both tables as they were. Then what Setup asks of
// a table with foreign keys (its index, the parent and the parent's index),
// the refusal of a table whose checks nobody checks, and checks on memo
// columns, which see the values a change stores.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "engine/api/kestrel.h"
#include "engine/base/code_page.h"
#include "engine/base/column_codec.h"
#include "engine/base/engine_error.h"
#include "engine/cache/page_manager.h"
#include "engine/cursor/constraint_checks.h"
#include "engine/table/table_check.h"
#include "fault_file_system.h"
#include "temp_dir.h"

namespace kestrel::test {
namespace {

constexpr int kLevel = 5;

// The tables of one directory by standard name; every child names its parent.
class TMapRelatedTables final : public ITdbRelatedTables {
 public:
  TTdbBaseTable* ParentTable(TTdbBaseTable&, const std::u16string& name) override {
    const auto found = Tables.find(Utf16ToUtf8(name));
    return found == Tables.end() ? nullptr : found->second;
  }
  std::vector<TTdbBaseTable*> ChildTables(TTdbBaseTable&) override {
    std::vector<TTdbBaseTable*> all;
    for (const auto& [name, table] : Tables) all.push_back(table);
    return all;
  }
  std::map<std::string, TTdbBaseTable*> Tables;
};

class ConstraintChecks : public ::testing::Test {
 public:
  void SetUp() override { FPageManager.RegisterClient(1, 4096); }

  std::unique_ptr<TTdbBaseTable> NewTable(const std::string& fileName) {
    auto table = std::make_unique<TTdbBaseTable>(FPageManager, FFs, 1);
    table->SetFileName(fileName);
    table->SetLevel(kLevel);
    return table;
  }
  static TTdbDataType Text(bool nullable) { return TTdbDataType::MakeString(tctString, nullable, 10, u"", kLevel); }

  // Makes P and C with P's rows A1 and B2 and C's row (A1, 5), open with
  // the checker installed.
  void MakeTables(const std::function<void(TTdbBaseTable& parent, TTdbBaseTable& child)>& adjust = {}) {
    Parent = NewTable("P.dat");
    Parent->AddColumn(NewColumnDef(u"CODE", Text(false)));
    Parent->AddColumn(NewColumnDef(u"NAME", Text(true)));
    Parent->SetConstraints({{true, u"", u"CODE"}}, {}, {});
    Child = NewTable("C.dat");
    Child->AddColumn(NewColumnDef(u"PCODE", Text(true)));
    Child->AddColumn(NewColumnDef(u"QTY", TTdbDataType::Make(tctLongInt, true, kLevel)));
    Child->SetConstraints({}, {{u"positive", u"QTY > 0"}}, {{u"fk", u"PCODE", u"P", u"CODE", 0, 0}});
    if (adjust) adjust(*Parent, *Child);
    Related->Tables = {{"P", Parent.get()}, {"C", Child.get()}};
    for (TTdbBaseTable* table : {Parent.get(), Child.get()}) {
      table->NewFile();
      table->SetConstraintChecker(Checker);
    }
    Parent->Setup();
    Child->Setup();
    AppendParent("A1", "first");
    AppendParent("B2", "second");
    AppendChild("A1", 5);
  }

  std::vector<std::uint8_t> ParentImage(const std::string& code, const std::string& name) {
    std::vector<std::uint8_t> record(static_cast<std::size_t>(Parent->RecordSize()));
    Parent->InitRecord(record, false);
    WriteValue(Parent->Columns()[0].DataType, Parent->Columns().ColumnBytes(std::span<std::uint8_t>(record), 0),
               Utf8ToUtf16(code));
    WriteValue(Parent->Columns()[1].DataType, Parent->Columns().ColumnBytes(std::span<std::uint8_t>(record), 1),
               Utf8ToUtf16(name));
    return record;
  }
  // An empty code or a quantity of 0 is NULL.
  std::vector<std::uint8_t> ChildImage(const std::string& code, std::int64_t qty) {
    std::vector<std::uint8_t> record(static_cast<std::size_t>(Child->RecordSize()));
    Child->InitRecord(record, false);
    const TTdbValue codeValue = code.empty() ? TTdbValue{} : TTdbValue{Utf8ToUtf16(code)};
    const TTdbValue qtyValue = qty == 0 ? TTdbValue{} : TTdbValue{qty};
    WriteValue(Child->Columns()[0].DataType, Child->Columns().ColumnBytes(std::span<std::uint8_t>(record), 0),
               codeValue);
    WriteValue(Child->Columns()[1].DataType, Child->Columns().ColumnBytes(std::span<std::uint8_t>(record), 1),
               qtyValue);
    return record;
  }
  void AppendParent(const std::string& code, const std::string& name) {
    std::vector<std::uint8_t> record = ParentImage(code, name);
    Parent->AppendRecord(record, {});
  }
  void AppendChild(const std::string& code, std::int64_t qty) {
    std::vector<std::uint8_t> record = ChildImage(code, qty);
    Child->AppendRecord(record, {});
  }
  // The records of a table as text, in record order.
  static std::vector<std::string> Dump(TTdbBaseTable& table) {
    std::vector<std::string> rows;
    std::vector<std::uint8_t> record(static_cast<std::size_t>(table.RecordSize()));
    for (std::int32_t r = 1; r <= table.RecordCount(); ++r) {
      table.ReadRecord(r, record);
      std::string row;
      for (std::size_t c = 0; c < table.Columns().Count(); ++c) {
        const TTdbValue value =
            ReadValue(table.Columns()[c].DataType, table.Columns().ColumnBytes(std::span<const std::uint8_t>(record), c));
        if (const auto* text = std::get_if<std::u16string>(&value)) row += Utf16ToUtf8(*text);
        if (const auto* number = std::get_if<std::int64_t>(&value)) row += std::to_string(*number);
        row += "|";
      }
      rows.push_back(row);
    }
    return rows;
  }
  static int ErrorOf(const std::function<void()>& action) {
    try {
      action();
    } catch (const ETdbEngine& e) {
      return e.Number();
    }
    return 0;
  }

  TTempDir FDir;
  TFaultFileSystem FFs{FDir.Path()};
  TTdbPageManager FPageManager;
  std::shared_ptr<TMapRelatedTables> Related = std::make_shared<TMapRelatedTables>();
  std::shared_ptr<TTdbConstraintChecks> Checker = std::make_shared<TTdbConstraintChecks>(Related);
  std::unique_ptr<TTdbBaseTable> Parent, Child;
};

TEST_F(ConstraintChecks, EveryChangeIsCheckedAndARefusedOneChangesNothing) {
  struct Case {
    const char* What;
    std::function<void(ConstraintChecks&)> Change;
    int Error;
  };
  const std::vector<Case> cases = {
      {"child with an existing parent", [](ConstraintChecks& t) { t.AppendChild("B2", 1); }, 0},
      {"child without parent (NULL key)", [](ConstraintChecks& t) { t.AppendChild("", 1); }, 0},
      {"check UNKNOWN on NULL passes", [](ConstraintChecks& t) { t.AppendChild("A1", 0); }, 0},
      {"check false on append", [](ConstraintChecks& t) { t.AppendChild("A1", -1); }, tdbErrConstraint},
      {"missing parent on append", [](ConstraintChecks& t) { t.AppendChild("ZZ", 1); }, tdbErrParentRowMissing},
      {"check false on replace",
       [](ConstraintChecks& t) {
         std::vector<std::uint8_t> record = t.ChildImage("A1", -3);
         t.Child->ReplaceRecord(record, {}, 1);
       },
       tdbErrConstraint},
      {"missing parent on replace",
       [](ConstraintChecks& t) {
         std::vector<std::uint8_t> record = t.ChildImage("ZZ", 5);
         t.Child->ReplaceRecord(record, {}, 1);
       },
       tdbErrParentRowMissing},
      {"child replaced to another parent",
       [](ConstraintChecks& t) {
         std::vector<std::uint8_t> record = t.ChildImage("B2", 5);
         t.Child->ReplaceRecord(record, {}, 1);
       },
       0},
      {"primary key twice", [](ConstraintChecks& t) { t.AppendParent("A1", "again"); }, tdbErrNotUnique},
      {"delete a referred parent", [](ConstraintChecks& t) { t.Parent->DeleteRecord(1); }, tdbErrIntegrityRule},
      {"delete a free parent", [](ConstraintChecks& t) { t.Parent->DeleteRecord(2); }, 0},
      {"change a referred parent's key",
       [](ConstraintChecks& t) {
         std::vector<std::uint8_t> record = t.ParentImage("X1", "first");
         t.Parent->ReplaceRecord(record, {}, 1);
       },
       tdbErrIntegrityRule},
      {"change a referred parent, key kept",
       [](ConstraintChecks& t) {
         std::vector<std::uint8_t> record = t.ParentImage("A1", "renamed");
         t.Parent->ReplaceRecord(record, {}, 1);
       },
       0},
      {"change a free parent's key",
       [](ConstraintChecks& t) {
         std::vector<std::uint8_t> record = t.ParentImage("X2", "second");
         t.Parent->ReplaceRecord(record, {}, 2);
       },
       0},
      {"delete the child, then its parent",
       [](ConstraintChecks& t) {
         t.Child->DeleteRecord(1);
         t.Parent->DeleteRecord(1);
       },
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    MakeTables();
    const std::vector<std::string> parentBefore = Dump(*Parent), childBefore = Dump(*Child);
    EXPECT_EQ(ErrorOf([&] { c.Change(*this); }), c.Error);
    if (c.Error != 0) {
      EXPECT_EQ(Dump(*Parent), parentBefore);
      EXPECT_EQ(Dump(*Child), childBefore);
    }
    EXPECT_TRUE(CheckTable(*Parent).empty());
    EXPECT_TRUE(CheckTable(*Child).empty());
    Child.reset();
    Parent.reset();
    for (const auto& entry : std::filesystem::directory_iterator(FDir.Path())) std::filesystem::remove(entry.path());
  }
}

// A child that was never opened for changes has no index on its foreign
// key ("IR_" is made by the first writer). Its rows are walked: a parent row
// goes or changes its key only when no child row refers to it, compared as
// the key's index compares (so the child's "b2" refers to "B2").
TEST_F(ConstraintChecks, AChildWithoutAnIndexOnItsForeignKeyIsWalked) {
  struct Case {
    const char* What;
    std::function<void(ConstraintChecks&)> Change;
    int Error;
  };
  const auto rekey = [](std::int32_t recNo, const char* code, const char* name) {
    return [=](ConstraintChecks& t) {
      std::vector<std::uint8_t> record = t.ParentImage(code, name);
      t.Parent->ReplaceRecord(record, {}, recNo);
    };
  };
  const std::vector<Case> cases = {
      {"delete a referred parent", [](ConstraintChecks& t) { t.Parent->DeleteRecord(1); }, tdbErrIntegrityRule},
      {"delete a parent referred in other case", [](ConstraintChecks& t) { t.Parent->DeleteRecord(2); },
       tdbErrIntegrityRule},
      {"change a referred parent's key", rekey(2, "X2", "second"), tdbErrIntegrityRule},
      {"change a referred parent, key kept", rekey(2, "B2", "renamed"), 0},
      {"delete a free parent", [](ConstraintChecks& t) { t.Parent->DeleteRecord(3); }, 0},
      {"change a free parent's key", rekey(3, "X3", "third"), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    MakeTables();
    AppendChild("b2", 1);
    AppendParent("C3", "third");
    Child->DeleteIndex(Child->GetIndexNo(u"IR_fk"));
    Child->Close();
    Child->SetRights(0);
    Child->SetConstraintChecker(nullptr);
    Child->Open();
    Child->Setup();
    ASSERT_LT(Child->FindIndexOn(u"PCODE"), 0);
    const std::vector<std::string> parentBefore = Dump(*Parent);
    EXPECT_EQ(ErrorOf([&] { c.Change(*this); }), c.Error);
    if (c.Error != 0) {
      EXPECT_EQ(Dump(*Parent), parentBefore);
    }
    EXPECT_EQ(Child->RecordCount(), 2);
    EXPECT_TRUE(CheckTable(*Parent).empty());
    Child.reset();
    Parent.reset();
    for (const auto& entry : std::filesystem::directory_iterator(FDir.Path())) std::filesystem::remove(entry.path());
  }
}

TEST_F(ConstraintChecks, TheViolatedConditionIsNamedInTheMessage) {
  MakeTables();
  try {
    AppendChild("A1", -1);
    FAIL() << "the check let the record pass";
  } catch (const ETdbEngine& e) {
    EXPECT_EQ(e.Message(), "The record violates a constraint: \"QTY > 0\"");
  }
}

TEST_F(ConstraintChecks, SetupFindsOrMakesTheForeignKeyIndexAndReachesTheParent) {
  MakeTables();
  EXPECT_GE(Child->GetIndexNo(u"IR_fk"), 0) << "the child's columns got an index of their own";
  EXPECT_EQ(Parent->IndexName(Parent->PrimIndexNo()), u"sys_Primary");
  Child.reset();
  Parent.reset();

  struct Case {
    const char* What;
    std::function<void(TMapRelatedTables&, TTdbBaseTable& child)> Break;
    int Error;
  };
  const std::vector<Case> cases = {
      {"parent missing", [](TMapRelatedTables& related, TTdbBaseTable&) { related.Tables.erase("P"); },
       tdbErrParentTableNotFound},
      {"no index may be made", [](TMapRelatedTables&, TTdbBaseTable& child) { child.SetRights(tarAppend); },
       tdbErrNoSuitableIndex},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    for (const char* name : {"C.dat", "C!IR_fk.ind"}) std::filesystem::remove(FDir.File(name));
    auto parent = std::make_unique<TTdbBaseTable>(FPageManager, FFs, 1);
    parent->SetRights(kNewTableRights);
    parent->SetFileName("P.dat");
    parent->Open();
    parent->Setup();
    Child = NewTable("C.dat");
    Child->AddColumn(NewColumnDef(u"PCODE", Text(true)));
    Child->SetConstraints({}, {}, {{u"fk", u"PCODE", u"P", u"CODE", 0, 0}});
    Child->NewFile();
    Child->Close();
    Child->SetRights(kNewTableRights);
    Child->Open();
    Related->Tables = {{"P", parent.get()}, {"C", Child.get()}};
    c.Break(*Related, *Child);
    Child->SetConstraintChecker(Checker);
    EXPECT_EQ(ErrorOf([&] { Child->Setup(); }), c.Error);
    Child.reset();
  }
}

TEST_F(ConstraintChecks, AParentWithoutIndexOnItsColumnsIsRefused) {
  try {
    MakeTables([](TTdbBaseTable& parent, TTdbBaseTable&) { parent.SetConstraints({}, {}, {}); });
    FAIL() << "the child was set up without a parent index";
  } catch (const ETdbEngine& e) {
    EXPECT_EQ(e.Message(), "No suitable index found for \"P.CODE\"");
  }
}

TEST_F(ConstraintChecks, WithoutACheckerATableWithChecksIsNotChanged) {
  MakeTables();
  Child->SetConstraintChecker(nullptr);
  EXPECT_EQ(ErrorOf([&] { AppendChild("A1", -1); }), tdbErrNotSupported);
  EXPECT_EQ(ErrorOf([&] { Child->DeleteRecord(1); }), tdbErrNotSupported);
  EXPECT_EQ(Child->RecordCount(), 1);
}

TEST_F(ConstraintChecks, ASessionChecksThemThroughTheFlatInterface) {
  MakeTables();
  const std::vector<std::uint8_t> negative = ChildImage("A1", -2), orphan = ChildImage("ZZ", 2);
  Child.reset();
  Parent.reset();
  const std::int16_t session = static_cast<std::int16_t>(TdbCreateSession(u""));
  ASSERT_GT(session, 0);
  ASSERT_EQ(TdbSessOpenDb(session, Utf8ToUtf16(FDir.Path()).c_str(), u"", u"", 4096, 0), 0);
  const auto lastError = [session] {
    std::int32_t code = -1;
    TdbChar message[256] = {};
    TdbSessGetLastError(session, &code, message, 255);
    return std::make_pair(static_cast<int>(code), Utf16ToUtf8(message));
  };
  const auto cursorOn = [&](const char16_t* name) {
    const std::int32_t relation = TdbSessOpenTable(session, name, u"", 0xF8FF, 0, 0);
    EXPECT_GT(relation, 0) << lastError().second;
    return static_cast<std::int16_t>(TdbTableCreate(static_cast<std::int16_t>(relation), u"test"));
  };
  const std::int16_t child = cursorOn(u"C");
  for (const auto& [record, error] : {std::make_pair(negative, tdbErrConstraint), std::make_pair(orphan, tdbErrParentRowMissing)}) {
    ASSERT_EQ(TdbTableAppend(child), 0);
    ASSERT_EQ(TdbTableSetRecord(child, record.data(), static_cast<std::int32_t>(record.size())), 0);
    EXPECT_LT(TdbTableAppendConfirm(child), 0);
    EXPECT_EQ(lastError().first, error) << lastError().second;
    TdbTableAppendCancel(child);
  }
  EXPECT_EQ(TdbTableRecordCount(child), 1);
  const std::int16_t parent = cursorOn(u"P");
  ASSERT_GE(TdbTableFirst(parent), 0);
  EXPECT_LT(TdbTableDeleteRecord(parent), 0);
  EXPECT_EQ(lastError(), std::make_pair(static_cast<int>(tdbErrIntegrityRule),
                                        std::string("The operation violates integrity rule \"fk\"")));
  EXPECT_EQ(TdbTableRecordCount(parent), 2);
  TdbSessDelete(session);
}

}  // namespace
}  // namespace kestrel::test

namespace kestrel::test {
namespace {

// A check on a memo column sees the value the change stores: the new value
// of an append or a replace that names it, the kept one of a replace that
// does not. A refused change writes nothing, memo file included.
TEST_F(ConstraintChecks, ChecksOnMemoColumnsSeeTheNewValues) {
  auto table = NewTable("M.dat");
  table->AddColumn(NewColumnDef(u"K", Text(true)));
  table->AddColumn(NewColumnDef(u"NOTE", TTdbDataType::Make(tctMemo, true, kLevel)));
  table->SetConstraints({}, {{u"allowed", u"NOTE <> 'forbidden'"}}, {});
  table->NewFile();
  table->SetConstraintChecker(Checker);
  table->Setup();
  auto image = [&](const std::string& key) {
    std::vector<std::uint8_t> record(static_cast<std::size_t>(table->RecordSize()));
    table->InitRecord(record, false);
    WriteValue(table->Columns()[0].DataType, table->Columns().ColumnBytes(std::span<std::uint8_t>(record), 0),
               Utf8ToUtf16(key));
    return record;
  };
  auto note = [&](std::int32_t recNo) {
    std::vector<std::uint8_t> record(static_cast<std::size_t>(table->RecordSize()));
    table->ReadRecord(recNo, record);
    return table->ReadMemoString(record, 2);
  };
  auto memo = [](const std::string& text) { return TTdbBlobDataList{{2, text, u""}}; };
  {
    std::vector<std::uint8_t> record = image("a");
    ASSERT_EQ(table->AppendRecord(record, memo("fine")), 1);
  }
  const std::string memoBefore = ReadWholeFile(FDir.File("M.mmo"));
  struct Case {
    const char* Name;
    bool Replace;
    TTdbBlobDataList Values;
    int Error;
  };
  const Case cases[] = {
      {"append with a refused memo", false, memo("forbidden"), tdbErrConstraint},
      {"replace with a refused memo", true, memo("forbidden"), tdbErrConstraint},
      {"replace keeping the stored memo", true, {}, 0},
      {"append with an allowed memo", false, memo("also fine"), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::int32_t count = table->RecordCount();
    std::vector<std::uint8_t> record = image("b");
    const int error = ErrorOf([&] {
      if (c.Replace)
        table->ReplaceRecord(record, c.Values, 1);
      else
        table->AppendRecord(record, c.Values);
    });
    EXPECT_EQ(error, c.Error);
    if (c.Error == 0) continue;
    EXPECT_EQ(table->RecordCount(), count);
    EXPECT_EQ(note(1), "fine");
    EXPECT_TRUE(ReadWholeFile(FDir.File("M.mmo")) == memoBefore) << "the memo file changed";
  }
  EXPECT_EQ(note(1), "fine");
  EXPECT_EQ(note(2), "also fine");
  table->Close();
}

}  // namespace
}  // namespace kestrel::test
