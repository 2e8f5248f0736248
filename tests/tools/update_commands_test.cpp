// kestrel update, delete and drop, export --columns and --reverse, find with
// multi-column keys, and commands that fail: each case is a command line
// with its exit status and output (or a piece of the error line), run in
// turn on a small table. A refused command changes no file and makes none.
#include <gtest/gtest.h>

#include <algorithm>
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

class KestrelUpdateCommands : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Kestrel({"create", Table(), "--level", "5", "--column", "KOD String(10) NOT NULL", "--column",
                       "NEV WideString(20)", "--column", "N LongInt", "--index", "KOD:KOD:unique", "--index",
                       "NK:NEV, KOD"}),
              0)
        << FErr;
    std::ofstream(FDir / "in.csv", std::ios::binary) << "KOD,NEV,N\r\n10,b,1\r\n20,a,2\r\n30,b,3\r\n40,,4\r\n";
    ASSERT_EQ(Kestrel({"import", Table(), (FDir / "in.csv").string()}), 0) << FErr;
    fs::remove(FDir / "in.csv");
  }
  int Kestrel(const std::vector<std::string>& args) {
    const TToolRun run = RunKestrel(args, FDir);
    FOut = run.Out;
    FErr = run.Err;
    return run.Status;
  }
  std::string Table() const { return (FDir / "T").string(); }
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(FDir)) files[entry.path().filename()] = Slurp(entry.path());
    return files;
  }
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;  // the whole output, or a piece of the error line
  };
  void Run(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      std::vector<std::string> args = c.args;
      for (std::string& arg : args)
        if (arg == "TABLE") arg = Table();
        else if (arg == "MISSING") arg = (FDir / "Nincs").string();
      SCOPED_TRACE(testing::PrintToString(c.args));
      const auto before = Files();
      EXPECT_EQ(Kestrel(args), c.status) << FErr;
      if (c.status == 0) {
        EXPECT_EQ(FOut, c.out);
      } else {
        EXPECT_NE(FErr.find(c.out), std::string::npos) << FErr;
        EXPECT_EQ(std::count(FErr.begin(), FErr.end(), '\n'), 1);
        if (c.status == 1) {
          EXPECT_TRUE(Files() == before) << "a refused command changed or made a file";
        }
      }
    }
  }

  test::TTempDir FTemp;
  fs::path FDir = FTemp.Path();
  std::string FOut, FErr;
};

TEST_F(KestrelUpdateCommands, UpdateDeleteExportAndFindInTurn) {
  const std::string header = "KOD,NEV,N\r\n";
  Run({
      {{"export", "TABLE", "--columns", "n, kod"}, 0, "N,KOD\r\n1,10\r\n2,20\r\n3,30\r\n4,40\r\n"},
      {{"export", "TABLE", "--index", "NK", "--reverse"}, 0,
       header + "30,b,3\r\n10,b,1\r\n20,a,2\r\n40,,4\r\n"},
      {{"export", "TABLE", "--reverse", "--columns", "KOD"}, 0, "KOD\r\n40\r\n30\r\n20\r\n10\r\n"},
      {{"export", "TABLE", "--columns", "KOD,NINCS"}, 1, "no column \"NINCS\""},
      {{"export", "TABLE", "--columns", "KOD,"}, 1, "--columns takes column names"},
      // Multi-column keys fill the index's first columns in order.
      {{"find", "TABLE", "--index", "NK", "--key", "NEV=b", "--key", "KOD=15"}, 0, header + "30,b,3\r\n"},
      {{"find", "TABLE", "--index", "NK", "--key", "NEV=b"}, 0, header + "10,b,1\r\n"},
      {{"find", "TABLE", "--index", "NK", "--key", "NEV=b", "--key", "KOD=31"}, 2, "no record at or after"},
      {{"find", "TABLE", "--index", "NK", "--key", "KOD=10"}, 1, "give --key for its first columns in this order"},
      {{"find", "TABLE", "--index", "NK", "--key", "NEV"}, 1, "--key takes COL=VALUE"},
      // Update: the count, --dry-run changes nothing, NULL and the empty text.
      {{"update", "TABLE", "--set", "N=7", "--filter", "NEV = 'b'", "--dry-run"}, 0, "2 records would be updated\n"},
      {{"update", "TABLE", "--set", "N=7", "--set", "NEV=", "--filter", "NEV = 'b'"}, 0, "2 records updated\n"},
      {{"update", "TABLE", "--set", "NEV=\"\"", "--filter", "KOD = '20'"}, 0, "1 record updated\n"},
      {{"export", "TABLE"}, 0, header + "10,,7\r\n20,\"\",2\r\n30,,7\r\n40,,4\r\n"},
      {{"count", "TABLE", "--filter", "NEV IS NULL"}, 0, "3\n"},
      // One transaction: the second record's duplicate key undoes the first.
      {{"update", "TABLE", "--set", "KOD=99", "--filter", "N = 7"}, 1, "Records must be unique"},
      {{"update", "TABLE", "--set", "N=x"}, 1, "column N: \"x\" is not a number"},
      {{"update", "TABLE", "--set", "NINCS=1"}, 1, "no column \"NINCS\""},
      {{"update", "TABLE"}, 1, "usage: kestrel update"},
      {{"update", "TABLE", "--set", "N=1", "--filter", "N <"}, 1, "filter \"N <\": Syntax error"},
      {{"delete", "TABLE"}, 1, "delete needs --filter COND"},
      {{"delete", "TABLE", "--filter", "N = 7", "--dry-run"}, 0, "2 records would be deleted\n"},
      {{"delete", "TABLE", "--filter", "N = 7 OR KOD = '40'"}, 0, "3 records deleted\n"},
      {{"export", "TABLE"}, 0, header + "20,\"\",2\r\n"},
      {{"count", "TABLE"}, 0, "1\n"},
      {{"count", "TABLE", "--filter", "KOD = '\xFF'"}, 1, "argument 3 after the command is not UTF-8 text"},
      // Failing commands on a missing table make no file.
      {{"count", "MISSING"}, 1, "Cannot open table"},
      {{"export", "MISSING"}, 1, "Cannot open table"},
      {{"find", "MISSING", "--index", "KOD", "1"}, 1, "Cannot open table"},
      {{"update", "MISSING", "--set", "N=1"}, 1, "Nincs"},
      {{"delete", "MISSING", "--filter", "1 = 1"}, 1, "Nincs"},
      {{"drop", "MISSING"}, 1, "Nincs"},
  });
}

TEST_F(KestrelUpdateCommands, UpdateEmptiesAndRewritesMemos) {
  const std::string memo = (FDir / "M").string();
  ASSERT_EQ(Kestrel({"create", memo, "--level", "5", "--column", "KOD String(4) NOT NULL", "--column", "LEIRAS Memo"}),
            0)
      << FErr;
  std::ofstream(FDir / "m.csv", std::ios::binary) << "KOD,LEIRAS\r\n1,egy\r\n2,kettő\r\n";
  ASSERT_EQ(Kestrel({"import", memo, (FDir / "m.csv").string()}), 0) << FErr;
  Run({
      {{"update", memo, "--set", "LEIRAS=", "--filter", "KOD = '1'"}, 0, "1 record updated\n"},
      {{"update", memo, "--set", "LEIRAS=\"új, szöveg\"", "--filter", "KOD = '2'"}, 0, "1 record updated\n"},
      {{"export", memo}, 0, "KOD,LEIRAS\r\n1,\r\n2,\"új, szöveg\"\r\n"},
      {{"count", memo, "--filter", "LEIRAS IS NULL"}, 0, "1\n"},
      {{"check", memo}, 0, memo + ": 2 records, 0 indexes: all agree\n"},
  });
}

TEST_F(KestrelUpdateCommands, InfoShowsIndexExpressionsAndFilesThatDropRemoves) {
  ASSERT_EQ(Kestrel({"info", Table()}), 0) << FErr;
  for (const std::string& piece : {std::string("\"name\": \"NK\",\n      \"expression\": \"NEV, KOD\",\n"
                                               "      \"unique\": false"),
                                   std::string("\"expression\": \"KOD\",\n      \"unique\": true"),
                                   "\"" + (FDir / "T!NK.ind").string() + "\"", "\"" + (FDir / "T.dat").string() + "\""})
    EXPECT_NE(FOut.find(piece), std::string::npos) << piece << "\n" << FOut;
  ASSERT_EQ(Kestrel({"drop", Table()}), 0) << FErr;
  EXPECT_NE(FOut.find("T.dat"), std::string::npos) << FOut;
  EXPECT_TRUE(Files().empty()) << testing::PrintToString(Files().size());
  EXPECT_EQ(Kestrel({"drop", Table()}), 1);
  EXPECT_TRUE(Files().empty());
}

}  // namespace
}  // namespace kestrel
