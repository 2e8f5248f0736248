// The table component: open and close, index switching, key searches.
#include "access/tdb_table.h"

#include <cstdio>

#include "access/db_error.h"
#include "access/text_codec.h"
#include "engine/api/kestrel.h"

namespace kestrel::access {
namespace {

constexpr int kDescriptionLength = 8191;
constexpr int kIndexNameLength = 255;
constexpr std::int32_t kAllIndexLevels = 256;
constexpr int kDescriptionPrimary = 2;
constexpr int kDescriptionUnique = 1;

bool EndsWithIgnoringCase(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    char c = text[text.size() - suffix.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = text.find(separator, start);
    const std::string part = Trim(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (!part.empty()) parts.push_back(part);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return parts;
}

}  // namespace

TTdbTable::TTdbTable() { SetName("Table"); }

TTdbTable::~TTdbTable() {
  try {
    Close();
  } catch (...) {
  }
}

void TTdbTable::SetTableName(const std::string& name) {
  if (Active()) throw EDatabaseError("Cannot perform this operation on an open dataset");
  FTableName = name;
}

void TTdbTable::SetReadOnly(bool value) {
  if (Active()) throw EDatabaseError("Cannot perform this operation on an open dataset");
  FReadOnly = value;
}

void TTdbTable::SetExclusive(bool value) {
  if (Active()) throw EDatabaseError("Cannot perform this operation on an open dataset");
  FExclusive = value;
}

std::string TTdbTable::Version() const {
  const int engine = TdbGetVersion();
  char text[32];
  std::snprintf(text, sizeof text, "%d.%d.%d/%d.%d.%d", 6, 1, 8, engine / 1000, engine % 1000 / 100, engine % 10);
  return text;
}

// ---- Open and close -----------------------------------------------------------

void TTdbTable::InternalOpen() {
  FDatabase = TTdbDatabase::FindDatabase(FDatabaseName);
  if (FDatabase == nullptr) {
    FAutomaticDatabase = std::make_unique<TTdbDatabase>();
    FAutomaticDatabase->SetDatabaseName(FDatabaseName);
    FAutomaticDatabase->SetLocation(FDatabaseName);
    FAutomaticDatabase->SetAutomatic(true);
    FDatabase = FAutomaticDatabase.get();
  }
  FDatabase->SetConnected(true);
  if (FTableName.empty()) throw EDatabaseError(FormatText("No table name defined for \"%s\".", {Name()}));
  std::int32_t relation =
      FDatabase->OpenRelation(FTableName, FPassword, FOpenMode == TTdbTableOpenMode::tomForce,
                              FDatabase->CalcOpenRights(FExclusive, kAllAccessRights, FFlushMode));
  if (relation == TDB_ERR_CANNOT_OPEN_TABLE && !FReadOnly && !FDatabase->ReadOnly())
    relation = FDatabase->OpenRelation(FTableName, FPassword, FOpenMode == TTdbTableOpenMode::tomForce,
                                       FDatabase->CalcOpenRights(FExclusive, 0, FFlushMode));
  if (relation < 1) Raise(relation, FormatText("Opening table \"%s\"", {FTableName}));
  FRltnHdl = static_cast<std::int16_t>(relation);
  const std::int32_t cursor = TdbTableCreate(FRltnHdl, Utf8ToUtf16("VCLTable_For_" + FTableName).c_str());
  if (cursor < 1) Raise(cursor, FormatText("Opening Kestrel table %s", {FTableName}));
  OpenEngineCursor(static_cast<std::int16_t>(cursor));

  TTdbTableInfo info{};
  if (TdbRltnGetTableInfo(FRltnHdl, &info) == 0) {
    FCollation = Utf16ToUtf8(info.Language);
    FEncryptionMethod = info.EncryptionMethod;
    FCapacity = info.Capacity;
  }
  FCanModify = FCanModify && !FReadOnly;
  BuildIndexDefs();
  if (!FIndexName.empty()) SelectIndex(FIndexName);
  if (FFiltered && !FFilter.empty()) ApplyFilter(FFilter, true);
  TdbTableFirst(FTableHdl);
  FOutOfTableState = TOutOfTableState::ootBOT;
}

void TTdbTable::InternalClose() {
  CloseEngineCursor();
  FRltnHdl = 0;
  FIndexDefs.clear();
  FDatabase = nullptr;
  FAutomaticDatabase.reset();
}

void TTdbTable::BuildIndexDefs() {
  FIndexDefs.clear();
  std::u16string names(TDB_INDEX_NAMES_MAXLEN + 1, u'\0');
  if (TdbRltnGetIndexNames(FRltnHdl, names.data(), TDB_INDEX_NAMES_MAXLEN) < 0) return;
  for (std::size_t at = 0; at < names.size() && names[at] != 0;) {
    const std::u16string name(names.c_str() + at);
    at += name.size() + 1;
    TTdbIndexDef def;
    def.Name = Utf16ToUtf8(name);
    std::u16string description(kDescriptionLength + 1, u'\0');
    const std::int32_t answer = TdbRltnGetIndexDesc(FRltnHdl, name.c_str(), description.data(), kDescriptionLength);
    if (answer < 0) {
      def.Expression = "CORRUPT: DELETE AND RECREATE";
    } else {
      const std::string text = Trim(Utf16ToUtf8(description.c_str()));
      def.Primary = answer == kDescriptionPrimary;
      def.Unique = answer == kDescriptionPrimary || answer == kDescriptionUnique;
      if (!text.empty() && text[0] == '(') {
        def.Expression = text.substr(1, text.rfind(')') == std::string::npos ? std::string::npos : text.rfind(')') - 1);
      } else {
        for (std::string field : Split(text, ',')) {
          bool descending = false;
          if (!field.empty() && field[0] == '-') {
            descending = true;
            field = Trim(field.substr(1));
          }
          def.Fields += (def.Fields.empty() ? "" : ";") + field;
          if (descending) def.DescFields += (def.DescFields.empty() ? "" : ";") + field;
        }
      }
    }
    FIndexDefs.push_back(def);
  }
}

// ---- Index switching ------------------------------------------------------------

void TTdbTable::SelectIndex(const std::string& name) {
  std::string engineName = name;
  for (const char* extension : {".ind", ".tdbi"})
    if (EndsWithIgnoringCase(engineName, extension)) engineName.resize(engineName.size() - std::string(extension).size());
  const std::int32_t answer = TdbTableSetIndex(FTableHdl, Utf8ToUtf16(engineName).c_str(), 0);
  if (answer == TDB_ERR_INDEX_NOT_EXISTS) throw EDatabaseError(FormatText("The index %s does not exist", {name}));
  if (answer != 0) Raise(answer, FormatText("The index %s does not exist", {name}));
}

void TTdbTable::SetIndexName(const std::string& name) {
  if (name == FIndexName) return;
  FIndexName = name;
  if (!Active()) return;
  CheckBrowseMode();
  PositionOnActive();
  SelectIndex(name);
  // The same record stays current; its neighbours now come from the new order.
  if (HasActiveRecord()) InternalSetToRecord(ActiveBuffer(), 0);
  CursorPosChanged();
  Resync(false);
}

// ---- Key searches -----------------------------------------------------------------

std::vector<std::string> TTdbTable::CurrentIndexFields() const {
  for (const TTdbIndexDef& def : FIndexDefs)
    if (def.Name == FIndexName) return Split(def.Fields, ';');
  std::u16string real(kIndexNameLength + 1, u'\0');
  if (TdbRltnGetRealIndexName(FRltnHdl, Utf8ToUtf16(FIndexName).c_str(), real.data(), kIndexNameLength) == 0) {
    const std::string realName = Utf16ToUtf8(real.c_str());
    for (const TTdbIndexDef& def : FIndexDefs)
      if (def.Name == realName) return Split(def.Fields, ';');
  }
  return {};
}

void TTdbTable::FillKeyBuffer(const std::vector<std::string>& keyValues) {
  const std::vector<std::string> fields = CurrentIndexFields();
  if (keyValues.size() > fields.size())
    throw EDatabaseError(FormatText("Active index has only %d fields", {std::to_string(fields.size())}));
  const TDataSetState previous = State();
  SetState(TDataSetState::dsSetKey);
  try {
    for (std::size_t i = 0; i < keyValues.size(); ++i) FieldByName(fields[i]).SetAsString(keyValues[i]);
  } catch (...) {
    SetState(previous);
    throw;
  }
  SetState(previous);
}

std::int32_t TTdbTable::Locate(const std::vector<std::string>& keyValues, bool exact, const std::string& action) {
  CheckBrowseMode();
  FillKeyBuffer(keyValues);
  std::uint8_t exactMatch = exact ? 1 : 0;
  const std::int32_t levels = exact ? static_cast<std::int32_t>(keyValues.size()) : kAllIndexLevels;
  const std::int32_t answer = TdbTableLocateRec2(FTableHdl, Utf8ToUtf16(FIndexName).c_str(), FKeyBuffers[0].data(),
                                                 RecordImageSize(), levels, &exactMatch);
  if (answer < 0) {
    CursorPosChanged();
    Raise(answer, action);
  }
  return answer;
}

void TTdbTable::FindNearest(const std::vector<std::string>& keyValues) {
  if (FIndexName.empty()) throw EDatabaseError("This operation requires an active index.");
  CheckBrowseMode();
  DoBeforeScroll();
  const std::int32_t answer = Locate(keyValues, false, "Searching nearest record");
  if (answer == 0) {
    Last();
    return;
  }
  FOutOfTableState = TOutOfTableState::ootNone;
  CursorPosChanged();
  Resync(true);
  DoAfterScroll();
}

bool TTdbTable::FindKey(const std::vector<std::string>& keyValues) {
  if (FIndexName.empty()) throw EDatabaseError("GotoKey needs an active index");
  CheckBrowseMode();
  const std::int32_t answer = Locate(keyValues, true, "Searching record by key");
  if (answer == 0) {
    CursorPosChanged();
    return false;
  }
  DoBeforeScroll();
  FOutOfTableState = TOutOfTableState::ootNone;
  CursorPosChanged();
  Resync(true);
  DoAfterScroll();
  return true;
}

}  // namespace kestrel::access
