// kestrel create, import, export, check, reindex and demo: runs the built
// tool on tables in a fresh directory. The demo data round-trips byte for
// byte; every refused command exits with 1, one line on stderr, and leaves
// the files as they were.
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

class KestrelTableCommands : public testing::Test {
 protected:
  TToolRun Kestrel(const std::vector<std::string>& args) { return RunKestrel(args, FDir); }
  std::string Table(const std::string& name = "Vnd03") const { return (FDir / name).string(); }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(FDir / name, std::ios::binary) << text;
  }
  // Every file of the directory with its content.
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(FDir))
      files[entry.path().filename()] = Slurp(entry.path());
    return files;
  }
  void CreateClassification() {
    const TToolRun run = Kestrel({"create", Table(), "--level", "5", "--column", "KOD String(10) NOT NULL",
                              "--column", "MEGNEV String(40) NOT NULL", "--column", "LEIRAS Memo", "--index",
                              "KOD:KOD:unique", "--index", "INDMN:MEGNEV"});
    ASSERT_EQ(run.Status, 0) << run.Err;
  }
  static int Lines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  }

  test::TTempDir FTemp;
  fs::path FDir = FTemp.Path();
  const std::string FDemoCsv = Slurp(fs::path(VENDRIK_SOURCE_DIR) / "demo" / "vnd03.csv");
};

TEST_F(KestrelTableCommands, DemoTableChecksCleanAndExportsTheDemoData) {
  TToolRun run = Kestrel({"demo", FDir.string()});
  ASSERT_EQ(run.Status, 0) << run.Err;
  run = Kestrel({"check", Table()});
  EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
  run = Kestrel({"export", Table()});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_TRUE(run.Out == FDemoCsv);
  // A second demo in the same directory is refused and changes nothing.
  const auto before = Files();
  run = Kestrel({"demo", FDir.string()});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(Lines(run.Err), 1);
  EXPECT_TRUE(Files() == before);
}

TEST_F(KestrelTableCommands, DemoWithGeneratedRecords) {
  TToolRun run = Kestrel({"demo", FDir.string(), "--records", "120"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Out.find(": 618 records"), std::string::npos) << run.Out;
  EXPECT_EQ(Kestrel({"check", Table()}).Status, 0);
  run = Kestrel({"export", Table()});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out.rfind(FDemoCsv.substr(0, FDemoCsv.size() - 1), 0), 0u) << "the demo set comes first";
  EXPECT_NE(run.Out.find("10.00.0119,"), std::string::npos);
  for (const char* bad : {"-1", "x", "90000001"}) {
    run = Kestrel({"demo", (FDir / bad).string(), "--records", bad});
    EXPECT_EQ(run.Status, 1) << bad;
    EXPECT_NE(run.Err.find("--records takes a number"), std::string::npos) << run.Err;
  }
}

TEST_F(KestrelTableCommands, ImportAndExportRoundTripByteForByte) {
  CreateClassification();
  Write("in.csv", FDemoCsv);
  TToolRun run = Kestrel({"import", Table(), (FDir / "in.csv").string()});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, "498 records imported\n");
  run = Kestrel({"export", Table()});
  EXPECT_TRUE(run.Out == FDemoCsv);
  // Index order: the KOD index gives the codes sorted.
  run = Kestrel({"export", Table(), "--index", "KOD"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  std::vector<std::string> codes;
  for (std::size_t pos = run.Out.find("\r\n"); pos != std::string::npos; pos = run.Out.find("\r\n", pos + 2))
    if (pos + 2 < run.Out.size() && std::isdigit(static_cast<unsigned char>(run.Out[pos + 2])))
      codes.push_back(run.Out.substr(pos + 2, run.Out.find(',', pos + 2) - pos - 2));
  EXPECT_TRUE(std::is_sorted(codes.begin(), codes.end()));
  // The exported file imports into a second table and exports the same again.
  Write("out.csv", run.Out);
  run = Kestrel({"reindex", Table()});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(Kestrel({"check", Table()}).Status, 0);
}

TEST_F(KestrelTableCommands, ClearRemovesEveryRecordAndTheTableChecksClean) {
  CreateClassification();
  Write("in.csv", FDemoCsv);
  ASSERT_EQ(Kestrel({"import", Table(), (FDir / "in.csv").string()}).Status, 0);
  TToolRun run = Kestrel({"clear", Table()});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, "498 records removed\n");
  run = Kestrel({"check", Table()});
  EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
  EXPECT_EQ(Kestrel({"count", Table()}).Out, "0\n");
  // The emptied table takes the same records again.
  EXPECT_EQ(Kestrel({"import", Table(), (FDir / "in.csv").string()}).Status, 0);
  EXPECT_TRUE(Kestrel({"export", Table()}).Out == FDemoCsv);
}

TEST_F(KestrelTableCommands, Level6TableRoundTripsAndChecksClean) {
  TToolRun run = Kestrel({"create", Table(), "--level", "6", "--column", "KOD String(10) NOT NULL", "--column",
                      "MEGNEV String(40) NOT NULL", "--column", "LEIRAS Memo", "--index", "KOD:KOD:unique",
                      "--index", "INDMN:MEGNEV"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  for (const char* name : {"Vnd03.tdbt", "Vnd03.tdbm", "Vnd03!KOD.tdbi", "Vnd03!INDMN.tdbi"})
    EXPECT_TRUE(fs::exists(FDir / name)) << name;
  Write("in.csv", FDemoCsv);
  run = Kestrel({"import", Table(), (FDir / "in.csv").string()});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, "498 records imported\n");
  run = Kestrel({"check", Table()});
  EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
  run = Kestrel({"export", Table()});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_TRUE(run.Out == FDemoCsv);
  run = Kestrel({"export", Table(), "--index", "KOD"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  std::vector<std::string> codes;
  for (std::size_t pos = run.Out.find("\r\n"); pos != std::string::npos; pos = run.Out.find("\r\n", pos + 2))
    if (pos + 2 < run.Out.size() && std::isdigit(static_cast<unsigned char>(run.Out[pos + 2])))
      codes.push_back(run.Out.substr(pos + 2, run.Out.find(',', pos + 2) - pos - 2));
  EXPECT_TRUE(std::is_sorted(codes.begin(), codes.end()));
  run = Kestrel({"reindex", Table()});
  EXPECT_EQ(run.Status, 0) << run.Err;
  run = Kestrel({"check", Table()});
  EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
  // A duplicate key is refused and the table stays as it was.
  Write("dup.csv", "KOD,MEGNEV,LEIRAS\r\n" + codes.front() + ",Más,\r\n");
  const auto before = Files();
  run = Kestrel({"import", Table(), (FDir / "dup.csv").string()});
  EXPECT_EQ(run.Status, 1);
  EXPECT_TRUE(Files() == before);
}

TEST_F(KestrelTableCommands, BadRowsLeaveTheTableAsItWas) {
  CreateClassification();
  Write("in.csv", "KOD,MEGNEV,LEIRAS\r\n01,Első,\"egy\r\nkettő\"\r\n02,Második,\r\n");
  ASSERT_EQ(Kestrel({"import", Table(), (FDir / "in.csv").string()}).Status, 0);
  struct Case {
    const char* what;
    std::string csv;
    const char* line;
  } cases[] = {
      {"too few fields", "KOD,MEGNEV,LEIRAS\r\n03,Harmadik,\r\n04,Negyedik\r\n", "line 3"},
      {"duplicate key", "KOD,MEGNEV,LEIRAS\r\n03,Harmadik,\r\n01,Más,\r\n", "line 3"},
      {"name too long",
       "KOD,MEGNEV,LEIRAS\r\n03,Harmadik,\"több\r\nsor\"\r\n04," + std::string(41, 'x') + ",\r\n", "line 4"},
      {"no closing quote", "KOD,MEGNEV,LEIRAS\r\n03,Harmadik,\"nyitott\r\n", "line 2"},
      {"unknown column", "KOD,NEV\r\n03,x\r\n", "line 1"},
      {"character without 8-bit code", "KOD,MEGNEV,LEIRAS\r\n03,\xE4\xB8\xAD,\r\n", "line 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Write("bad.csv", c.csv);
    const auto before = Files();
    const TToolRun run = Kestrel({"import", Table(), (FDir / "bad.csv").string()});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(Lines(run.Err), 1) << run.Err;
    EXPECT_NE(run.Err.find(c.line), std::string::npos) << run.Err;
    EXPECT_TRUE(Files() == before);
  }
  EXPECT_EQ(Kestrel({"check", Table()}).Status, 0);
}

TEST_F(KestrelTableCommands, RefusedCreatesLeaveNoFiles) {
  struct Case {
    const char* what;
    std::vector<std::string> args;
  } cases[] = {
      {"unknown type", {"--level", "5", "--column", "A Text"}},
      {"string without size", {"--level", "5", "--column", "A String"}},
      {"level 7", {"--level", "7", "--column", "A LongInt"}},
      {"B+ tree table file below level 6", {"--level", "5", "--kind", "bplus", "--column", "A LongInt"}},
      {"heap file asked for with a first column _XXX",
       {"--level", "6", "--kind", "heap", "--column", "_XXX RecordId", "--column", "A LongInt"}},
      {"unknown file kind", {"--level", "6", "--kind", "tree", "--column", "A LongInt"}},
      {"no columns", {"--level", "5"}},
      {"bad index column", {"--level", "5", "--column", "A LongInt", "--index", "I:B"}},
      {"duplicate index name",
       {"--level", "5", "--column", "A LongInt", "--index", "I:A", "--index", "I:-A"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> args = {"create", Table("T")};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const TToolRun run = Kestrel(args);
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(Lines(run.Err), 1) << run.Err;
    EXPECT_TRUE(Files().empty());
  }
}

TEST_F(KestrelTableCommands, ABPlusTreeTableFileKeepsRecordIdsThroughImportDeleteAndReindex) {
  TToolRun run = Kestrel({"create", Table("T"), "--level", "6", "--kind", "bplus", "--column", "NEV String(20)",
                          "--column", "LEIRAS Memo", "--index", "NEV:NEV"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  run = Kestrel({"info", Table("T")});
  EXPECT_NE(run.Out.find("\"kind\": \"B+ tree table file\""), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("\"name\": \"_XXX\""), std::string::npos) << run.Out;
  Write("in.csv", "NEV,LEIRAS\r\nalma,egy\r\nkorte,ketto\r\nszilva,harom\r\n");
  ASSERT_EQ(Kestrel({"import", Table("T"), (FDir / "in.csv").string()}).Status, 0);
  ASSERT_EQ(Kestrel({"delete", Table("T"), "--filter", "NEV = 'alma'"}).Status, 0);
  EXPECT_EQ(Kestrel({"update", Table("T"), "--set", "_XXX=9", "--filter", "NEV = 'korte'"}).Status, 1)
      << "a record id is the record's number";
  ASSERT_EQ(Kestrel({"reindex", Table("T")}).Status, 0);
  EXPECT_EQ(Kestrel({"check", Table("T")}).Status, 0);
  run = Kestrel({"export", Table("T"), "--index", "NEV", "--reverse"});
  EXPECT_EQ(run.Out, "_XXX,NEV,LEIRAS\r\n3,szilva,harom\r\n2,korte,ketto\r\n") << run.Err;
  // The next import goes on with the ids after the highest handed out.
  ASSERT_EQ(Kestrel({"import", Table("T"), (FDir / "in.csv").string()}).Status, 0);
  run = Kestrel({"export", Table("T"), "--filter", "NEV = 'alma'"});
  EXPECT_EQ(run.Out, "_XXX,NEV,LEIRAS\r\n4,alma,egy\r\n");
}

TEST_F(KestrelTableCommands, CheckReportsADamagedIndex) {
  CreateClassification();
  Write("in.csv", "KOD,MEGNEV,LEIRAS\r\n01,Első,\r\n02,Második,\r\n");
  ASSERT_EQ(Kestrel({"import", Table(), (FDir / "in.csv").string()}).Status, 0);
  // Swap the two records behind the indexes' back.
  std::string data = Slurp(FDir / "Vnd03.dat");
  const std::size_t first = data.find("01"), second = data.find("02");
  ASSERT_NE(first, std::string::npos);
  std::swap(data[first + 1], data[second + 1]);
  Write("Vnd03.dat", data);
  TToolRun run = Kestrel({"check", Table()});
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Out.find("index KOD"), std::string::npos) << run.Out;
  EXPECT_EQ(Kestrel({"reindex", Table()}).Status, 0);
  run = Kestrel({"check", Table()});
  EXPECT_EQ(run.Status, 0) << run.Out;
}

}  // namespace
}  // namespace kestrel
