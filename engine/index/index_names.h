// Index names: the file an index lives in, its kind as told by its name, the
// names of the special (primary, record-id and link) indexes, and resolving a
// name to an index number. Names compare with the standard collation without
// options (case, accents and "ß"/"ss" do not matter).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/index/sort_def.h"

namespace kestrel {

inline constexpr std::u16string_view kIndexExtensionModern = u".tdbi";  // table level 6
inline constexpr std::u16string_view kIndexExtension = u".ind";         // table levels 1 to 5
inline constexpr std::u16string_view kTempIndexExtension = u".$$i";     // level <= 3, table name "~..."
inline constexpr char16_t kIndexNameSeparator = u'!';

// `CalcIndexFileName`: the path of the file of index `indexName` of table
// `tableName` (base name without extension) in `directory`.
std::u16string CalcIndexFileName(std::u16string_view directory, std::u16string_view tableName,
                                 std::u16string_view indexName, int tableLevel);

// `GetIndexKind`: the kind an index has by its name.
TTdbIndexKind GetIndexKind(std::u16string_view indexName, int tableLevel);

// The special indexes a table may keep.
enum TTdbSpecialIndex : int8_t {
  tsiPrimary = -3,
  tsiRecordId = -2,
  tsiLink = -1,
};

// The name of a special index; `linkNo` 1..9 names a numbered link index
// (only with tsiLink). At level <= 3 the name is built from `tableBaseName`
// (cut to 40 characters); there is no primary index below level 4 ("").
std::u16string SpecialIndexName(TTdbSpecialIndex which, int linkNo, std::u16string_view tableBaseName,
                                int tableLevel);

// The index numbers a table keeps for its special indexes (negative = none).
struct TTdbSpecialIndexNumbers {
  TTdbIndexNo FPrimary = kNoIndex;
  TTdbIndexNo FRecordId = kNoIndex;
  TTdbIndexNo FLink = kNoIndex;
};

// `GetIndexNo`: the number of the index called `indexName`. `indexNames[i]` is
// the name of open index number i. Special names map to `special`; other
// names are compared, without an ".ind" or ".tdbi" extension, from the first
// index to the last. Throws ETdbEngine tdbErrIndexNotFound for an unknown name.
TTdbIndexNo GetIndexNo(const std::vector<std::u16string>& indexNames, const TTdbSpecialIndexNumbers& special,
                       std::u16string_view tableBaseName, std::u16string_view indexName, int tableLevel);

}  // namespace kestrel
