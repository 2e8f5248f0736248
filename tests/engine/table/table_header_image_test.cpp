// Table headers built byte by byte from the format's offsets (not through
// the engine's writer) read correctly, at levels 6, 4, 3, 2 and 1; the old
// header rules (obsolete columns, unnamed and duplicate names, old options,
// three foreign key action bytes); and damaged fixed fields give 134.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/base/column_codec.h"
#include "engine/base/engine_error.h"
#include "engine/table/table_header.h"

namespace kestrel {
namespace {

// Appends little-endian fields to a byte image.
struct TImage {
  std::vector<uint8_t> Bytes;

  TImage& U8(uint8_t v) { Bytes.push_back(v); return *this; }
  TImage& I16(int v) { return U8(static_cast<uint8_t>(v)).U8(static_cast<uint8_t>(v >> 8)); }
  TImage& I32(int64_t v) {
    for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  TImage& Zeros(size_t n) { Bytes.insert(Bytes.end(), n, 0); return *this; }
  TImage& PadTo(size_t size) { return Zeros(size - Bytes.size()); }
  TImage& Ansi(const std::string& s) {  // 8-bit bytes as given
    Bytes.insert(Bytes.end(), s.begin(), s.end());
    return *this;
  }
  TImage& Short(const std::string& s, size_t n) { U8(static_cast<uint8_t>(s.size())).Ansi(s); return Zeros(n - s.size()); }
  TImage& AnsiString(const std::string& s) { return I16(static_cast<int>(s.size())).Ansi(s); }
  TImage& Wide(const std::u16string& s) {
    I16(static_cast<int>(s.size()));
    for (char16_t c : s) I16(c);
    return *this;
  }
  size_t Size() const { return Bytes.size(); }
  void PatchI16(size_t at, int v) { Bytes[at] = static_cast<uint8_t>(v); Bytes[at + 1] = static_cast<uint8_t>(v >> 8); }
};

constexpr uint32_t kMagic = 0xFF57AA64;

TTdbTableHeader Read(const TImage& image) {
  TTdbHeaderReader reader(image.Bytes, image.Size(), nullptr, "kézi.dat");
  return ReadTableHeader(reader);
}

int ErrorNumber(const TImage& image) {
  try {
    Read(image);
  } catch (const ETdbEngine& e) {
    return e.Number();
  }
  return 0;
}

std::u16string CheckString() {
  std::u16string check(40, u'q');
  check[7] = u't';
  check[24] = u'd';
  check[37] = u'b';
  return check;
}

// Level 6: a String KOD of 10 characters and a nullable LongInt N; two
// records follow the header.
TImage Level6Image(int recordCount = 2, const std::u16string& idSpec = u"") {
  TImage block;
  block.Wide(CheckString()).I16(0).Zeros(80);    // check string, empty password
  block.Wide(u"").I32(100).I32(0).I16(16).I16(0);  // collation, capacity, record size
  block.Wide(idSpec).I16(0);                       // record id spec, no user types
  block.I16(2);
  block.U8(1).Wide(u"KOD").I32(0).I16(11).Wide(u"").Wide(u"").I16(10);
  block.U8(16).Wide(u"N").I32(0x28).I16(5).Wide(u"");
  block.I16(0).I16(0).I16(0);
  block.Zeros(64);  // padding

  TImage image;
  image.I32(kMagic).I16(6).U8(1).I32(recordCount).I32(0).I32(9).I32(0);
  image.I16(2);                            // index name count at 23
  image.Wide(u"KOD").PadTo(25 + 90);        // slot 0 at 25
  image.Wide(u"INDMN").PadTo(4525);         // slot 1 at 115
  image.I32(static_cast<int64_t>(block.Size())).Ansi(std::string(block.Bytes.begin(), block.Bytes.end()));
  for (int r = 1; r <= 2; ++r) {
    image.U8(3).Ansi("ABC").Zeros(7);  // KOD
    image.U8(1).I32(1000 + r);         // N: indicator first
  }
  return image;
}

TEST(TableHeaderImage, Level6) {
  const TImage image = Level6Image();
  const TTdbTableHeader header = Read(image);
  EXPECT_EQ(header.Level, 6);
  EXPECT_EQ(header.RecordCount, 2);
  EXPECT_EQ(header.NextRecordId, 9);
  EXPECT_EQ(header.IndexNames, (std::vector<std::u16string>{u"KOD", u"INDMN"}));
  EXPECT_EQ(header.Capacity, 100);
  EXPECT_EQ(header.EncryptionMethod, emNone);
  ASSERT_EQ(header.Columns.Count(), 2u);
  EXPECT_EQ(header.Columns[1].Name, u"N");
  EXPECT_EQ(header.Columns[1].Position, 11);
  EXPECT_TRUE(header.Columns[1].DataType.Nullable());
  EXPECT_EQ(header.RecordSize(), 16);
  EXPECT_EQ(header.RecordsOffset, image.Size() - 32);
  const std::span<const uint8_t> record2(image.Bytes.data() + header.RecordsOffset + 16, 16);
  EXPECT_EQ(std::get<int64_t>(ReadValue(header.Columns[1].DataType, header.Columns.ColumnBytes(record2, 1))), 1002);
  EXPECT_EQ(std::get<std::u16string>(ReadValue(header.Columns[0].DataType, header.Columns.ColumnBytes(record2, 0))),
            u"ABC");
}

TEST(TableHeaderImage, Level6Damage) {
  struct Case {
    const char* what;
    std::function<void(TImage&)> damage;
    int error;
  } cases[] = {
      {"level 7", [](TImage& i) { i.PatchI16(4, 7); }, 134},
      {"level 0", [](TImage& i) { i.PatchI16(4, 0); }, 134},
      {"magic", [](TImage& i) { i.Bytes[0] = 0x65; }, 124},
      {"negative record count", [](TImage& i) { i.Bytes[10] = 0x80; }, 134},
      {"51 index names", [](TImage& i) { i.PatchI16(23, 51); }, 134},
      {"-1 index names", [](TImage& i) { i.PatchI16(23, -1); }, 134},
      {"index name of 45 characters", [](TImage& i) { i.PatchI16(25, 45); }, 134},
      {"block past the end", [](TImage& i) { i.Bytes[4525 + 2] = 0x01; }, 134},
      {"negative block length", [](TImage& i) { i.Bytes[4525 + 3] = 0x80; }, 134},
      {"check string", [](TImage& i) { i.Bytes[4529 + 2 + 2 * 24] = 'x'; }, 38},
      {"check string length", [](TImage& i) { i.PatchI16(4529, 39); }, 38},
      {"truncated", [](TImage& i) { i.Bytes.resize(4600); }, 134},
  };
  for (const Case& c : cases) {
    TImage image = Level6Image();
    c.damage(image);
    EXPECT_EQ(ErrorNumber(image), c.error) << c.what;
  }
  EXPECT_EQ(ErrorNumber(Level6Image(2, u"ID")), 134) << "record id index without record id column";
  EXPECT_EQ(ErrorNumber(Level6Image(3)), 0) << "a level-6 record count is taken as it is";
  EXPECT_EQ(Read(Level6Image(3)).RecordCount, 3);
}

// Level 4: String KOD (10), nullable String MEGNEV (39 + indicator), one
// foreign key; the column count has bit 15 set, which is ignored.
TImage Level4Image(int columnCountField = 0x8002) {
  TImage image;
  image.I32(kMagic).I16(4).Short("HUN", 3).I32(1).I16(11 + 41).I16(columnCountField).I32(1000);
  const size_t area = image.Size();
  EXPECT_EQ(area, 22u);
  image.I16(2).Short("KOD", 44).Short("INDMN", 44).PadTo(area + 2252);
  image.AnsiString("KOD").I16(10).U8(1).I32(0x80);
  image.AnsiString("MEGNEV").I16(40).U8(1).I32(0x80 | 0x28);
  image.Zeros(11);  // empty password
  std::u16string check(40, u'k');
  check[7] = 52;
  check[31] = 2;
  image.Wide(check);
  image.I16(0);     // formulas
  image.I16(0).I16(0);  // candidate keys, checks
  image.I16(1).AnsiString("FK").AnsiString("Parent").Wide(u"PID").Wide(u"KOD").U8(9).U8(2).U8(3);
  image.U8(3).Ansi("A01").Zeros(7);                 // KOD
  image.U8(4).Ansi("N\xE9v\xF5").Zeros(35).U8(1);  // "Névő", indicator last
  return image;
}

TEST(TableHeaderImage, Level4) {
  const TImage image = Level4Image();
  const TTdbTableHeader header = Read(image);
  EXPECT_EQ(header.CollationName, u"HUN");
  EXPECT_EQ(header.Capacity, 1000);
  EXPECT_EQ(header.RecordCount, 1);
  EXPECT_EQ(header.IndexNames, (std::vector<std::u16string>{u"KOD", u"INDMN"}));
  ASSERT_EQ(header.Columns.Count(), 2u);
  const TTdbDataType& megnev = header.Columns[1].DataType;
  EXPECT_EQ(megnev.MaxLength(), 39);
  EXPECT_TRUE(megnev.Nullable());
  EXPECT_EQ(megnev.NullByteOffset(), 40);
  ASSERT_EQ(header.ForeignKeyDefs.size(), 1u);
  EXPECT_EQ(header.ForeignKeyDefs[0], (TTdbForeignKeyDef{u"FK", u"KOD", u"Parent", u"PID", 2, 3}));
  EXPECT_EQ(header.RecordsOffset, image.Size() - 52);
  const std::span<const uint8_t> record(image.Bytes.data() + header.RecordsOffset, 52);
  EXPECT_EQ(std::get<std::u16string>(ReadValue(megnev, header.Columns.ColumnBytes(record, 1))), u"Névő");
  EXPECT_FALSE(header.RecordCountLowered);

  TImage noRecords = image;
  noRecords.Bytes.resize(noRecords.Size() - 1);
  const TTdbTableHeader lowered = Read(noRecords);
  EXPECT_EQ(lowered.RecordCount, 0);
  EXPECT_TRUE(lowered.RecordCountLowered);
}

TEST(TableHeaderImage, Level4ColumnCountLimits) {
  // 1000 one-byte columns are accepted; a count of 1001 is damage.
  TImage image;
  image.I32(kMagic).I16(4).Short("", 3).I32(0).I16(1000).I16(1000).I32(1);
  image.I16(0).PadTo(22 + 2252);
  for (int i = 0; i < 1000; ++i) image.AnsiString("C" + std::to_string(i)).I16(0).U8(4).I32(0x80);
  image.Zeros(11);
  std::u16string check(40, u'z');
  check[7] = 1000;
  check[31] = 1000;
  image.Wide(check).I16(0).I16(0).I16(0).I16(0);
  EXPECT_EQ(Read(image).Columns.Count(), 1000u);
  image.PatchI16(16, 1001);
  EXPECT_EQ(ErrorNumber(image), 134);
  image.PatchI16(16, 0);
  EXPECT_EQ(ErrorNumber(image), 134);
  image.PatchI16(16, 1000);
  image.PatchI16(14, 0);  // record size 0
  EXPECT_EQ(ErrorNumber(image), 134);
  image.PatchI16(14, 999);  // sizes do not add up
  EXPECT_EQ(ErrorNumber(image), 134);
}

TEST(TableHeaderImage, Level4WrongKeyCheck) {
  TImage image = Level4Image();
  // The key check string lies right after the password field.
  const size_t checkAt = 22 + 2252 + (2 + 3 + 2 + 1 + 4) + (2 + 6 + 2 + 1 + 4) + 11;
  ASSERT_EQ(image.Bytes[checkAt], 40);
  image.Bytes[checkAt + 2 + 2 * 7] = 51;
  EXPECT_EQ(ErrorNumber(image), 38);
}

// A 54-byte column entry of level 3.
void Entry3(TImage& image, const std::string& name, int sizeMinusOne, int extra, int code, int options) {
  const size_t start = image.Size();
  image.Zeros(2).Short(name, 40);
  image.U8(static_cast<uint8_t>(sizeMinusOne)).U8(0).U8(static_cast<uint8_t>(extra)).U8(0);
  image.U8(static_cast<uint8_t>(code)).U8(static_cast<uint8_t>(options)).PadTo(start + 54);
}

TEST(TableHeaderImage, Level3OldRules) {
  TImage image;
  // Columns: Nev String(10); NEV Int16 with old 0x08; an obsolete column;
  // an unnamed Float of scale 2; Time of size 2; Link to Other; RecordId.
  image.I32(kMagic).I16(3).Short("", 3).I32(0).I16(11 + 3 + 8 + 2 + 4 + 4).I16(7);
  image.I16(1).Short("KOD", 44).PadTo(18 + 677);
  Entry3(image, "Nev", 10, 0, 1, 0);
  Entry3(image, "NEV", 2, 0, 2, 0x08);
  Entry3(image, "Old", 3, 0, 14, 0);
  Entry3(image, "", 7, 2, 3, 0);
  Entry3(image, "T", 1, 5, 13, 0);
  Entry3(image, "L(Other)", 3, 0, 10, 0x08);
  Entry3(image, "ID", 3, 0, 9, 0);
  // Password "ABC", stored reversed and complemented.
  image.U8(3).U8(static_cast<uint8_t>(~'C')).U8(static_cast<uint8_t>(~'B')).U8(static_cast<uint8_t>(~'A')).Zeros(7);
  image.Zeros(50).I32(77);  // record id index vector, next record id
  const TTdbTableHeader header = Read(image);
  ASSERT_EQ(header.Columns.Count(), 6u);
  EXPECT_EQ(header.Columns[0].Name, u"Nev");
  EXPECT_EQ(header.Columns[1].Name, u"NEV_2");
  EXPECT_EQ(header.Columns[1].Options, kColumnOptionNullByte | kColumnOptionNullable);
  EXPECT_EQ(header.Columns[1].DataType.NullByteOffset(), 2);
  EXPECT_EQ(header.Columns[2].Name, u"Column4");
  EXPECT_EQ(header.Columns[2].DataType.Scale(), 2);
  EXPECT_EQ(header.Columns[3].DataType.Precision(), 2);
  EXPECT_EQ(header.Columns[3].Size, 2);
  EXPECT_EQ(header.Columns[4].Name, u"L");
  EXPECT_EQ(header.Columns[4].LinkedTable, u"Other");
  EXPECT_EQ(header.Columns[4].Options, kColumnOptionOldForm | kColumnOptionNullable);
  EXPECT_EQ(header.Columns[5].Position, 28);
  EXPECT_EQ(header.Password, u"ABC");
  EXPECT_EQ(header.EncryptionMethod, emProtection);
  EXPECT_EQ(header.NextRecordId, 77);
  EXPECT_EQ(NextRecordIdOffset(header), image.Size() - 4);
  EXPECT_EQ(header.Capacity, kDefaultCapacity);
}

// A 46-byte column entry of levels 1 and 2.
void Entry12(TImage& image, const std::string& name, size_t nameField, int sizeMinusOne, int extra, int code,
             int options) {
  const size_t start = image.Size();
  image.Zeros(2).Short(name, nameField).PadTo(start + 43);
  image.U8(static_cast<uint8_t>(sizeMinusOne)).U8(static_cast<uint8_t>(extra));
  image.U8(static_cast<uint8_t>(options << 4 | code));
}

TEST(TableHeaderImage, Levels1And2) {
  for (int level : {1, 2}) {
    TImage image;
    image.I32(kMagic).I16(level).I32(1).I16(11 + 3 + 4 + 1).I16(4);
    const size_t area = image.Size();
    EXPECT_EQ(area, 14u);
    image.I16(1).Short("KOD", 44).PadTo(area + (level == 1 ? 67 : 677));
    Entry12(image, "KOD", 40, 10, 0, 1, 0);
    Entry12(image, "N", 40, 2, 0, 2, 0x08);
    Entry12(image, "L(Masik)", 35, 3, 0, 10, 0);
    Entry12(image, "E", 40, 0, 2, 8, 0);
    image.Zeros(11);                                  // no password
    image.Short("egy", 20).Short("ketto", 20);        // enumeration values
    image.U8(3).Ansi("A01").Zeros(7).I16(5).U8(1).I32(0).U8(2);
    const TTdbTableHeader header = Read(image);
    SCOPED_TRACE(level);
    ASSERT_EQ(header.Columns.Count(), 4u);
    EXPECT_EQ(header.RecordCount, 1);
    EXPECT_EQ(header.IndexNames, std::vector<std::u16string>{u"KOD"});
    EXPECT_EQ(header.Columns[1].DataType.HasNullByte(), true);
    EXPECT_EQ(header.Columns[2].LinkedTable, u"Masik");
    EXPECT_TRUE(header.Columns[2].DataType.Nullable()) << "Link shows NULL by 0";
    EXPECT_EQ(header.Columns[3].DataType.EnumNames(), (std::vector<std::u16string>{u"egy", u"ketto"}));
    EXPECT_EQ(header.EncryptionMethod, emNone);
    const std::span<const uint8_t> record(image.Bytes.data() + header.RecordsOffset, 19);
    EXPECT_EQ(std::get<int64_t>(ReadValue(header.Columns[1].DataType, header.Columns.ColumnBytes(record, 1))), 5);
    EXPECT_EQ(std::get<int64_t>(ReadValue(header.Columns[3].DataType, header.Columns.ColumnBytes(record, 3))), 2);
  }
}

}  // namespace
}  // namespace kestrel
