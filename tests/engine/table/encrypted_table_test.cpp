// Encrypted tables through the table object: every method at the levels
// that have it round-trips records, memos and indexes through closing,
// reopening, checking and reindexing; none of the plain texts appears in a
// file that is encrypted; a wrong or missing key is error 38 and leaves
// every file as it was; method/level pairs the format lacks are refused
// (117) and keys the method cannot use (186), both without leaving a file.
#include <map>

#include "table_fixture.h"

namespace kestrel::test {
namespace {

class EncryptedTableTest : public TableFixture {
 public:
  std::unique_ptr<TTdbBaseTable> CreateEncrypted(int level, TTdbEncryptionMethod method, const std::u16string& key,
                                                 bool indexes = true) {
    return Create(level, indexes, [&](TTdbBaseTable& table) {
      table.SetKey(key);
      table.SetEncryptionMethod(method);
    });
  }

  std::unique_ptr<TTdbBaseTable> OpenWithKey(const std::u16string& key, TTdbRights rights = kNewTableRights) {
    auto table = NewTable();
    table->SetRights(rights);
    table->SetFileName("Vnd03.dat");
    table->SetKey(key);
    table->Open();
    table->Setup();
    return table;
  }

  // Every file of the directory with its bytes.
  std::map<std::string, std::string> Files() {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(FDir.Path()))
      files[entry.path().filename().string()] = Raw(entry.path().filename().string());
    return files;
  }
};

// Texts that must not be found in encrypted files: record values, memo text
// and the column names of the description block (also as UTF-16LE).
const std::vector<TRow> kSecretRows = {
    {"KODALFA", "Titkos megnevezes egy", "Titkos leiras szovege egy"},
    {"KODBETA", "Titkos megnevezes ketto", std::string(900, 'Q') + "Titkos hosszu leiras"},
    {"KODGAMMA", "Titkos megnevezes harom", ""},
};

std::string Utf16Bytes(const std::string& ascii) {
  std::string bytes;
  for (char c : ascii) {
    bytes.push_back(c);
    bytes.push_back('\0');
  }
  return bytes;
}

struct TMethodCase {
  int level;
  TTdbEncryptionMethod method;
  std::u16string key;
};

const TMethodCase kMethods[] = {
    {5, temFastEncrypt, u"jelszo"}, {5, temBlowfish, u"jelszo"}, {5, temRijndael, u"jelszo"},
    {6, temFastEncrypt, u"jelszo"}, {6, temBlowfish, u"jelszo"}, {6, temRijndael, u"jelszo"},
    {4, temFastEncrypt, u"jelszo"}, {4, temBlowfish, u"jelszo"}, {4, temRijndael, u"jelszo"},
    {3, temClassic, u"Jelszo;4711"}, {2, temClassic, u"Jelszo;-5"},
};

TEST_F(EncryptedTableTest, EveryMethodRoundTripsAndHidesItsPlainTexts) {
  for (const TMethodCase& c : kMethods) {
    SCOPED_TRACE("level " + std::to_string(c.level) + " method " + std::to_string(c.method));
    RemoveAllFiles();
    auto table = CreateEncrypted(c.level, c.method, c.key);
    EXPECT_EQ(table->EncryptionMethod(), c.method);
    for (const TRow& row : kSecretRows) Append(*table, row);
    Replace(*table, 3, {"KODGAMMA", "Titkos megnevezes harom", "Titkos csere leiras"});
    const std::vector<TRow> rows = Rows(*table);
    const std::vector<std::int32_t> byName = IndexOrder(*table, table->GetIndexNo(u"INDMN"));
    table->Close();

    for (const auto& [name, bytes] : Files()) {
      // Index files below level 6 are not encrypted, nor are the column
      // names of level 1–4 headers.
      const bool index = name.ends_with(".ind");
      if (index && c.level < 6) continue;
      for (const char* secret : {"KODALFA", "Titkos", "QQQQQQQQ", "MEGNEV"}) {
        if (std::string(secret) == "MEGNEV" && c.level < 5) continue;
        EXPECT_EQ(bytes.find(secret), std::string::npos) << secret << " in " << name;
        EXPECT_EQ(bytes.find(Utf16Bytes(secret)), std::string::npos) << secret << " in " << name;
      }
    }

    table = OpenWithKey(c.key);
    EXPECT_EQ(table->EncryptionMethod(), c.method);
    EXPECT_EQ(Rows(*table), rows);
    EXPECT_EQ(IndexOrder(*table, table->GetIndexNo(u"INDMN")), byName);
    EXPECT_TRUE(Check(*table).empty());
    table->RebuildIndex(table->GetIndexNo(u"KOD"));
    table->RebuildIndex(table->GetIndexNo(u"INDMN"));
    EXPECT_EQ(IndexOrder(*table, table->GetIndexNo(u"INDMN")), byName);
    EXPECT_TRUE(Check(*table).empty());
    table->DeleteRecord(1);
    table->Close();
    table = OpenWithKey(c.key, 0);
    EXPECT_EQ(table->RecordCount(), 2);
    EXPECT_TRUE(Check(*table).empty());
    table->Close();
  }
}

TEST_F(EncryptedTableTest, WrongOrMissingKeyIsRefusedAndChangesNothing) {
  struct Case {
    TMethodCase table;
    std::u16string wrongKey;
  } cases[] = {
      {{5, temFastEncrypt, u"jelszo"}, u"jelsz0"},  {{5, temBlowfish, u"jelszo"}, u"JELSZO"},
      {{6, temRijndael, u"jelszo"}, u"jelszo "},    {{6, temBlowfish, u"jelszo"}, u""},
      {{5, temProtection, u"jelszo"}, u"jelszo2"},  {{4, temProtection, u"jelszo"}, u"Jelszo"},
      {{4, temRijndael, u"jelszo"}, u"x"},          {{4, temFastEncrypt, u"jelszo"}, u""},
      {{3, temClassic, u"Jelszo;4711"}, u"masik;4711"}, {{3, temClassic, u"Jelszo;4711"}, u"Jelszo"},
      {{3, temProtection, u"jelszo"}, u"jelsz"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("level " + std::to_string(c.table.level) + " method " + std::to_string(c.table.method));
    RemoveAllFiles();
    auto table = CreateEncrypted(c.table.level, c.table.method, c.table.key);
    for (const TRow& row : kSecretRows) Append(*table, row);
    table->Close();
    const auto before = Files();
    auto wrong = NewTable();
    wrong->SetFileName("Vnd03.dat");
    wrong->SetKey(c.wrongKey);
    EXPECT_EQ(ErrorOf([&] { wrong->Open(); }), tdbErrCredentials);
    EXPECT_FALSE(wrong->Active());
    wrong.reset();
    EXPECT_EQ(Files(), before);
    table = OpenWithKey(c.table.key);
    EXPECT_EQ(Row(*table, 2), kSecretRows[1]);
    table->Close();
  }
}

TEST_F(EncryptedTableTest, ClassicKeysOfOldLevels) {
  // The password part is kept upper-cased and compared without regard to
  // case; the code part is the cipher key, so another code reads garbage
  // that the first-record check turns away.
  auto table = CreateEncrypted(3, temClassic, u"Titok;4711");
  for (const TRow& row : kSecretRows) Append(*table, row);
  table->Close();
  EXPECT_NE(Raw("Vnd03.dat").find(std::string{static_cast<char>(~'K'), static_cast<char>(~'O')}),
            std::string::npos);  // "TITOK" reversed and complemented: "KOTIT"
  table = OpenWithKey(u"TITOK;4711");
  EXPECT_EQ(table->EncryptionMethod(), temClassic);
  EXPECT_EQ(table->CryptorMethod(), emClassic1);
  EXPECT_EQ(Row(*table, 1), kSecretRows[0]);
  table->Close();
  auto wrong = NewTable();
  wrong->SetFileName("Vnd03.dat");
  wrong->SetKey(u"titok;4712");
  EXPECT_EQ(ErrorOf([&] { wrong->Open(); }), tdbErrCredentials);
}

TEST_F(EncryptedTableTest, MethodsTheLevelLacksAndUnusableKeysLeaveNoFile) {
  struct Case {
    int level;
    TTdbEncryptionMethod method;
    std::u16string key;
    int error;
  } cases[] = {
      {6, temClassic, u"pw;1", tdbErrLevelFeature},   {5, temClassic, u"pw;1", tdbErrLevelFeature},
      {4, temClassic, u"pw;1", tdbErrLevelFeature},   {3, temFastEncrypt, u"pw", tdbErrLevelFeature},
      {3, temBlowfish, u"pw", tdbErrLevelFeature},    {2, temRijndael, u"pw", tdbErrLevelFeature},
      {6, temClassic, u"", tdbErrLevelFeature},       {6, temBlowfish, u"", tdbErrInvalidPassword},
      {5, temFastEncrypt, u"", tdbErrInvalidPassword}, {5, temProtection, u"", tdbErrInvalidPassword},
      {4, temRijndael, u"", tdbErrInvalidPassword},   {3, temClassic, u"pw", tdbErrInvalidPassword},
      {3, temClassic, u"pw;x", tdbErrInvalidPassword}, {3, temClassic, u";5", tdbErrInvalidPassword},
      {5, temProtection, u"pw", 0},                   {3, temClassic, u"pw;5", 0},
      {6, temNone, u"", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("level " + std::to_string(c.level) + " method " + std::to_string(c.method));
    RemoveAllFiles();
    std::unique_ptr<TTdbBaseTable> table;
    EXPECT_EQ(ErrorOf([&] { table = CreateEncrypted(c.level, c.method, c.key, false); }), c.error);
    if (c.error != 0) {
      EXPECT_TRUE(Files().empty());
    }
  }
}

TEST_F(EncryptedTableTest, EqualRecordsAreStoredAsEqualBytes) {
  auto table = CreateEncrypted(5, temRijndael, u"k", false);
  Append(*table, {"A", "same", ""});
  Append(*table, {"A", "same", ""});
  table->Close();
  const std::string raw = Raw("Vnd03.dat");
  const std::size_t size = static_cast<std::size_t>(OpenWithKey(u"k")->RecordSize());
  const std::size_t first = raw.size() - 2 * size;
  EXPECT_EQ(raw.substr(first, size), raw.substr(first + size, size));
}

}  // namespace
}  // namespace kestrel::test
