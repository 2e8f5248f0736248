// Table file names: resolution of names without extension, standard names
// and the extensions of a level's files.
#include <gtest/gtest.h>

#include <set>

#include "engine/table/table_file_names.h"

namespace kestrel {
namespace {

TEST(TableFileNames, Resolution) {
  const std::set<std::string> files = {"db/Vnd03.dat", "db/Vnd03.tdbt", "db/Uj.tdbt", "db.x/Plain"};
  auto exists = [&](const std::string& name) { return files.count(name) > 0; };
  struct Case {
    const char* name;
    const char* resolved;
  } cases[] = {
      {"db/Vnd03", "db/Vnd03.dat"},  // ".dat" wins when both exist
      {"db/Uj", "db/Uj.tdbt"},
      {"db/Nincs", ""},
      {"db/Vnd03.tdbt", "db/Vnd03.tdbt"},  // an extension is taken as it is
      {"db/Other.xyz", "db/Other.xyz"},
      {"db.x/Plain", ""},  // a dot in the directory is no extension
  };
  for (const Case& c : cases) EXPECT_EQ(ResolveTableFileName(c.name, exists), c.resolved) << c.name;
}

TEST(TableFileNames, StandardName) {
  struct Case {
    const char* file;
    const char* std;
  } cases[] = {
      {"/data/Vnd03.dat", "Vnd03"},    {"/data/Vnd03.DAT", "Vnd03"},  {"Vnd03.tdbt", "Vnd03"},
      {"/data/Vnd03.TdBt", "Vnd03"},   {"/data/Vnd03.rel", "Vnd03.rel"}, {"C:\\adat\\Masik.dat", "Masik"},
      {"/data.d/Vnd03", "Vnd03"},
  };
  for (const Case& c : cases) EXPECT_EQ(CalcStdTableName(c.file), c.std) << c.file;
}

TEST(TableFileNames, ExtensionsByLevel) {
  for (int level = 1; level <= 5; ++level) {
    EXPECT_STREQ(TableFileExtension(level), ".dat");
    EXPECT_STREQ(MemoFileExtension(level), ".mmo");
    EXPECT_STREQ(BlobFileExtension(level), ".blb");
  }
  EXPECT_STREQ(TableFileExtension(6), ".tdbt");
  EXPECT_STREQ(MemoFileExtension(6), ".tdbm");
  EXPECT_STREQ(BlobFileExtension(6), ".tdbb");
}

}  // namespace
}  // namespace kestrel
