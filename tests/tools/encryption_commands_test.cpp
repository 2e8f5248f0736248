// The kestrel tool with encrypted tables: create --encryption with
// --password, every command that opens a table with --password or
// KESTREL_PASSWORD, info naming the method, and a wrong or missing key
// answered with the one line "wrong password", exit status 1 and files
// left as they were.
#include <gtest/gtest.h>

#include <stdlib.h>

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

const std::string kCsv = "KOD,MEGNEV,LEIRAS\r\nTITKOS1,Rejtett nev,Rejtett leiras\r\nTITKOS2,Masik nev,\r\n";

class KestrelEncryption : public testing::Test {
 protected:
  void TearDown() override { unsetenv("KESTREL_PASSWORD"); }
  TToolRun Kestrel(const std::vector<std::string>& args) { return RunKestrel(args, FDir); }
  std::string Table() const { return (FDir / "Vnd03").string(); }
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(FDir)) files[entry.path().filename()] = Slurp(entry.path());
    return files;
  }
  // The table's files (the directory database's control file aside).
  std::map<std::string, std::string> TableFiles() const {
    auto files = Files();
    std::erase_if(files, [](const auto& file) { return file.first.ends_with(".tdbd"); });
    return files;
  }
  void Create(const std::string& level, const std::string& method, const std::string& key) {
    const TToolRun run = Kestrel({"create", Table(), "--level", level, "--column", "KOD String(10) NOT NULL",
                                  "--column", "MEGNEV String(40) NOT NULL", "--column", "LEIRAS Memo", "--index",
                                  "KOD:KOD:unique", "--encryption", method, "--password", key});
    ASSERT_EQ(run.Status, 0) << run.Err;
    std::ofstream(FDir / "in.csv", std::ios::binary) << kCsv;
    const TToolRun import = Kestrel({"import", Table(), (FDir / "in.csv").string(), "--password", key});
    ASSERT_EQ(import.Status, 0) << import.Err;
    fs::remove(FDir / "in.csv");
  }

  test::TTempDir FTemp;
  fs::path FDir = FTemp.Path();
};

TEST_F(KestrelEncryption, EveryCommandOpensWithTheKeyFromTheOptionOrTheEnvironment) {
  struct Case {
    std::string level, method, infoName;
  } cases[] = {
      {"5", "aes", "aes"}, {"6", "blowfish", "blowfish"}, {"5", "fast", "fast"}, {"6", "protection", "protection"},
      {"4", "aes", "aes"}, {"3", "classic", "classic"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level + " " + c.method);
    for (const auto& entry : fs::directory_iterator(FDir)) fs::remove_all(entry.path());
    const std::string key = c.method == "classic" ? "Kulcs;2024" : "kulcs";
    Create(c.level, c.method, key);
    const std::string table = Table();
    const std::vector<std::vector<std::string>> commands = {
        {"info", table}, {"export", table, "--index", "KOD"}, {"count", table},
        {"find", table, "--index", "KOD", "TITKOS2"}, {"check", table}, {"reindex", table},
    };
    for (const auto& command : commands) {
      std::vector<std::string> withOption = command;
      withOption.insert(withOption.end(), {"--password", key});
      const TToolRun run = Kestrel(withOption);
      EXPECT_EQ(run.Status, 0) << command[0] << ": " << run.Err;
      if (command[0] == "info") {
        EXPECT_NE(run.Out.find("\"encryption\": \"" + c.infoName + "\""), std::string::npos);
      }
      if (command[0] == "export") {
        EXPECT_EQ(run.Out, kCsv);
      }
    }
    setenv("KESTREL_PASSWORD", key.c_str(), 1);
    EXPECT_EQ(Kestrel({"export", table, "--index", "KOD"}).Out, kCsv);
    unsetenv("KESTREL_PASSWORD");
  }
}

TEST_F(KestrelEncryption, WrongOrMissingKeyIsOneLineAndChangesNothing) {
  Create("6", "aes", "kulcs");
  const auto before = TableFiles();
  const std::string table = Table();
  std::ofstream(FDir / "more.csv", std::ios::binary) << "KOD,MEGNEV\nUJ,uj\n";
  const std::string more = (FDir / "more.csv").string();
  const std::vector<std::vector<std::string>> commands = {
      {"info", table},  {"export", table}, {"count", table}, {"find", table, "--index", "KOD", "A"},
      {"check", table}, {"reindex", table}, {"import", table, more},
  };
  for (const auto& command : commands) {
    for (const char* wrong : {"", "Kulcs"}) {
      std::vector<std::string> args = command;
      if (*wrong) args.insert(args.end(), {"--password", wrong});
      const TToolRun run = Kestrel(args);
      EXPECT_EQ(run.Status, 1) << command[0];
      EXPECT_EQ(run.Err, "kestrel " + command[0] + ": wrong password\n");
    }
  }
  setenv("KESTREL_PASSWORD", "masik", 1);
  EXPECT_EQ(Kestrel({"count", table}).Err, "kestrel count: wrong password\n");
  // The option wins over the environment.
  EXPECT_EQ(Kestrel({"count", table, "--password", "kulcs"}).Status, 0);
  fs::remove(more);
  EXPECT_EQ(TableFiles(), before);
}

TEST_F(KestrelEncryption, CreateRefusesWhatTheLevelOrKeyCannotHold) {
  struct Case {
    std::vector<std::string> extra;
    std::string error;
  } cases[] = {
      {{"--level", "5", "--encryption", "classic", "--password", "a;1"}, "Classic encryption"},
      {{"--level", "3", "--encryption", "aes", "--password", "a"}, "Strong encryption"},
      {{"--level", "6", "--encryption", "blowfish"}, "The password is invalid"},
      {{"--level", "5", "--encryption", "rot13", "--password", "a"}, "unknown encryption method \"rot13\""},
      {{"--level", "5", "--password"}, "--password needs a value"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"create", Table(), "--column", "KOD String(10)"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const TToolRun run = Kestrel(args);
    EXPECT_NE(run.Status, 0) << c.error;
    EXPECT_NE(run.Err.find(c.error), std::string::npos) << run.Err;
    EXPECT_TRUE(Files().empty()) << c.error;
  }
}

}  // namespace
}  // namespace kestrel
