// Index definitions: spec texts parsed and written back, checks of
// definitions read from files, stored descriptions in both layouts, index
// file names, kinds and name resolution.
#include <gtest/gtest.h>

#include "engine/base/code_page.h"
#include "engine/base/engine_error.h"
#include "engine/index/index_definition_text.h"
#include "engine/index/index_description.h"
#include "engine/index/index_names.h"
#include "index_test_table.h"

namespace kestrel {
namespace {

using test::TTestTable;

int ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const ETdbEngine& error) {
    return error.Number();
  }
  return 0;
}

TEST(IndexDefinitionText, ParsesLevelsDirectionsAndSizes) {
  const TTestTable table(4);
  struct Case {
    std::u16string FText;
    std::vector<TTdbSortLevel> FLevels;
    std::u16string FReadable;  // written back readable, with reverse false
  } cases[] = {
      {u"-KOD, NEV", {{tctString, 1, 22, true}, {tctWideString, 2, 27, false}}, u"-KOD, NEV"},
      {u"kod", {{tctString, 1, 22, false}}, u"KOD"},
      {u"${SZAM}:4,  -$2", {{tctLongInt, 3, 5, false}, {tctWideString, 2, 27, true}}, u"SZAM, -NEV"},
      {u"3, KOD:5", {{tctLongInt, 3, 5, false}, {tctString, 1, 22, false}}, u"SZAM, KOD"},
      {u"{NEV}", {{tctWideString, 2, 27, false}}, u"NEV"},
  };
  for (const Case& c : cases) {
    const TTdbSortDef def = CalcIndexDefinition(table.Table(), c.FText, true);
    EXPECT_EQ(def.Items, c.FLevels) << Utf16ToUtf8(c.FText);
    EXPECT_TRUE(def.IsUnique);
    EXPECT_FALSE(def.IsVarSize);  // only from table level 6
    uint32_t size = 4;
    for (const TTdbSortLevel& level : c.FLevels) size += level.Size;
    EXPECT_EQ(def.FSize, size);
    EXPECT_EQ(CalcSpecification(def, table.Table(), true, false, false, false), c.FReadable);
  }
}

TEST(IndexDefinitionText, WritesBackInEveryForm) {
  const TTestTable table(4);
  const TTdbSortDef def = CalcIndexDefinition(table.Table(), u"-KOD, NEV", false);
  EXPECT_EQ(CalcSpecification(def, table.Table(), false, false, false, false), u"-${KOD}, ${NEV}");
  EXPECT_EQ(CalcSpecification(def, table.Table(), true, true, false, false), u"-1, 2");
  EXPECT_EQ(CalcSpecification(def, table.Table(), false, true, false, false), u"-$1, $2");
  EXPECT_EQ(CalcSpecification(def, table.Table(), true, false, true, true), u"KOD:22, -NEV:27");
  // Written back and parsed again, the definition is the same.
  const TTdbSortDef again =
      CalcIndexDefinition(table.Table(), CalcSpecification(def, table.Table(), false, false, true, false), false);
  EXPECT_TRUE(def.Equals(again));
}

TEST(IndexDefinitionText, RefusesBadTexts) {
  TTestTable table(4);
  struct Case {
    std::u16string FText;
    int FError;
  } cases[] = {
      {u"KOD,", tdbErrInvalidIndexSpec},       // empty item
      {u"KOD, NINCS", tdbErrInvalidIndexSpec},  // unknown column
      {u"4", tdbErrInvalidIndexSpec},          // column number beyond the table
      {u"-", tdbErrInvalidIndexSpec},
      {u"(SZAM + 1", tdbErrInvalidIndexSpec},  // calculated index without ")"
      {u"(SZAM + 1)", tdbErrInvalidIndexSpec},  // no expression preparer here
  };
  for (const Case& c : cases)
    EXPECT_EQ(ErrorOf([&] { CalcIndexDefinition(table.Table(), c.FText, false); }), c.FError) << Utf16ToUtf8(c.FText);

  std::u16string eleven = u"KOD";
  for (int i = 0; i < 10; ++i) eleven += u", KOD";
  TTestTable old(3);
  EXPECT_EQ(ErrorOf([&] { CalcIndexDefinition(old.Table(), eleven, false); }), tdbErrTooManyLevels);
  EXPECT_EQ(ErrorOf([&] { CalcIndexDefinition(table.Table(), eleven, false); }), 0);
  // More than 512 bytes per item below level 4.
  EXPECT_EQ(ErrorOf([&] { CalcIndexDefinition(old.Table(), u"NEV, NEV, NEV, NEV, NEV, NEV, NEV, NEV, NEV, NEV", false); }),
            0);
  old.Table().FColumns[1].FSize = 300;
  old.Table().FRecordSize += 300;
  EXPECT_EQ(ErrorOf([&] { CalcIndexDefinition(old.Table(), u"NEV, NEV", false); }), tdbErrIndexDataTooLarge);
}

TEST(IndexDefinitionText, StringLevelsMakeVariableSizeDefinitionsAtLevelSix) {
  const TTestTable table(6);
  EXPECT_TRUE(CalcIndexDefinition(table.Table(), u"KOD", false).IsVarSize);
  EXPECT_FALSE(CalcIndexDefinition(table.Table(), u"SZAM", false).IsVarSize);
}

TEST(IndexDefinitionText, CheckRefusesDefinitionsThatDoNotFitTheTable) {
  const TTestTable table(4);
  const TTdbSortDef good = CalcIndexDefinition(table.Table(), u"KOD, SZAM", false);
  EXPECT_EQ(ErrorOf([&] { CheckIndexDefinition(good, table.Table()); }), 0);
  struct Case {
    const char* FLabel;
    std::function<void(TTdbSortDef&)> FDamage;
    int FError;
  } cases[] = {
      {"missing column", [](TTdbSortDef& d) { d.Items[1].ColumnNo = 9; }, tdbErrInvalidIndexSpec},
      {"wrong type", [](TTdbSortDef& d) { d.Items[1].ColumnType = tctInt64; }, tdbErrInvalidIndexSpec},
      {"short number", [](TTdbSortDef& d) { d.Items[1].Size = 3; d.CalcSize(4); }, tdbErrInvalidIndexSpec},
      {"long string", [](TTdbSortDef& d) { d.Items[0].Size = 40; d.CalcSize(4); }, tdbErrInvalidIndexSpec},
      {"short string", [](TTdbSortDef& d) { d.Items[0].Size = 8; d.CalcSize(4); }, 0},
      {"item too large", [](TTdbSortDef& d) { d.FSize = 40000; }, tdbErrIndexDataTooLarge},
      {"relation key of 4", [](TTdbSortDef& d) { d.Items[1] = {tctRelationKey, 3, 4, false}; d.CalcSize(4); }, 0},
      {"relation key of 5", [](TTdbSortDef& d) { d.Items[1] = {tctRelationKey, 3, 5, false}; d.CalcSize(4); },
       tdbErrInvalidIndexSpec},
  };
  for (const Case& c : cases) {
    TTdbSortDef def = good;
    c.FDamage(def);
    EXPECT_EQ(ErrorOf([&] { CheckIndexDefinition(def, table.Table()); }), c.FError) << c.FLabel;
  }
}

TEST(IndexDefinition, EqualsAndCovers) {
  const TTestTable table(4);
  auto def = [&](std::u16string_view text) { return CalcIndexDefinition(table.Table(), text, false); };
  EXPECT_TRUE(def(u"KOD, NEV").Equals(def(u"kod, 2")));
  EXPECT_FALSE(def(u"KOD, NEV").Equals(def(u"KOD, -NEV")));
  bool reverse = false;
  EXPECT_TRUE(def(u"KOD, NEV").Covers(def(u"KOD"), false, reverse));
  EXPECT_FALSE(reverse);
  EXPECT_FALSE(def(u"KOD, NEV").Covers(def(u"-KOD"), false, reverse));
  EXPECT_TRUE(def(u"KOD, NEV").Covers(def(u"-KOD, -NEV"), true, reverse));
  EXPECT_TRUE(reverse);
  EXPECT_FALSE(def(u"KOD, NEV").Covers(def(u"-KOD, NEV"), true, reverse));
  EXPECT_FALSE(def(u"KOD").Covers(def(u"KOD, NEV"), true, reverse));
}

TEST(IndexDescription, RoundTripsInBothLayouts) {
  const TTestTable table(4);
  TTdbSortDef def = CalcIndexDefinition(table.Table(), u"-KOD, SZAM", true);
  for (uint16_t version : {1, 3, 4, 5}) {
    std::vector<uint8_t> area(200, 0xEE);
    WriteIndexDescription(def, version, 1234, area.data(), area.size());
    uint32_t count = 0;
    const TTdbSortDef read = ReadIndexDescription(area.data(), area.size(), version, 4, count, "x");
    EXPECT_EQ(count, 1234u) << version;
    EXPECT_TRUE(read.Equals(def)) << version;
  }
  // The old layout closes a short level list with 255 for a unique index.
  std::vector<uint8_t> area(100, 0);
  WriteIndexDescription(def, 3, 0, area.data(), area.size());
  EXPECT_EQ(area[2 * 5 + 4], 255);
  EXPECT_EQ(area[0] | (area[1] << 8), 0x8001);  // column 1, descending

  TTdbSortDef calculated;
  calculated.IsCalculated = true;
  calculated.IsProcedural = true;
  calculated.FSource = u"Upper(KOD)";
  calculated.Items.push_back({tctString, 0, 22, false});
  for (uint16_t version : {2, 5}) {
    calculated.CalcSize(version);
    std::vector<uint8_t> calcArea(200, 0);
    WriteIndexDescription(calculated, version, 7, calcArea.data(), calcArea.size());
    uint32_t count = 0;
    const TTdbSortDef read = ReadIndexDescription(calcArea.data(), calcArea.size(), version, version, count, "x");
    EXPECT_TRUE(read.Equals(calculated)) << version;
    EXPECT_TRUE(read.IsProcedural) << version;
    EXPECT_EQ(count, 7u);
  }
}

TEST(IndexDescription, DamagedDescriptionsAreInconsistent) {
  const TTestTable table(4);
  const TTdbSortDef def = CalcIndexDefinition(table.Table(), u"KOD, SZAM", false);
  std::vector<uint8_t> good(200, 0);
  WriteIndexDescription(def, 4, 0, good.data(), good.size());
  struct Case {
    const char* FLabel;
    size_t FOffset;
    uint8_t FValue;
  } cases[] = {
      {"level count 0", 7, 0},
      {"level count beyond the area", 8, 0x7F},
      {"item size", 9 + 10, 99},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> area = good;
    area[c.FOffset] = c.FValue;
    if (c.FOffset == 8) area[7] = 0xFF;
    uint32_t count = 0;
    EXPECT_EQ(ErrorOf([&] { ReadIndexDescription(area.data(), area.size(), 4, 4, count, "x"); }),
              tdbErrIndexInconsistent)
        << c.FLabel;
  }
}

TEST(IndexNames, FileNamesByTableLevel) {
  struct Case {
    int FLevel;
    std::u16string FTable;
    std::u16string FIndex;
    std::u16string FExpected;
  } cases[] = {
      {6, u"Vnd03", u"INDMN", u"/db/Vnd03!INDMN.tdbi"},
      {5, u"Vnd03", u"KOD", u"/db/Vnd03!KOD.ind"},
      {4, u"Vnd03", u"KOD", u"/db/Vnd03!KOD.ind"},
      {3, u"Vnd03", u"KOD", u"/db/KOD.ind"},
      {3, u"~tmp", u"KOD", u"/db/KOD.$$i"},
      {2, u"Vnd03", u"KOD.ix", u"/db/KOD.ix"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CalcIndexFileName(u"/db", c.FTable, c.FIndex, c.FLevel), c.FExpected) << Utf16ToUtf8(c.FExpected);
  EXPECT_EQ(CalcIndexFileName(u"", u"Vnd03", u"KOD", 6), u"Vnd03!KOD.tdbi");
}

TEST(IndexNames, KindsByName) {
  struct Case {
    int FLevel;
    std::u16string FName;
    TTdbIndexKind FKind;
  } cases[] = {
      {4, u"KOD", tikUser},           {4, u"KOD.abc", tikUser},      {4, u"SYS_ID", tikAdl},
      {4, u"sys_Inr", tikAdl},        {4, u"sys_In3", tikAdl},       {4, u"sys_In0", tikConstraint},
      {4, u"sys_Primary", tikConstraint}, {4, u"sys_Other", tikConstraint}, {4, u"tmp1", tikTemporary},
      {4, u"TMP1", tikUser},          {3, u"KOD", tikUser},          {3, u"KOD.IND", tikUser},
      {3, u"KOD.$$i", tikUser},       {3, u"KOD.$ab", tikTemporary}, {3, u"T.inr", tikAdl},
      {3, u"T.ID", tikAdl},           {3, u"T.in7", tikAdl},         {3, u"T.in0", tikUnknown},
      {3, u"T.xyz", tikUnknown},
  };
  for (const Case& c : cases) EXPECT_EQ(GetIndexKind(c.FName, c.FLevel), c.FKind) << Utf16ToUtf8(c.FName);
}

TEST(IndexNames, ResolvesNamesToNumbers) {
  const std::vector<std::u16string> names = {u"KOD", u"INDMN.tdbi", u"Stra\u00DFe"};
  TTdbSpecialIndexNumbers special;
  special.FPrimary = 7;
  EXPECT_EQ(GetIndexNo(names, special, u"Vnd03", u"kod", 6), 0);
  EXPECT_EQ(GetIndexNo(names, special, u"Vnd03", u"INDMN", 6), 1);
  EXPECT_EQ(GetIndexNo(names, special, u"Vnd03", u"indmn.tdbi", 6), 1);
  EXPECT_EQ(GetIndexNo(names, special, u"Vnd03", u"STRASSE", 6), 2);
  EXPECT_EQ(GetIndexNo(names, special, u"Vnd03", u"SYS_PRIMARY", 6), 7);
  EXPECT_EQ(GetIndexNo({u"KOD.ind"}, special, u"Vnd03", u"KOD", 3), 0);
  EXPECT_EQ(ErrorOf([&] { GetIndexNo(names, special, u"Vnd03", u"sys_Id", 6); }), tdbErrIndexNotFound);
  EXPECT_EQ(ErrorOf([&] { GetIndexNo(names, special, u"Vnd03", u"NINCS", 6); }), tdbErrIndexNotFound);
  EXPECT_EQ(SpecialIndexName(tsiLink, 4, u"Vnd03", 5), u"sys_In4");
  EXPECT_EQ(SpecialIndexName(tsiRecordId, 0, u"Vnd03", 3), u"Vnd03.id");
  EXPECT_EQ(SpecialIndexName(tsiLink, 2, u"Vnd03", 3), u"Vnd03.in2");
  EXPECT_EQ(SpecialIndexName(tsiPrimary, 0, u"Vnd03", 3), u"");
}

}  // namespace
}  // namespace kestrel
