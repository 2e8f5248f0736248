// LIKE pattern matching: "%" matches any run of zero or more characters, "_"
// exactly one, an escape character makes the next pattern character literal
// (an escape at the end of the pattern is ignored), and runs of literal
// characters compare through the value's collation.
//
// The matcher is iterative and backtracks only to the last "%" seen: when a
// later part fails, the text that "%" covers grows by one character and the
// rest of the pattern is tried again. Time is proportional to text length x
// pattern length at worst; no input can make it exponential or deep.
#pragma once

#include <string_view>

#include "engine/cond/cond_record_source.h"

namespace kestrel {

// Whether `value` matches `pattern`. `escape` is used only when `hasEscape`.
bool LikeMatches(std::u16string_view value, std::u16string_view pattern, bool hasEscape, char16_t escape,
                 const ICondCollation& collation);

}  // namespace kestrel
