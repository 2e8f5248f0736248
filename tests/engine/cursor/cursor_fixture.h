// Shared fixture of the cursor tests: a directory holding the
// classification table Vnd03 (KOD String(10) NOT NULL, MEGNEV String(40)
// NOT NULL, LEIRAS Memo; unique index KOD, index INDMN on MEGNEV) made
// through the engine's own creation path, a session with the directory
// open as its database, and one cursor on the table through the flat call
// interface.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/api/kestrel.h"
#include "engine/base/code_page.h"
#include "temp_dir.h"

namespace kestrel::test {

struct TRow {
  std::string Kod, Megnev, Leiras;
};

// Creates Vnd03 in `directory` with `rows` appended in order (record n is
// rows[n - 1]); with `bplus` a B+ tree table file (level 6, the record id
// column "_XXX" first, record n has the id n).
void CreateClassification(const std::string& directory, const std::vector<TRow>& rows, bool bplus = false);

class CursorFixture : public ::testing::Test {
 protected:
  void TearDown() override;

  // Creates the table with rows in the temporary directory (or in a new
  // subdirectory of it), opens a session on it and a cursor (FSession,
  // FRelation, FTable, FDatabaseDir). With FBPlus set the table is a B+ tree
  // table file.
  void Open(const std::vector<TRow>& rows, const std::string& subdirectory = "");
  // Deletes the session (and its cursors).
  void CloseSession();
  // Another cursor on the same relation.
  std::int16_t NewCursor();

  // The field number of KOD (MEGNEV follows it).
  int KodField() const { return FBPlus ? 2 : 1; }
  // A record image of the table with KOD and MEGNEV set.
  std::vector<std::uint8_t> Image(const std::string& kod, const std::string& megnev = "") const;
  // KOD and MEGNEV of a record image.
  std::string Kod(const std::vector<std::uint8_t>& record) const;
  std::string Megnev(const std::vector<std::uint8_t>& record) const;
  // The current record of a cursor ("" when GetRecord fails).
  std::string CurrentKod(std::int16_t table);
  // The accessor's raw position: record number, -1 before the first, 0 after the last.
  static std::int32_t Position(std::int16_t table);
  // The session's last error: (engine error number, message).
  std::pair<int, std::u16string> LastError() const;
  // KOD values in the order the cursor walks them from First.
  std::vector<std::string> Walk(std::int16_t table);

  bool FBPlus = false;
  TTempDir FDir;
  std::string FDatabaseDir;
  std::int16_t FSession = 0;
  std::int16_t FRelation = 0;
  std::int16_t FTable = 0;
  std::int32_t FRecordSize = 0;
};

}  // namespace kestrel::test
