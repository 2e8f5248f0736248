// Changes that fail half way are taken back whole: an index that refuses an
// item (a stray item left in it by damage) makes append, replace and delete
// fail with 4 or 5 and leaves records, memos and the other indexes as they
// were. Block numbers in the caller's buffer are never trusted: replace and
// delete free the chains of the stored record, append takes only the values
// it is given. A write that fails is reported by the change that made it,
// and that change is taken back.
#include "table_fixture.h"

namespace kestrel::test {
namespace {

using ChangeFailureTest = TableFixture;

const std::vector<TRow> kRows = {
    {"10", "Tíz", "a tíz leírása"},
    {"20", "Húsz", std::string(600, 'h')},
    {"30", "Harminc", "harminc"},
};

// Adds (or removes) the item of `row` with record number recNo in an index,
// behind the table's back.
void Tamper(TTdbBaseTable& table, const char16_t* index, const TRow& row, std::int32_t recNo, bool add) {
  const int no = table.GetIndexNo(index);
  std::vector<std::uint8_t> item;
  table.CalcIndexInfo(no, TableFixture::Image(table, row), recNo, item);
  TTdbIndexFile& file = table.GetIndexFile(no);
  ASSERT_TRUE(add ? file.Add_Index(item.data()) : file.Loesche_Index(item.data()));
}

TEST_F(ChangeFailureTest, AnIndexThatRefusesTheItemLeavesEverythingAsItWas) {
  const TRow added{"50", "Ötven", std::string(400, 'o')};
  const TRow changed{"21", "Huszonegy", std::string(300, 'x')};
  struct Case {
    const char* what;
    std::function<void(TTdbBaseTable&)> damage, change, repair;
    int error;
  } cases[] = {
      {"append", [&](TTdbBaseTable& t) { Tamper(t, u"INDMN", added, 4, true); },
       [&](TTdbBaseTable& t) { Append(t, added); },
       [&](TTdbBaseTable& t) { Tamper(t, u"INDMN", added, 4, false); }, tdbErrIndexInsert},
      {"replace", [&](TTdbBaseTable& t) { Tamper(t, u"INDMN", changed, 2, true); },
       [&](TTdbBaseTable& t) { Replace(t, 2, changed); },
       [&](TTdbBaseTable& t) { Tamper(t, u"INDMN", changed, 2, false); }, tdbErrIndexInsert},
      {"delete", [&](TTdbBaseTable& t) { Tamper(t, u"INDMN", kRows[0], 1, false); },
       [&](TTdbBaseTable& t) { t.DeleteRecord(1); },
       [&](TTdbBaseTable& t) { Tamper(t, u"INDMN", kRows[0], 1, true); }, tdbErrIndexDelete},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveAllFiles();
    auto table = Create();
    for (const TRow& row : kRows) Append(*table, row);
    const std::vector<std::int32_t> kod = IndexOrder(*table, 0);
    c.damage(*table);
    table->Flush();
    const std::string memo = Raw("Vnd03.mmo");
    EXPECT_EQ(ErrorOf([&] { c.change(*table); }), c.error);
    EXPECT_EQ(Rows(*table), kRows);
    EXPECT_EQ(IndexOrder(*table, 0), kod);
    c.repair(*table);
    EXPECT_TRUE(Check(*table).empty());
    table->Close();
    // No memo block was lost: the next value of the same size takes the
    // blocks the failed change had taken and given back.
    const std::size_t memoSize = memo.size();
    table = Open();
    Append(*table, {"60", "Hatvan", std::string(400, 'o')});
    table->Close();
    EXPECT_EQ(Raw("Vnd03.mmo").size(), memoSize);
  }
}

TEST_F(ChangeFailureTest, AFailingWriteIsReportedByTheChangeThatMadeItAndTakenBack) {
  const TRow added{"50", "Ötven", std::string(400, 'o')};
  const TRow changed{"21", "Huszonegy", std::string(900, 'x')};
  const TRow next{"70", "Hetven", "hetven"};
  struct Case {
    const char* what;
    std::function<void(TTdbBaseTable&)> change;
    std::vector<TRow> after;
  } cases[] = {
      {"append", [&](TTdbBaseTable& t) { Append(t, added); }, {kRows[0], kRows[1], kRows[2], added}},
      {"replace", [&](TTdbBaseTable& t) { Replace(t, 2, changed); }, {kRows[0], changed, kRows[2]}},
      {"delete", [&](TTdbBaseTable& t) { t.DeleteRecord(1); }, {kRows[2], kRows[1]}},
  };
  constexpr int kMaxWrites = 400;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bool finished = false;
    for (int n = 1; n < kMaxWrites && !finished; ++n) {
      SCOPED_TRACE(n);
      RemoveAllFiles();
      auto table = Create();
      for (const TRow& row : kRows) Append(*table, row);
      const int faults = FFs.GetFaultCount();
      FFs.FailNthWrite(n);
      const int error = ErrorOf([&] { c.change(*table); });
      finished = FFs.GetFaultCount() == faults;
      FFs.Disarm();
      // Either the change is written and reported done, or it is reported
      // failed and the table is as before it, in the cache and in the files.
      const std::vector<TRow> rows = Rows(*table);
      if (error != 0) {
        EXPECT_EQ(error, tdbErrWriteFile);
        EXPECT_EQ(rows, kRows);
      } else {
        EXPECT_EQ(rows, c.after);
      }
      EXPECT_TRUE(Check(*table).empty());
      // The failure is not reported again by the next change.
      EXPECT_EQ(ErrorOf([&] { Append(*table, next); }), 0);
      table->Close();
      table = Open();
      std::vector<TRow> expected = error != 0 ? kRows : c.after;
      expected.push_back(next);
      EXPECT_EQ(Rows(*table), expected);
      EXPECT_TRUE(Check(*table).empty());
    }
    EXPECT_TRUE(finished);
  }
}

TEST_F(ChangeFailureTest, BlockNumbersInTheCallersBufferAreNotTrusted) {
  auto table = Create();
  for (const TRow& row : kRows) Append(*table, row);
  std::vector<std::uint8_t> record(static_cast<std::size_t>(table->RecordSize()));
  table->ReadRecord(2, record);
  const std::int32_t blockOfRecord2 = table->GetBlockIdx(record, kLeiras);
  // An append whose buffer names record 2's chain stores only its own value.
  std::vector<std::uint8_t> appended = Image(*table, {"40", "Negyven", ""});
  table->SetBlockIdx(appended, kLeiras, blockOfRecord2);
  table->AppendRecord(appended, {});
  // A replace and a delete whose buffers name record 2's chain free the
  // chains of their own stored records.
  std::vector<std::uint8_t> replaced = Image(*table, {"10", "Tíz", ""});
  table->SetBlockIdx(replaced, kLeiras, blockOfRecord2);
  table->ReplaceRecord(replaced, Memo({"10", "Tíz", "új"}), 1);
  table->DeleteRecord(3);
  EXPECT_EQ(Rows(*table), (std::vector<TRow>{{"10", "Tíz", "új"}, kRows[1], {"40", "Negyven", ""}}));
  EXPECT_TRUE(Check(*table).empty());
}

}  // namespace
}  // namespace kestrel::test
