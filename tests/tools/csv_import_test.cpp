// kestrel import with real files: dialects (byte-order mark, delimiters,
// encodings, blank lines at the end, standard input), header names as the
// engine compares them, ISO 8601 values, NULL against the empty text, and
// bad input refused with one short line that names the place, while the
// table stays byte for byte as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

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

class KestrelCsvImport : public testing::Test {
 protected:
  void SetUp() override {
    const TToolRun run = Kestrel({"create", Table(), "--level", "5", "--column", "KOD String(10) NOT NULL",
                                  "--column", "NEV WideString(20)", "--column", "D DateTime", "--column",
                                  "B Boolean", "--column", "M LongInt NOT NULL", "--index", "KOD:KOD:unique"});
    ASSERT_EQ(run.Status, 0) << run.Err;
  }
  TToolRun Kestrel(const std::vector<std::string>& args, const fs::path& input = {}) {
    return RunKestrel(args, FDir, input);
  }
  std::string Table() const { return (FDir / "T").string(); }
  fs::path Write(const std::string& name, const std::string& text) const {
    std::ofstream(FDir / name, std::ios::binary) << text;
    return FDir / name;
  }
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(FDir))
      if (entry.path().extension() != ".csv") files[entry.path().filename()] = Slurp(entry.path());
    return files;
  }
  void Empty() {
    const TToolRun run = Kestrel({"delete", Table(), "--filter", "1 = 1"});
    ASSERT_EQ(run.Status, 0) << run.Err;
  }

  test::TTempDir FTemp;
  fs::path FDir = FTemp.Path();
};

TEST_F(KestrelCsvImport, DialectsEncodingsAndValueForms) {
  const std::string header = "KOD,NEV,D,B\r\n";
  struct Case {
    const char* what;
    std::string csv;
    std::vector<std::string> options;
    std::string exported;  // export --columns KOD,NEV,D,B --index KOD, without the header
  } cases[] = {
      {"byte-order mark and semicolons", "\xEF\xBB\xBFKOD;NEV\r\n01;Első\r\n", {"--delimiter", ";"},
       "01,Első,,\r\n"},
      {"tabs", "KOD\tNEV\n01\ta,b\n", {"--delimiter", "tab"}, "01,\"a,b\",,\r\n"},
      {"windows-1250", "KOD,NEV\n01,\xE9\x64\x65s \x8A\n", {"--encoding", "windows-1250"}, "01,édes Š,,\r\n"},
      {"ISO-8859-1 by another ICU name", "KOD,NEV\n01,\xE9\n", {"--encoding", "latin1"}, "01,é,,\r\n"},
      {"UTF-16LE", std::string("\xFF\xFEK\0O\0D\0\n\0" "0\0" "1\0\n\0", 16), {"--encoding", "UTF-16LE"},
       "01,,,\r\n"},
      {"blank lines at the end", "KOD,NEV\r\n01,a\r\n\r\n\n\r\n", {}, "01,a,,\r\n"},
      {"header names as the engine compares them", "kód,Nev\n01,a\n", {}, "01,a,,\r\n"},
      {"ISO 8601 values",
       "KOD,D,B\n01,2024-03-31T13:05,TRUE\n02,2024-03-31,False\n03,2024-03-31 13:05:01.5,\n", {},
       "01,,2024-03-31 13:05:00.000,true\r\n02,,2024-03-31 00:00:00.000,false\r\n"
       "03,,2024-03-31 13:05:01.500,\r\n"},
      {"NULL and the empty text", "KOD,NEV\n01,\n02,\"\"\n", {}, "01,,,\r\n02,\"\",,\r\n"},
      {"a record of quoted line breaks", "KOD,NEV\n01,\"a\r\nb\"\n", {}, "01,\"a\r\nb\",,\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Empty();
    const fs::path file = Write("in.csv", c.csv);
    std::vector<std::string> args = {"import", Table(), file.string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    TToolRun run = Kestrel(args);
    ASSERT_EQ(run.Status, 0) << run.Err;
    run = Kestrel({"export", Table(), "--index", "KOD", "--columns", "KOD,NEV,D,B"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, header + c.exported);
    // The same through standard input.
    Empty();
    args[2] = "-";
    run = Kestrel(args, file);
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(Kestrel({"export", Table(), "--index", "KOD", "--columns", "KOD,NEV,D,B"}).Out, header + c.exported);
  }
}

TEST_F(KestrelCsvImport, BadInputIsRefusedWithItsPlaceAndChangesNothing) {
  ASSERT_EQ(Kestrel({"import", Table(), Write("good.csv", "KOD,NEV\n01,a\n").string()}).Status, 0);
  const std::string longValue(200, 'x');
  struct Case {
    const char* what;
    std::string csv;
    std::vector<std::string> options;
    std::string message;  // a piece of the one error line
  } cases[] = {
      {"invalid UTF-8", "KOD,NEV\n02,\xE9\x64\x65s\n", {}, "line 2, column 4: invalid UTF-8; give --encoding"},
      {"overlong UTF-8", "KOD,NEV\n02,\xC0\xAF\n", {}, "line 2, column 4: an overlong UTF-8 sequence"},
      {"cut UTF-8 at the end", "KOD,NEV\n02,\xC3", {}, "line 2, column 4: a UTF-8 sequence cut short"},
      {"NUL byte", std::string("KOD,NEV\n02,a\0b\n", 15), {}, "line 2, column 5: a NUL byte"},
      {"bytes the encoding lacks", "KOD,NEV\n02,\xE9\n", {"--encoding", "US-ASCII"},
       "line 2, column 4: bytes that are not US-ASCII text"},
      {"unknown encoding", "KOD\n02\n", {"--encoding", "klingon"}, "unknown encoding \"klingon\""},
      {"bad delimiter", "KOD\n02\n", {"--delimiter", "\""}, "--delimiter takes one ASCII character"},
      {"repeated header", "KOD,NEV,kod\n02,a,03\n", {}, "line 1: column \"kod\" is named twice"},
      {"unknown header", "KOD,NEVE\n02,a\n", {}, "line 1: no column \"NEVE\"; the table has KOD, NEV, D, B, M"},
      {"NOT NULL number left empty", "KOD,M\n02,\n", {}, "line 2: column M (Integer NOT NULL) needs a value"},
      {"a day that does not exist", "KOD,D\n02,2024-02-30\n", {}, "line 2: column D: \"2024-02-30\" is not a day"},
      {"time finer than milliseconds", "KOD,D\n02,2024-02-03T10:00:00.1234\n", {},
       "is more precise than milliseconds"},
      {"not a boolean", "KOD,B\n02,yes\n", {}, "line 2: column B: \"yes\" is not true or false"},
      {"text outside the 8-bit code page", "KOD\n\xE4\xB8\xAD\n", {},
       "line 2: column KOD is a String in Windows-1250; store such texts in a WideString column"},
      {"duplicate key shows the key", "KOD,NEV\n02,b\n01,c\n", {}, "line 3: Records must be unique"},
      {"long value quoted to 80 characters", "KOD\n" + longValue + "\n", {}, "\"" + std::string(80, 'x') + "...\""},
      {"fields against the header", "KOD,NEV\n02\n", {}, "line 2: 1 fields, 2 expected"},
      {"quote inside a field", "KOD,NEV\n02,a\"b\n", {}, "line 2: a quote inside an unquoted field"},
  };
  const auto before = Files();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> args = {"import", Table(), Write("bad.csv", c.csv).string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const TToolRun run = Kestrel(args);
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find(c.message), std::string::npos) << run.Err;
    EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1) << run.Err;
    EXPECT_EQ(run.Err.find(std::string(81, 'x')), std::string::npos);
    EXPECT_TRUE(Files() == before);
  }
  // A FIFO is refused before anything reads from it (no hang).
  ASSERT_EQ(::mkfifo((FDir / "pipe.csv").c_str(), 0600), 0);
  const TToolRun run = Kestrel({"import", Table(), (FDir / "pipe.csv").string()});
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("is not a regular file (a FIFO); give - to read standard input"), std::string::npos)
      << run.Err;
  fs::remove(FDir / "pipe.csv");
  EXPECT_TRUE(Files() == before);
}

TEST_F(KestrelCsvImport, ExportImportKeepsNullsApartFromEmptyTexts) {
  ASSERT_EQ(Kestrel({"import", Table(),
                     Write("in.csv", "KOD,NEV,D,B\n01,,,\n02,\"\",2024-01-02,true\n03,x,,false\n04,,,\n").string()})
                .Status,
            0);
  const TToolRun exported = Kestrel({"export", Table()});
  ASSERT_EQ(exported.Status, 0) << exported.Err;
  ASSERT_EQ(Kestrel({"create", (FDir / "U").string(), "--level", "5", "--column", "KOD String(10) NOT NULL",
                     "--column", "NEV WideString(20)", "--column", "D DateTime", "--column", "B Boolean",
                     "--column", "M LongInt NOT NULL"})
                .Status,
            0);
  TToolRun run = Kestrel({"import", (FDir / "U").string(), "-"}, Write("out.csv", exported.Out));
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(Kestrel({"export", (FDir / "U").string()}).Out, exported.Out);
  for (const char* filter : {"NEV IS NULL", "D IS NULL", "B IS NULL", "NEV = ''"}) {
    SCOPED_TRACE(filter);
    run = Kestrel({"count", Table(), "--filter", filter});
    EXPECT_EQ(run.Out, Kestrel({"count", (FDir / "U").string(), "--filter", filter}).Out);
    EXPECT_NE(run.Out, "0\n");
  }
}

// In a file of one column a NULL is a blank line, also in the last rows,
// where blank lines of wider files are ignored.
TEST_F(KestrelCsvImport, OneColumnFileKeepsItsNullRowsAtTheEnd) {
  const fs::path one = FDir / "One";
  ASSERT_EQ(Kestrel({"create", one.string(), "--level", "5", "--column", "NEV WideString(20)"}).Status, 0);
  ASSERT_EQ(Kestrel({"import", one.string(), Write("in.csv", "NEV\n\na\n\n\n").string()}).Status, 0);
  EXPECT_EQ(Kestrel({"count", one.string(), "--filter", "NEV IS NULL"}).Out, "3\n");
  const TToolRun exported = Kestrel({"export", one.string()});
  ASSERT_EQ(exported.Status, 0) << exported.Err;
  ASSERT_EQ(Kestrel({"create", (FDir / "Two").string(), "--level", "5", "--column", "NEV WideString(20)"}).Status, 0);
  ASSERT_EQ(Kestrel({"import", (FDir / "Two").string(), "-"}, Write("out.csv", exported.Out)).Status, 0);
  EXPECT_EQ(Kestrel({"export", (FDir / "Two").string()}).Out, exported.Out);
  EXPECT_EQ(Kestrel({"count", (FDir / "Two").string()}).Out, "4\n");
}

}  // namespace
}  // namespace kestrel
