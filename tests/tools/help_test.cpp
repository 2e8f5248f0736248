// kestrel's help, version and refusal of wrong commands and options, run
// against the built tool: help goes to stdout with status 0; a wrong command
// or option is refused with status 1, nothing on stdout, a short usage text
// on stderr that points to --help, and no file made.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "temp_dir.h"
#include "tool_runner.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kCommands = {"info", "create", "import", "export", "count",
                                            "find", "check",  "reindex", "demo"};

class KestrelHelp : public testing::Test {
 protected:
  TToolRun Kestrel(const std::vector<std::string>& args) { return RunKestrel(args, FDir); }

  test::TTempDir FTemp;
  fs::path FDir = FTemp.Path();
};

TEST_F(KestrelHelp, HelpFormsPrintTheReferenceToStdout) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--help"}, {"-h"}, {"help"}}) {
    SCOPED_TRACE(args[0]);
    const TToolRun run = Kestrel(args);
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Err, "");
    EXPECT_EQ(run.Out.rfind("Usage: kestrel COMMAND", 0), 0u) << run.Out;
    for (const char* part :
         {"Column types:", "String(N)", "WideString(N)", "(8 bytes)", "NOT NULL", "Index specs:", "-KOD, MEGNEV",
          ":unique", "Table levels:", ".tdbt", "Collations:", "Hungarian_CI_AI", "Import value formats:",
          "YYYY-MM-DD", "Filters:", "LIKE", "IS [NOT] NULL", "Examples:", "kestrel info", "kestrel demo DIR"})
      EXPECT_NE(run.Out.find(part), std::string::npos) << part;
  }
}

TEST_F(KestrelHelp, EveryCommandHasItsOwnHelp) {
  for (const std::string& command : kCommands) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {command, "--help"}, {"help", command}, {command, "TABLE", "--help"}}) {
      SCOPED_TRACE(testing::PrintToString(args));
      const TToolRun run = Kestrel(args);
      EXPECT_EQ(run.Status, 0);
      EXPECT_EQ(run.Err, "");
      EXPECT_EQ(run.Out.rfind("Usage: kestrel " + command + " ", 0), 0u) << run.Out;
    }
  }
}

TEST_F(KestrelHelp, VersionPrintsOneLine) {
  const TToolRun run = Kestrel({"--version"});
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(run.Err, "");
  EXPECT_EQ(run.Out.rfind("kestrel ", 0), 0u) << run.Out;
  EXPECT_EQ(std::count(run.Out.begin(), run.Out.end(), '\n'), 1) << run.Out;
}

TEST_F(KestrelHelp, WrongCommandsAndOptionsAreRefusedWithAShortUsage) {
  const std::string table = (FDir / "Vnd03").string();
  struct Case {
    std::vector<std::string> args;
    std::string named;  // what the message names
    std::string helpHint;
  };
  const std::vector<Case> cases = {
      {{}, "command is needed", "kestrel --help"},
      {{"--bogus"}, "\"--bogus\"", "kestrel --help"},
      {{"nope"}, "\"nope\"", "kestrel --help"},
      {{"help", "nope"}, "\"nope\"", "kestrel --help"},
      {{"--version", "extra"}, "--version", "kestrel --help"},
      {{"demo", (FDir / "made").string(), "--bogus"}, "\"--bogus\"", "kestrel demo --help"},
      {{"count", table, "--colour", "red"}, "\"--colour\"", "kestrel count --help"},
      {{"export", table, "--index", "KOD", "--backwards"}, "\"--backwards\"", "kestrel export --help"},
      {{"create", table, "--level", "5", "--column", "A String(3)", "--frob", "x"}, "\"--frob\"",
       "kestrel create --help"},
      {{"find", table, "--index", "KOD", "1", "--all"}, "\"--all\"", "kestrel find --help"},
      {{"demo", "-x"}, "\"-x\"", "kestrel demo --help"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const TToolRun run = Kestrel(c.args);
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Out, "");
    EXPECT_NE(run.Err.find(c.named), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find(c.helpHint), std::string::npos) << run.Err;
    EXPECT_LE(std::count(run.Err.begin(), run.Err.end(), '\n'), 5) << run.Err;
    EXPECT_TRUE(fs::is_empty(FDir));
  }
}

TEST_F(KestrelHelp, DemoHelpCreatesNothing) {
  // Once `demo --help` made a directory named "--help" in the working directory.
  const fs::path made = fs::current_path() / "--help", madeShort = fs::current_path() / "-h";
  const bool existed = fs::exists(made), existedShort = fs::exists(madeShort);
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"demo", "--help"}, {"demo", (FDir / "d").string(), "--help"}, {"demo", "-h"}}) {
    SCOPED_TRACE(testing::PrintToString(args));
    EXPECT_EQ(Kestrel(args).Status, 0);
    EXPECT_TRUE(fs::is_empty(FDir));
  }
  EXPECT_EQ(fs::exists(made), existed);
  EXPECT_EQ(fs::exists(madeShort), existedShort);
}

TEST_F(KestrelHelp, OptionValuesMayLookLikeOptions) {
  // A descending index spec starts with "-", and a key may be negative.
  const std::string table = (FDir / "T").string();
  TToolRun run = Kestrel({"create", table, "--level", "5", "--column", "A LongInt", "--index", "N:A",
                 "--index", "D:-A"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  std::ofstream(FDir / "t.csv") << "A\n-7\n3\n";
  run = Kestrel({"import", table, (FDir / "t.csv").string()});
  ASSERT_EQ(run.Status, 0) << run.Err;
  run = Kestrel({"find", table, "--index", "N", "-5"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, "A\r\n3\r\n");
}

}  // namespace
}  // namespace kestrel
