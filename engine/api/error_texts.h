// The texts of the flat call interface's result codes, and (through
// error_formats.h) the message formats of the engine error numbers. The
// tables are built once and never change; lookups are thread-safe.
#pragma once

#include <string>
#include <vector>

#include "engine/base/error_formats.h"

namespace kestrel {

// Result codes (0 and negative) with their texts.
const std::vector<TErrorText>& ResultCodeTexts();

// The text of a result code; "Unknown error" for a code not in the table.
std::string ResultCodeText(int code);

}  // namespace kestrel
