// kestrel container and --db: the demo database packed into a container is
// used by every table command through --db and unpacks byte for byte; a
// container made by the table commands lists, checks and compresses; bad
// containers and bad calls are refused with a message.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "temp_dir.h"
#include "tool_runner.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

class KestrelContainerCommands : public testing::Test {
 protected:
  TToolRun Kestrel(const std::vector<std::string>& args) { return RunKestrel(args, FDir); }
  std::map<std::string, std::string> Files(const fs::path& dir) const {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir)) files[entry.path().filename()] = Slurp(entry.path());
    return files;
  }

  test::TTempDir FTemp;
  fs::path FDir = FTemp.Path();
  std::string FDemo = (FDir / "demo").string();
  std::string FBox = (FDir / "box.tdbd").string();
};

TEST_F(KestrelContainerCommands, PackedDemoServesTheTableCommandsAndUnpacksByteForByte) {
  ASSERT_EQ(Kestrel({"demo", FDemo}).Status, 0);
  TToolRun run = Kestrel({"container", "pack", FDemo, FBox});
  ASSERT_EQ(run.Status, 0) << run.Err;

  const TToolRun direct = Kestrel({"export", FDemo + "/Vnd03", "--index", "KOD"});
  struct Case {
    std::vector<std::string> args;
    std::string out;  // expected start of standard output
  } cases[] = {
      {{"--db", FBox, "check", "Vnd03"}, "Vnd03: 498 records, 2 indexes: all agree"},
      {{"count", "Vnd03", "--db", FBox, "--filter", "KOD = '58.05.1'"}, "1\n"},
      {{"--db", FBox, "export", "Vnd03", "--index", "KOD"}, direct.Out},
      {{"--db", FDemo, "count", "Vnd03"}, "498\n"},  // a directory database
      {{"--db", FBox, "info", "Vnd03"}, "{"},
  };
  for (const Case& c : cases) {
    run = Kestrel(c.args);
    EXPECT_EQ(run.Status, 0) << c.args[2] << ": " << run.Err;
    EXPECT_EQ(run.Out.substr(0, c.out.size()), c.out) << c.args[2];
  }

  run = Kestrel({"container", "list", FBox});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Out.find("Vnd03.dat\t49152\n"), std::string::npos) << run.Out;

  const fs::path unpacked = FDir / "out" / "deeper";
  run = Kestrel({"container", "unpack", FBox, unpacked.string()});
  ASSERT_EQ(run.Status, 0) << run.Err;
  std::map<std::string, std::string> original = Files(FDemo);
  original.erase("demo.tdbd");  // the directory's control file stays behind
  EXPECT_EQ(Files(unpacked), original);
}

TEST_F(KestrelContainerCommands, ContainerMadeByTableCommandsChecksAndCompresses) {
  // A location without extension that does not exist is NAME.tdbd.
  const std::string db = (FDir / "made").string();
  TToolRun run = Kestrel({"--db", db, "create", "T", "--level", "5", "--column", "KOD String(10) NOT NULL",
                          "--column", "M Memo", "--index", "KOD:KOD:unique"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  std::ofstream(FDir / "rows.csv") << "KOD,M\na1,first memo\nb2,second\n";
  run = Kestrel({"--db", db, "import", "T", (FDir / "rows.csv").string()});
  ASSERT_EQ(run.Status, 0) << run.Err;
  run = Kestrel({"--db", db, "reindex", "T"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const std::string file = db + ".tdbd";
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"container", "check", file}, {"container", "compress", file}, {"container", "check", file}}) {
    run = Kestrel(args);
    EXPECT_EQ(run.Status, 0) << args[1] << ": " << run.Err;
  }
  EXPECT_TRUE(fs::exists(FDir / "made.bak.tdbd"));
  run = Kestrel({"--db", file, "export", "T"});
  EXPECT_EQ(run.Out, "KOD,M\r\na1,first memo\r\nb2,second\r\n") << run.Err;
}

TEST_F(KestrelContainerCommands, BadContainersAndCallsAreRefused) {
  std::ofstream(FDir / "text.tdbd") << "not a container";
  ASSERT_EQ(Kestrel({"container", "new", FBox}).Status, 0);
  struct Case {
    std::vector<std::string> args;
    std::string err;  // part of standard error
  } cases[] = {
      {{"container", "check", (FDir / "text.tdbd").string()}, "is not a valid Orvane Compound file."},
      {{"container", "list", (FDir / "none.tdbd").string()}, "Cannot open file"},
      {{"container", "new", FBox}, "exists already"},
      {{"container", "pack", (FDir / "nodir").string(), (FDir / "x.tdbd").string()}, "not found"},
      {{"container", "frobnicate", FBox}, "usage: kestrel container"},
      {{"--db", (FDir / "none.tdbd").string(), "check", "T"}, "File not found"},
      {{"--db", FBox, "check", "T"}, "File not found"},
      {{"check", "T", "--db"}, "--db needs a database location"},
  };
  for (const Case& c : cases) {
    const TToolRun run = Kestrel(c.args);
    EXPECT_EQ(run.Status, 1) << c.args[1];
    EXPECT_NE(run.Err.find(c.err), std::string::npos) << c.args[1] << ": " << run.Err;
  }
  EXPECT_FALSE(fs::exists(FDir / "x.tdbd"));
  EXPECT_FALSE(fs::exists(FDir / "none.tdbd"));
}

}  // namespace
}  // namespace kestrel
