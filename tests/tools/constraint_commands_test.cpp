// kestrel create with every column type and with constraints: a round trip
// of every type through create, import and export; the spellings of Enum,
// Link and Relation columns; --primary-key, --unique, --check and
// --foreign-key checked by import, update and delete; info listing them.
// A refused command exits with 1, one line on stderr, and changes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "temp_dir.h"
#include "tool_runner.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kEveryType = {
    "C Char",           "S String(10)",      "W WideString(10)", "B Byte",         "I Int16",
    "L LongInt",        "G Int64",           "F Float",          "BO Boolean",     "D Date",
    "T Time",           "DT DateTime",       "GU Guid",          "M Memo",         "WM WideMemo",
    "BL Blob",          "ID RecordId",       "E Enum(alma, korte,szilva)", "LK Link(Other)",
    "R Relation(Other)"};

class KestrelConstraintCommands : public testing::Test {
 protected:
  TToolRun Kestrel(const std::vector<std::string>& args) { return RunKestrel(args, FDir); }
  std::string Table(const std::string& name) const { return (FDir / name).string(); }
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(FDir / name, std::ios::binary) << text;
    return (FDir / name).string();
  }
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(FDir)) files[entry.path().filename()] = Slurp(entry.path());
    return files;
  }
  TToolRun Create(const std::string& name, int level, const std::vector<std::string>& columns,
                  const std::vector<std::string>& more = {}) {
    std::vector<std::string> args = {"create", Table(name), "--level", std::to_string(level)};
    for (const std::string& column : columns) args.insert(args.end(), {"--column", column});
    args.insert(args.end(), more.begin(), more.end());
    return Kestrel(args);
  }
  // Runs a command that must be refused and checks that nothing changed.
  void ExpectRefused(const std::vector<std::string>& args, const std::string& message) {
    SCOPED_TRACE(args[0] + " " + message);
    const auto before = Files();
    const TToolRun run = Kestrel(args);
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find(message), std::string::npos) << run.Err;
    EXPECT_EQ(run.Err.find('\n'), run.Err.size() - 1) << run.Err;
    EXPECT_TRUE(Files() == before);
  }

  test::TTempDir FTemp;
  fs::path FDir = FTemp.Path();
};

TEST_F(KestrelConstraintCommands, EveryColumnTypeRoundTripsThroughCreateImportAndExport) {
  // Below level 6 a relation table is named by its column alone, so the
  // second table of each level lies in a directory of its own.
  fs::create_directory(FDir / "again");
  for (const int level : {5, 6}) {
    SCOPED_TRACE(level);
    const std::string first = "All" + std::to_string(level), second = "again/All" + std::to_string(level);
    ASSERT_EQ(Create(first, level, kEveryType).Status, 0);
    ASSERT_EQ(Create(second, level, kEveryType).Status, 0);
    // The record id is left out: the records get 1 and 2 as appends do.
    const std::string csv = Write("in.csv",
        "C,S,W,B,I,L,G,F,BO,D,T,DT,GU,M,WM,BL,E,LK,R\n"
        "x,szoveg,\"szöveg ő\",255,-32768,-7,9000000000,2.5,true,2024-03-31,13:05:00.250,2024-03-31 13:05:00.000,"
        "{01234567-89ab-cdef-0123-456789abcdef},memo,\"wide ő\",00ff10,korte,3,\n"
        ",,,,,,,,,,,,,,,,,,\n");
    TToolRun run = Kestrel({"import", Table(first), csv});
    ASSERT_EQ(run.Status, 0) << run.Err;
    run = Kestrel({"export", Table(first)});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const std::string exported = run.Out;
    EXPECT_EQ(exported,
              "C,S,W,B,I,L,G,F,BO,D,T,DT,GU,M,WM,BL,ID,E,LK,R\r\n"
              "x,szoveg,szöveg ő,255,-32768,-7,9000000000,2.5,true,2024-03-31,13:05:00.250,2024-03-31 13:05:00.000,"
              "{01234567-89ab-cdef-0123-456789abcdef},memo,wide ő,00ff10,1,korte,3,\r\n"
              ",,,,,,,,,,,,,,,,2,,,\r\n");
    // The export, record ids included, imports into a table of the same
    // columns and exports the same again.
    run = Kestrel({"import", Table(second), Write("out.csv", exported)});
    ASSERT_EQ(run.Status, 0) << run.Err;
    run = Kestrel({"export", Table(second)});
    EXPECT_EQ(run.Out, exported);
    // The next record id follows the imported ones.
    run = Kestrel({"import", Table(second), Write("more.csv", "S\nnext\n")});
    ASSERT_EQ(run.Status, 0) << run.Err;
    run = Kestrel({"export", Table(second), "--columns", "ID,S", "--filter", "S = 'next'"});
    EXPECT_EQ(run.Out, "ID,S\r\n3,next\r\n");
    for (const std::string& table : {first, second}) {
      run = Kestrel({"check", Table(table)});
      EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
    }
    // Each Relation column has its relation table.
    EXPECT_TRUE(fs::exists(FDir / (level == 6 ? first + "!rel_R.tdbt" : "R.rel")));
    run = Kestrel({"info", Table(first)});
    EXPECT_NE(run.Out.find("\"values\": [\n        \"alma\",\n        \"korte\",\n        \"szilva\"\n"),
              std::string::npos)
        << run.Out;
    EXPECT_NE(run.Out.find("\"linkedTable\": \"Other\""), std::string::npos);
  }
}

TEST_F(KestrelConstraintCommands, EnumLinkAndRelationSpellingsAreChecked) {
  struct Case {
    std::string Column;
    std::string Message;
  };
  const std::vector<Case> cases = {
      {"E Enum", "the value names are needed: Enum(a,b,c)"},
      {"E Enum()", "value name \"\" is empty"},
      {"E Enum(a,,b)", "value name \"\" is empty"},
      {"E Enum(a,b,a)", "Duplicate identifier \"a\""},
      {"L Link", "the linked table is needed: Link(TABLE)"},
      {"L Link( )", "the linked table is needed: Link(TABLE)"},
      {"R Relation", "the linked table is needed: Relation(TABLE)"},
      {"L LongInt(4)", "no size is taken"},
      {"E Enum(a,b", "')' expected at the end"},
  };
  for (const Case& c : cases)
    ExpectRefused({"create", Table("T"), "--level", "5", "--column", "K Int16", "--column", c.Column}, c.Message);
  // An import refuses a name the enumeration lacks and names those it has.
  ASSERT_EQ(Create("T", 5, {"E Enum(a,b)"}).Status, 0);
  ExpectRefused({"import", Table("T"), Write("bad.csv", "E\nc\n")}, "\"c\" is not a value of E; it takes a, b");
}

class KestrelConstraints : public KestrelConstraintCommands {
 protected:
  void SetUp() override {
    ASSERT_EQ(Create("P", 5, {"CODE String(10) NOT NULL", "NAME String(20)"}, {"--primary-key", "CODE"}).Status, 0);
    TToolRun run = Create("C", 5, {"PCODE String(10)", "QTY LongInt"},
                          {"--check", "positive:QTY > 0", "--foreign-key", "fk:PCODE:P:CODE", "--unique",
                           "one:QTY"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    ASSERT_EQ(Kestrel({"import", Table("P"), Write("p.csv", "CODE,NAME\nA1,first\nB2,second\n")}).Status, 0);
    run = Kestrel({"import", Table("C"), Write("c.csv", "PCODE,QTY\nA1,5\n,7\n")});
    ASSERT_EQ(run.Status, 0) << run.Err;
  }
};

TEST_F(KestrelConstraints, ChangesThatBreakAConstraintAreRefused) {
  struct Case {
    std::vector<std::string> Args;
    std::string Message;
  };
  const std::vector<Case> cases = {
      {{"import", Table("P"), Write("dup.csv", "CODE\nA1\n")}, "Records must be unique with respect to \"CODE\""},
      {{"import", Table("C"), Write("neg.csv", "PCODE,QTY\nB2,-1\n")},
       "The record violates a constraint: \"QTY > 0\""},
      {{"import", Table("C"), Write("orphan.csv", "PCODE,QTY\nZZ,1\n")},
       "No row could be found in the parent table for integrity rule \"fk\""},
      {{"import", Table("C"), Write("twice.csv", "PCODE,QTY\nB2,5\n")},
       "Records must be unique with respect to \"QTY\""},
      {{"update", Table("C"), "--set", "QTY=0", "--filter", "QTY = 5"}, "The record violates a constraint"},
      {{"update", Table("C"), "--set", "PCODE=ZZ", "--filter", "QTY = 5"}, "integrity rule \"fk\""},
      {{"delete", Table("P"), "--filter", "CODE = 'A1'"}, "The operation violates integrity rule \"fk\""},
      {{"update", Table("P"), "--set", "CODE=X1", "--filter", "CODE = 'A1'"},
       "The operation violates integrity rule \"fk\""},
  };
  for (const Case& c : cases) ExpectRefused(c.Args, c.Message);
  // What breaks nothing goes through: a free parent row goes, a child goes
  // and then its parent.
  EXPECT_EQ(Kestrel({"delete", Table("P"), "--filter", "CODE = 'B2'"}).Status, 0);
  EXPECT_EQ(Kestrel({"delete", Table("C"), "--filter", "PCODE = 'A1'"}).Status, 0);
  const TToolRun run = Kestrel({"delete", Table("P"), "--filter", "CODE = 'A1'"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  for (const char* table : {"P", "C"}) EXPECT_EQ(Kestrel({"check", Table(table)}).Status, 0);
}

TEST_F(KestrelConstraints, InfoListsKeysChecksAndForeignKeys) {
  const TToolRun run = Kestrel({"info", Table("C")});
  ASSERT_EQ(run.Status, 0) << run.Err;
  for (const char* part :
       {"\"keys\": [\n    {\n      \"name\": \"one\",\n      \"primary\": false,\n      \"columns\": \"QTY\",\n"
        "      \"index\": \"one\"\n",
        "\"checks\": [\n    {\n      \"name\": \"positive\",\n      \"condition\": \"QTY > 0\"\n",
        "\"foreignKeys\": [\n    {\n      \"name\": \"fk\",\n      \"columns\": \"PCODE\",\n"
        "      \"parentTable\": \"P\",\n      \"parentColumns\": \"CODE\",\n",
        "\"name\": \"IR_fk\",\n      \"expression\": \"PCODE\",\n      \"unique\": false"})
    EXPECT_NE(run.Out.find(part), std::string::npos) << part << "\n" << run.Out;
  EXPECT_NE(Kestrel({"info", Table("P")}).Out.find("\"index\": \"sys_Primary\""), std::string::npos);
}

TEST_F(KestrelConstraintCommands, BadConstraintOptionsCreateNothing) {
  ASSERT_EQ(Create("P", 5, {"CODE String(10) NOT NULL"}, {"--primary-key", "CODE"}).Status, 0);
  struct Case {
    std::vector<std::string> Options;
    int Level;
    std::string Message;
  };
  const std::vector<Case> cases = {
      {{"--unique", "nocolumns"}, 5, "NAME:COLS expected"},
      {{"--check", "nocondition"}, 5, "NAME:CONDITION expected"},
      {{"--foreign-key", "fk:K:P"}, 5, "NAME:COLS:PARENT:PARENTCOLS expected"},
      {{"--primary-key", "NOPE"}, 5, "NOPE"},
      {{"--check", "c:K >"}, 5, "check c:"},
      {{"--check", "c:NOPE = 1"}, 5, "NOPE"},
      {{"--foreign-key", "fk:K:Missing:CODE"}, 5, "Parent table \"Missing\" could not be found or opened"},
      {{"--foreign-key", "fk:K:P:NAME"}, 5, "NAME"},
      {{"--foreign-key", "fk:K:P:CODE,CODE"}, 5, "The number of columns given does not fit"},
      {{"--check", "c:K > 0", "--unique", "c:K"}, 5, "Duplicate identifier \"c\""},
      {{"--primary-key", "K"}, 3, "not supported by tables of this level"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"create", Table("T"), "--level", std::to_string(c.Level), "--column",
                                     "K String(10)"};
    args.insert(args.end(), c.Options.begin(), c.Options.end());
    ExpectRefused(args, c.Message);
  }
}

}  // namespace
}  // namespace kestrel
