// Filtering of TTdbDataSet: the filter text, the Filtered switch, and how
// both reach the engine cursor.
//
// The cursor keeps two slots: a pending filter (set with Background true)
// and an active one, which hides records. Activating moves pending to
// active; deactivating moves it back, so switching Filtered off and on again
// never parses the text twice. FFilterUpdated says whether the cursor holds
// FFilterW in one of the two slots; while it is false the text is handed
// over when filtering is switched on (or at open).
//
// Filters here are static: the engine walks the matching records once when
// the filter is activated and keeps their numbers, so navigation and
// RecordCount are exact at any table size.
#include <cstdint>

#include "access/db_error.h"
#include "access/tdb_dataset.h"
#include "access/text_codec.h"
#include "engine/api/kestrel.h"

namespace kestrel::access {
namespace {

// Mode word handed to the engine with a condition: static filter (1), local
// number/date formats and wildcards (0x40), prefix match of a pattern that
// ends in a wildcard (0x20). No case-insensitive bit: string comparisons
// follow the column's collation.
constexpr std::int32_t kFilterKindStatic = 0x01;
constexpr std::int32_t kFilterLocalFormats = 0x40;
constexpr std::int32_t kFilterPartialCompare = 0x20;
constexpr std::int32_t kFilterMode = kFilterKindStatic | kFilterLocalFormats | kFilterPartialCompare;

}  // namespace

void TTdbDataSet::ApplyFilter(const std::string& filterText) {
  if (FFiltered && !FFilterW.empty()) TdbTableActivateFilter(FTableHdl, 0);
  const std::int32_t result = TdbTableSetSQLFilter(FTableHdl, Utf8ToUtf16(filterText).c_str(), kFilterMode, 1);
  if (FFiltered && !filterText.empty()) TdbTableActivateFilter(FTableHdl, 1);
  if (result < 0) Raise(result, "Setting filter");
  FFilterUpdated = true;
}

void TTdbDataSet::OpenFilter() {
  if (!FFiltered || FFilterUpdated) return;  // otherwise handed over when switched on
  // Handed over with the flag off, so only the pending slot is set, then
  // activated. A rejected condition fails the open; the flag is kept.
  FFiltered = false;
  try {
    ApplyFilter(FFilterW);
  } catch (...) {
    FFiltered = true;
    throw;
  }
  FFiltered = true;
  TdbTableActivateFilter(FTableHdl, 1);
}

void TTdbDataSet::SetFilter(const std::string& value) {
  if (Active()) {
    CheckBrowseMode();
    if (value == FFilterW) return;
    if (FFiltered)
      ApplyFilter(value);  // a rejected condition propagates; nothing stored
    else
      FFilterUpdated = false;
  }
  FFilterW = value;
  if (Active() && FFiltered) First();
}

void TTdbDataSet::SetFiltered(bool value) {
  if (!Active()) {
    FFiltered = value;
    return;
  }
  CheckBrowseMode();
  if (value == FFiltered) return;
  if (value && !FFilterUpdated) ApplyFilter(FFilterW);  // flag still off: only the pending slot
  TdbTableActivateFilter(FTableHdl, value ? 1 : 0);     // a cursor without a filter shows all
  FFiltered = value;
  First();
}

}  // namespace kestrel::access
