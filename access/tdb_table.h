// TTdbTable: the table component. Opening it finds (or creates) its database
// component by name, connects it, opens the table's relation and one cursor
// on it, builds the fields and index definitions, selects IndexName and
// stands on the first record. It switches the index by name with the
// current record kept, finds the nearest or an exact key, counts, and hides
// the records its filter does not select.
//
// Errors: see the component error texts ("Opening table \"%s\"", "Opening
// Kestrel table %s", "The index %s does not exist", "Searching nearest
// record", ...), thrown as EDatabaseError or EKestrelError. A failed open
// leaves the table closed; a failed search leaves the cursor where it was.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "access/tdb_dataset.h"

namespace kestrel::access {

enum class TTdbTableOpenMode { tomDefault, tomForce };

// One index of the table as its description gives it.
struct TTdbIndexDef {
  std::string Name;
  std::string Fields;            // ";"-separated field names
  std::string DescFields;        // the descending ones, ";"-separated
  std::string Expression;        // of an expression index
  bool Unique = false;
  bool Primary = false;
};

class TTdbTable : public TTdbDataSet {
 public:
  TTdbTable();
  ~TTdbTable() override;

  const std::string& TableName() const { return FTableName; }
  void SetTableName(const std::string& name);
  const std::string& IndexName() const { return FIndexName; }
  // Selects the index (see the file comment); the same name does nothing.
  // A name the table lacks raises "The index %s does not exist" and the
  // stored name keeps the bad name.
  void SetIndexName(const std::string& name);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool value);
  bool Exclusive() const { return FExclusive; }
  void SetExclusive(bool value);
  TTdbFlushMode FlushMode() const { return FFlushMode; }
  void SetFlushMode(TTdbFlushMode value) { FFlushMode = value; }
  void SetPassword(const std::string& value) { FPassword = value; }
  void SetOpenMode(TTdbTableOpenMode value) { FOpenMode = value; }
  // "6.1.8/" followed by the engine version.
  std::string Version() const;
  const std::vector<TTdbIndexDef>& IndexDefs() const { return FIndexDefs; }
  const std::string& Collation() const { return FCollation; }

  // The first record of the current order whose key is not less than the
  // values (assigned to the current index's fields in turn); the last
  // record when there is none.
  void FindNearest(const std::vector<std::string>& keyValues);
  // The record whose key equals the values: true when found (it becomes
  // current), false otherwise (the cursor stays).
  bool FindKey(const std::vector<std::string>& keyValues);

  // The filter: a condition over the table's columns (KOD = '58.05.1') that
  // hides the records it does not select while Filtered is on; it also holds
  // from the next open. Changing either on an open table takes effect at
  // once and moves to the first record the filter lets through. A condition
  // the engine refuses raises EKestrelError, and the filter then stays as it
  // was (tdb_table_filter.cpp).
  const std::string& Filter() const { return FFilter; }
  void SetFilter(const std::string& condition);
  bool Filtered() const { return FFiltered; }
  void SetFiltered(bool value);

 protected:
  void InternalOpen() override;
  void InternalClose() override;

 private:
  void BuildIndexDefs();
  // The field names of the current index.
  std::vector<std::string> CurrentIndexFields() const;
  // Writes the values into key buffer 0 through the index's fields.
  void FillKeyBuffer(const std::vector<std::string>& keyValues);
  std::int32_t Locate(const std::vector<std::string>& keyValues, bool exact, const std::string& action);
  void SelectIndex(const std::string& name);
  // Hands `condition` to the open cursor and switches it on (`filtered`
  // with a condition) or off; the dataset's buffers are not touched.
  void ApplyFilter(const std::string& condition, bool filtered);

  std::string FTableName;
  std::string FPassword;
  std::int16_t FRltnHdl = 0;
  bool FReadOnly = false;
  bool FExclusive = false;
  std::string FIndexName;
  std::vector<TTdbIndexDef> FIndexDefs;
  std::string FCollation;
  int FEncryptionMethod = 0;
  std::int32_t FCapacity = 10000000;
  TTdbFlushMode FFlushMode = TTdbFlushMode::tfmDefault;
  TTdbTableOpenMode FOpenMode = TTdbTableOpenMode::tomDefault;
  std::string FFilter;
  bool FFiltered = false;
  // The database made on the fly when none of DatabaseName exists.
  std::unique_ptr<TTdbDatabase> FAutomaticDatabase;
};

}  // namespace kestrel::access
