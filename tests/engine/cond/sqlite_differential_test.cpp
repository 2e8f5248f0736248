// Differential test: random tables in memory and in SQLite, random
// conditions within the common ground of both languages (comparisons,
// AND/OR/NOT, LIKE with % and _, IN, BETWEEN with non-NULL bounds, IS NULL,
// integer + - *, string concatenation and LENGTH), and both must select the
// same records.
//
// Two known differences are bridged in the SQLite text: LIKE with a NULL
// operand is FALSE here (UNKNOWN in SQLite), and strings compare without
// regard to the case of a-z here and with NOCASE in SQLite, which agree as
// long as the texts hold none of the characters between Z and a.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <random>
#include <set>

#include "engine/base/code_page.h"
#include "engine/cond/sql_condition.h"
#include "vector_record_source.h"

namespace kestrel {
namespace {

class TDifferential {
 public:
  explicit TDifferential(uint32_t seed) : FRandom(seed) {
    EXPECT_EQ(sqlite3_open(":memory:", &FDb), SQLITE_OK);
    Exec("CREATE TABLE t(id INTEGER PRIMARY KEY, K TEXT COLLATE NOCASE, M TEXT COLLATE NOCASE, N INTEGER, X REAL)");
    TCondDataType text = MakeStringType(cctWideString, 10);
    text.FNullable = true;
    FTable.AddColumn(u"K", text);
    FTable.AddColumn(u"M", text);
    FTable.AddColumn(u"N", MakeType(cctLongInt, true));
    FTable.AddColumn(u"X", MakeType(cctFloat, true));
  }
  ~TDifferential() { sqlite3_close(FDb); }

  void FillRows(int count) {
    sqlite3_stmt* insert = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(FDb, "INSERT INTO t VALUES (?, ?, ?, ?, ?)", -1, &insert, nullptr), SQLITE_OK);
    for (int id = 0; id < count; ++id) {
      std::vector<TCondValue> row;
      sqlite3_bind_int(insert, 1, id);
      for (int column = 0; column < 2; ++column) {
        if (Chance(6)) {
          row.emplace_back();
          sqlite3_bind_null(insert, column + 2);
        } else {
          const std::u16string value = RandomText(4);
          row.push_back(TCondValue::String(value));
          sqlite3_bind_text(insert, column + 2, Utf16ToUtf8(value).c_str(), -1, SQLITE_TRANSIENT);
        }
      }
      if (Chance(6)) {
        row.emplace_back();
        sqlite3_bind_null(insert, 4);
      } else {
        const int64_t n = RandomInteger();
        row.push_back(TCondValue::Integer(n));
        sqlite3_bind_int64(insert, 4, n);
      }
      if (Chance(6)) {
        row.emplace_back();
        sqlite3_bind_null(insert, 5);
      } else {
        const double x = RandomFloat();
        row.push_back(TCondValue::Float(x));
        sqlite3_bind_double(insert, 5, x);
      }
      ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
      sqlite3_reset(insert);
      FTable.AddRow(std::move(row));
    }
    sqlite3_finalize(insert);
  }

  // A random condition: ours and SQLite's text.
  std::pair<std::string, std::string> Condition(int depth) {
    if (depth > 0 && Chance(2)) {
      auto [leftOurs, leftSqlite] = Condition(depth - 1);
      auto [rightOurs, rightSqlite] = Condition(depth - 1);
      const char* op = Chance(2) ? " AND " : " OR ";
      const char* negation = Chance(4) ? "NOT " : "";
      return {negation + ("(" + leftOurs + op + rightOurs + ")"),
              negation + ("(" + leftSqlite + op + rightSqlite + ")")};
    }
    return Predicate();
  }

  std::set<int> OurRows(const std::string& text) {
    TTdbSqlCondition condition{Utf8ToUtf16(text)};
    condition.Prepare(FTable);
    std::set<int> rows;
    for (size_t row = 0; row < FTable.RowCount(); ++row) {
      FTable.SetRow(row);
      if (condition.Evaluate()) rows.insert(static_cast<int>(row));
    }
    return rows;
  }

  std::set<int> SqliteRows(const std::string& text) {
    std::set<int> rows;
    sqlite3_stmt* select = nullptr;
    const std::string sql = "SELECT id FROM t WHERE " + text;
    EXPECT_EQ(sqlite3_prepare_v2(FDb, sql.c_str(), -1, &select, nullptr), SQLITE_OK) << sql << sqlite3_errmsg(FDb);
    while (select && sqlite3_step(select) == SQLITE_ROW) rows.insert(sqlite3_column_int(select, 0));
    sqlite3_finalize(select);
    return rows;
  }

 private:
  bool Chance(int oneIn) { return FRandom() % oneIn == 0; }
  template <typename T>
  const T& Pick(std::initializer_list<T> items) {
    return items.begin()[FRandom() % items.size()];
  }

  std::u16string RandomText(int maxLength) {
    // No character between Z and a (see above); accented letters compare
    // by code in both.
    static const std::u16string kChars = u"aAbBcC ?%áÁő";
    std::u16string text;
    for (int n = FRandom() % (maxLength + 1); n > 0; --n) text += kChars[FRandom() % kChars.size()];
    return text;
  }
  std::u16string RandomPattern() {
    static const std::u16string kChars = u"aAbB %%__áő";
    std::u16string text;
    for (int n = FRandom() % 5; n > 0; --n) text += kChars[FRandom() % kChars.size()];
    return text;
  }
  int64_t RandomInteger() { return Chance(10) ? 3000000000LL : static_cast<int64_t>(FRandom() % 11) - 5; }
  double RandomFloat() { return Pick({-2.5, 0.0, 1.5, 3.25, 1e10, -0.125}); }

  static std::string Quoted(const std::u16string& text) {
    std::string result = "'";
    for (char c : Utf16ToUtf8(text)) {
      result += c;
      if (c == '\'') result += c;
    }
    return result + "'";
  }

  std::string Number(bool integer) {
    if (integer) return std::to_string(RandomInteger());
    return Pick<std::string>({"-2.5", "0.0", "1.5", "3.25", "10000000000.0", "-0.125", "2"});
  }

  // One operand of a column's kind: a literal or a column of the same kind.
  std::string Operand(bool text, bool integer) {
    if (text) return Chance(4) ? Pick<std::string>({"K", "M"}) : Quoted(RandomText(3));
    if (Chance(4)) return integer ? "N" : "X";
    return Number(integer);
  }

  std::pair<std::string, std::string> Predicate() {
    const int kind = FRandom() % 4;  // K/M text, N integer, X float
    const bool text = kind < 2;
    const bool integer = kind == 2;
    std::string column = kind == 0 ? "K" : kind == 1 ? "M" : integer ? "N" : "X";
    if (integer && Chance(4)) column = "N " + Pick<std::string>({"+", "*", "-"}) + " " + std::to_string(FRandom() % 5);
    if (integer && Chance(6)) column = Pick<std::string>({"LENGTH(K)", "LENGTH(M || K)"});
    // SQLite gives an expression of columns no collation of its own.
    std::string sqliteColumn = column;
    if (text && Chance(6)) {
      column = Pick<std::string>({"K || M", "M || 'a'"});
      sqliteColumn = "(" + column + ") COLLATE NOCASE";
    }
    auto both = [](const std::string& ours, const std::string& sqlite) { return std::make_pair(ours, sqlite); };
    switch (FRandom() % 7) {
      case 0:
      case 1: {
        const std::string op = " " + Pick<std::string>({"=", "<>", "<", "<=", ">", ">="}) + " ";
        const std::string other = Operand(text, integer);
        if (Chance(3)) return both(other + op + column, other + op + sqliteColumn);
        return both(column + op + other, sqliteColumn + op + other);
      }
      case 2: {
        if (!text) return Predicate();
        const std::string pattern = " LIKE " + Quoted(RandomPattern());
        const std::string negation = Chance(3) ? "NOT " : "";
        return both(negation + column + pattern, negation + "COALESCE(" + sqliteColumn + pattern + ", 0)");
      }
      case 3: {
        std::string list = Operand(text, integer);
        for (int n = FRandom() % 4; n > 0; --n) list += ", " + (Chance(6) ? std::string("NULL") : Operand(text, integer));
        const std::string in = std::string(Chance(3) ? " NOT" : "") + " IN (" + list + ")";
        return both(column + in, sqliteColumn + in);
      }
      case 4: {
        const std::string between = std::string(Chance(3) ? " NOT" : "") + " BETWEEN " +
                                    (text ? Quoted(RandomText(2)) : Number(integer)) + " AND " +
                                    (text ? Quoted(RandomText(2)) : Number(integer));
        return both(column + between, sqliteColumn + between);
      }
      default: {
        const std::string test = Chance(2) ? " IS NULL" : " IS NOT NULL";
        return both(column + test, sqliteColumn + test);
      }
    }
  }

  void Exec(const char* sql) { ASSERT_EQ(sqlite3_exec(FDb, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql; }

  std::mt19937 FRandom;
  sqlite3* FDb = nullptr;
  test::TVectorRecordSource FTable;
};

TEST(ConditionDifferential, SameRecordsAsSqlite) {
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    TDifferential differential(seed);
    differential.FillRows(60);
    for (int round = 0; round < 150; ++round) {
      const auto [ours, sqlite] = differential.Condition(3);
      std::set<int> ourRows;
      ASSERT_NO_THROW(ourRows = differential.OurRows(ours)) << ours;
      ASSERT_EQ(ourRows, differential.SqliteRows(sqlite)) << "seed " << seed << ": " << ours;
    }
  }
}

}  // namespace
}  // namespace kestrel
