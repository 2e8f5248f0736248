// kestrel count, find and export --filter: the built tool reads a small
// classification table through the engine's flat call interface. Each case
// is a command line with its exit status and output (or a piece of the
// error line).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "temp_dir.h"
#include "tool_runner.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

class KestrelCursorCommands : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Kestrel({"create", Table(), "--level", "5", "--column", "KOD String(10) NOT NULL", "--column",
                       "MEGNEV String(40) NOT NULL", "--column", "LEIRAS Memo", "--index", "KOD:KOD:unique",
                       "--index", "INDMN:MEGNEV"}),
              0)
        << FErr;
    std::ofstream(FDir / "in.csv", std::ios::binary)
        << "KOD,MEGNEV,LEIRAS\r\n30,Kávé,első\r\n10,Alma,\r\n50,Szilva,harmadik\r\n20,Barack,\r\n40,Körte,\r\n";
    ASSERT_EQ(Kestrel({"import", Table(), (FDir / "in.csv").string()}), 0) << FErr;
  }

  int Kestrel(const std::vector<std::string>& args) {
    const TToolRun run = RunKestrel(args, FDir);
    FOut = run.Out;
    FErr = run.Err;
    return run.Status;
  }
  std::string Table() const { return (FDir / "Vnd03").string(); }

  test::TTempDir FTemp;
  fs::path FDir = FTemp.Path();
  std::string FOut, FErr;
};

TEST_F(KestrelCursorCommands, CountFindAndFilteredExport) {
  const std::string header = "KOD,MEGNEV,LEIRAS\r\n";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;  // the whole output, or a piece of the error line
  };
  const std::vector<Case> cases = {
      {{"count", "TABLE"}, 0, "5\n"},
      {{"count", "TABLE", "--filter", "MEGNEV = 'alma' OR KOD >= '40'"}, 0, "3\n"},
      {{"count", "TABLE", "--filter", "KOD > '99'"}, 0, "0\n"},
      {{"count", "TABLE", "--filter", "KOD <"}, 1, "Search-condition is invalid"},
      {{"count", "TABLE", "--filter", "NINCS = 1"}, 1, "Unknown identifier"},
      {{"count", "MISSING"}, 1, "Cannot open table"},
      {{"find", "TABLE", "--index", "KOD", "25"}, 0, header + "30,Kávé,első\r\n"},
      {{"find", "TABLE", "--index", "KOD", "30"}, 0, header + "30,Kávé,első\r\n"},
      {{"find", "TABLE", "--index", "KOD", ""}, 0, header + "10,Alma,\r\n"},
      // Nothing at or above the key: said on stderr, with its own status.
      {{"find", "TABLE", "--index", "KOD", "99"}, 2, "no record at or after \"99\" in index KOD"},
      {{"find", "TABLE", "--index", "INDMN", "k"}, 0, header + "30,Kávé,első\r\n"},
      {{"find", "TABLE", "--index", "NINCS", "1"}, 1, "The index does not exist"},
      {{"find", "TABLE", "KOD", "1"}, 1, "usage"},
      {{"export", "TABLE", "--index", "KOD", "--filter", "KOD >= '20' AND KOD < '50'"},
       0,
       header + "20,Barack,\r\n30,Kávé,első\r\n40,Körte,\r\n"},
      {{"export", "TABLE", "--filter", "LEIRAS LIKE '%a%'"}, 0, header + "50,Szilva,harmadik\r\n"},
      {{"export", "TABLE", "--filter", "KOD > '99'"}, 0, header},
      {{"export", "TABLE", "--filter"}, 1, "usage"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    for (std::string& arg : args)
      if (arg == "TABLE") arg = Table();
      else if (arg == "MISSING") arg = (FDir / "Nincs").string();
    SCOPED_TRACE(testing::PrintToString(c.args));
    EXPECT_EQ(Kestrel(args), c.status) << FErr;
    if (c.status == 0) {
      EXPECT_EQ(FOut, c.out);
    } else {
      EXPECT_NE(FErr.find(c.out), std::string::npos) << FErr;
      EXPECT_EQ(std::count(FErr.begin(), FErr.end(), '\n'), 1);
      EXPECT_EQ(FOut, "");
    }
  }
}

}  // namespace
}  // namespace kestrel
