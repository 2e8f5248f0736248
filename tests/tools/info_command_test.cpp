// kestrel info: runs the built tool on tables written by the engine at
// levels 4, 5 and 6, and on missing and damaged files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/table/table_header.h"
#include "temp_dir.h"
#include "tool_runner.h"

namespace kestrel {
namespace {

namespace fs = std::filesystem;

class KestrelInfo : public testing::Test {
 protected:
  TToolRun Info(const std::string& table) { return RunKestrel({"info", table}, FDir); }

  void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream file(FDir / name, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  // The classification table at `level`, as `kestrel create` will build it.
  static TTdbTableHeader Classification(int level) {
    TTdbTableHeader header;
    header.Level = level;
    header.IndexNames = {u"KOD", u"INDMN"};
    header.Columns.Add(NewColumnDef(u"KOD", TTdbDataType::MakeString(tctString, false, 10, u"", level)));
    header.Columns.Add(NewColumnDef(u"MEGNEV", TTdbDataType::MakeString(tctString, true, 100, u"", level)));
    header.Columns.Add(NewColumnDef(u"LEIRAS", TTdbDataType::MakeString(tctMemo, true, 0, u"", level)));
    return header;
  }

  test::TTempDir FTemp;
  fs::path FDir = FTemp.Path();
};

TEST_F(KestrelInfo, DescribesALevel4Table) {
  WriteFile("Vnd03.dat", WriteTableHeader(Classification(4), "Vnd03.dat"));
  const TToolRun run = Info((FDir / "Vnd03").string());
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  const std::string file = (FDir / "Vnd03.dat").string();
  std::string expected = R"json({
  "file": ")json" + file + R"json(",
  "kind": "heap table file",
  "level": 4,
  "nextRecordId": 0,
  "encryption": "none",
  "recordCount": 0,
  "recordSize": 117,
  "recordsOffset": 2417,
  "capacity": 10000000,
  "collation": "Kestrel",
  "indexNames": [
    "KOD",
    "INDMN"
  ],
  "columns": [
    {
      "name": "KOD",
      "type": "String",
      "typeCode": 1,
      "sqlType": "VARCHAR(10) NOT NULL",
      "size": 11,
      "position": 0,
      "nullable": false,
      "nullIndicator": false,
      "maxLength": 10
    },
    {
      "name": "MEGNEV",
      "type": "String",
      "typeCode": 1,
      "sqlType": "VARCHAR(100)",
      "size": 102,
      "position": 11,
      "nullable": true,
      "nullIndicator": true,
      "maxLength": 100
    },
    {
      "name": "LEIRAS",
      "type": "Memo",
      "typeCode": 7,
      "sqlType": "LONGVARCHAR",
      "size": 4,
      "position": 113,
      "nullable": true,
      "nullIndicator": false
    }
  ]
}
)json";
  // A header alone is no table the engine opens: the memo file is missing.
  const std::string memo = (FDir / "Vnd03.mmo").string();
  expected.replace(expected.size() - 3, 3, ",\n  \"openError\": \"Cannot open memo file \\\"" + memo + "\\\"\"\n}\n");
  EXPECT_EQ(run.Out, expected);
}

TEST_F(KestrelInfo, DescribesLevel5And6TablesWithEscapedNames) {
  for (int level : {5, 6}) {
    SCOPED_TRACE(level);
    TTdbTableHeader header = Classification(level);
    header.NextRecordId = 42;
    header.CollationName = u"Hungarian";
    header.Columns.Add(NewColumnDef(u"Ár \"nettó\"\t\\", TTdbDataType::Make(tctFloat, true, level)));
    header.Columns.Add(NewColumnDef(u"ID", TTdbDataType::Make(tctRecordId, false, level)));
    header.RecordIdIndexSpec = u"ID";
    const std::string name = level == 5 ? "T5.dat" : "T6.tdbt";
    WriteFile(name, WriteTableHeader(header, name));
    const TToolRun run = Info((FDir / name.substr(0, 2)).string());
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("\"level\": " + std::to_string(level) + ",\n"), std::string::npos);
    EXPECT_NE(run.Out.find("\"nextRecordId\": 42,"), std::string::npos);
    EXPECT_NE(run.Out.find("\"collation\": \"Hungarian\","), std::string::npos);
    EXPECT_NE(run.Out.find("\"name\": \"\xC3\x81r \\\"nett\xC3\xB3\\\"\\t\\\\\","), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("\"sqlType\": \"DOUBLE\",\n      \"size\": 9,\n      \"position\": 117,"), std::string::npos);
    EXPECT_NE(run.Out.find("\"type\": \"RecordId\""), std::string::npos);
    EXPECT_NE(run.Out.find("\"recordSize\": 130,"), std::string::npos);
  }
}

TEST_F(KestrelInfo, ResolvesDatBeforeTdbt) {
  WriteFile("Both.dat", WriteTableHeader(Classification(5), "Both.dat"));
  WriteFile("Both.tdbt", WriteTableHeader(Classification(6), "Both.tdbt"));
  const TToolRun run = Info((FDir / "Both").string());
  EXPECT_EQ(run.Status, 0);
  EXPECT_NE(run.Out.find("\"level\": 5,"), std::string::npos);
  EXPECT_NE(Info((FDir / "Both.tdbt").string()).Out.find("\"level\": 6,"), std::string::npos);
}

TEST_F(KestrelInfo, BPlusTreeTableFileShowsItsFixedFields) {
  // Magic 20012002, level 6, next record id 300 at 6, Blowfish (5) at 10.
  WriteFile("Tree.tdbt", {0xE2, 0x5B, 0x31, 0x01, 6, 0, 0x2C, 0x01, 0, 0, 5, 0, 0, 0});
  const TToolRun run = Info((FDir / "Tree").string());
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Out.find("\"kind\": \"B+ tree table file\",\n  \"level\": 6,\n  \"nextRecordId\": 300,\n"
                         "  \"encryption\": \"blowfish\"\n}"),
            std::string::npos)
      << run.Out;
}

TEST_F(KestrelInfo, MissingAndDamagedFilesFailWithOneLine) {
  std::vector<uint8_t> damaged = WriteTableHeader(Classification(6), "Bad.tdbt");
  damaged[4] = 9;  // level 9
  WriteFile("Bad.tdbt", damaged);
  WriteFile("Old.dat", {1, 2, 3, 4, 5, 6});
  WriteFile("Short.dat", {0x64, 0xAA});
  struct Case {
    std::string table;
    std::string message;
  } cases[] = {
      {"Nincs", "File not found or access denied: \"" + (FDir / "Nincs").string() + "\""},
      {"Bad", "Table is of an unknown version (level > 6) or table file header is corrupt"},
      {"Old", "Old version of table file. Please repair/upgrade with a current version of Kestrel Viewer and try again"},
      {"Short", "Old version of table file. Please repair/upgrade with a current version of Kestrel Viewer and try again"},
  };
  for (const Case& c : cases) {
    const std::string path = (FDir / c.table).string();
    const TToolRun run = Info(path);
    EXPECT_EQ(run.Status, 1) << c.table;
    EXPECT_EQ(run.Out, "") << c.table;
    EXPECT_EQ(run.Err, "kestrel info: " + path + ": " + c.message + "\n");
  }
}

}  // namespace
}  // namespace kestrel
