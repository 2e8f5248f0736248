// The table component's filter: the condition text and its switch, handed to
// the engine cursor as a static filter (the cursor evaluates the condition
// once into its list of records and keeps that list up to date as the table
// changes). The engine keeps two slots: the condition is set into the waiting
// slot and activating moves it into the one that hides records, so a refused
// condition leaves the filter in force untouched.
#include "access/tdb_table.h"

#include "access/db_error.h"
#include "access/text_codec.h"
#include "engine/api/kestrel.h"

namespace kestrel::access {
namespace {

// The cursor's filter modes (the low four bits of TdbTableSetSQLFilter's
// Mode): the static filter, evaluated once into a list of records.
constexpr std::int32_t kStaticFilterMode = 1;
// Set the condition into the waiting slot; TdbTableActivateFilter moves it in.
constexpr std::uint8_t kIntoWaitingSlot = 1;

}  // namespace

void TTdbTable::ApplyFilter(const std::string& condition, bool filtered) {
  const std::string action = FormatText("Filtering table \"%s\"", {FTableName});
  if (filtered && !condition.empty()) {
    Check(TdbTableSetSQLFilter(FTableHdl, Utf8ToUtf16(condition).c_str(), kStaticFilterMode, kIntoWaitingSlot),
          action);
    Check(TdbTableActivateFilter(FTableHdl, 1), action);
  } else {
    Check(TdbTableActivateFilter(FTableHdl, 0), action);
  }
}

void TTdbTable::SetFilter(const std::string& condition) {
  if (condition == FFilter) return;
  if (Active() && FFiltered) {
    CheckBrowseMode();
    ApplyFilter(condition, true);
    FFilter = condition;
    CursorPosChanged();
    First();
    return;
  }
  FFilter = condition;
}

void TTdbTable::SetFiltered(bool value) {
  if (value == FFiltered) return;
  if (Active()) {
    CheckBrowseMode();
    ApplyFilter(FFilter, value);
    FFiltered = value;
    CursorPosChanged();
    First();
    return;
  }
  FFiltered = value;
}

}  // namespace kestrel::access
