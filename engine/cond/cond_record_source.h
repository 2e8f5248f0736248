// The two seams between conditions and the tables they filter.
//
// ICondRecordSource: through it a condition binds its column names when it is
// prepared and reads the column values of the current record when it is
// evaluated. The table object (or the cursor's accessor) implements it over
// its record images; tests implement it over a vector of rows.
//
// ICondCollation: string comparison, LIKE run matching and case mapping of
// one collation. A column hands its collation out with its type; literals and
// results without a column use DefaultCondCollation(), a simple stand-in for
// the standard collation (ASCII letters compared without regard to case,
// every other UTF-16 code unit by its value, a shorter text before every
// longer text that begins with it, trailing blanks significant). The table
// layer passes the real collation objects of its columns instead.
#pragma once

#include <string>
#include <string_view>

#include "engine/cond/cond_value.h"

namespace kestrel {

class ICondCollation {
 public:
  virtual ~ICondCollation() = default;
  // Orders two texts: negative, zero or positive. Thread-safe.
  virtual int Compare(std::u16string_view left, std::u16string_view right) const = 0;
  // Whether two texts of the same length are equal for LIKE: the collation's
  // comparison without ligature sensitivity, character for character.
  virtual bool RunEquals(std::u16string_view valueRun, std::u16string_view patternRun) const = 0;
  // The text in upper (or lower) case by the collation's case mapping.
  // `codePage` is the 8-bit code page of the value's type, 0 for wide text.
  virtual std::u16string MapCase(std::u16string_view text, bool upper, int codePage) const = 0;
};

// The default collation described above; the case mapping is the engine's
// own for the standard collation (a-z, the accented letters of the 8-bit
// range and y with diaeresis), applied to 8-bit characters of `codePage`.
const ICondCollation& DefaultCondCollation();

// A column as the record source describes it.
struct TCondColumnInfo {
  // The source's own number of the column, handed back to ReadColumn.
  int FFieldNo = 0;
  // Memo columns are described as string types of unlimited length
  // (FMaxLength 0); their values are read as strings.
  TCondDataType FDataType;
};

class ICondRecordSource {
 public:
  virtual ~ICondRecordSource() = default;
  // Finds a column by name; names compare as the table's column names do
  // (the standard collation: case, accents and "ß"/"ss" do not matter).
  // `tableName` is empty for an unqualified name, else the table part of a
  // "table.column" reference reduced to a file name without directory and
  // without ".dat"; a source that is not that table answers false.
  // Called only while a condition is prepared.
  virtual bool FindColumn(std::u16string_view tableName, std::u16string_view columnName,
                          TCondColumnInfo& info) const = 0;
  // Reads the value of column `fieldNo` of the current record into `value`
  // (NULL as cvkNull). May throw ETdbEngine (a damaged memo, for instance).
  virtual void ReadColumn(int fieldNo, TCondValue& value) const = 0;
};

}  // namespace kestrel
