// Fixed texts of the engine: message formats of the engine error numbers and
// the texts of the flat call interface's result codes. Both tables are built
// once and never change; lookups are thread-safe.
#pragma once

#include <string>
#include <vector>

namespace kestrel {

struct TErrorText {
  int FCode;
  const char* FText;  // UTF-8
};

// Engine error numbers (1 to 190) with their message formats.
const std::vector<TErrorText>& EngineErrorFormats();

// Result codes (0 and negative) with their texts.
const std::vector<TErrorText>& ResultCodeTexts();

// The text of a result code; "Unknown error" for a code not in the table.
std::string ResultCodeText(int code);

// The message of engine error `number` with its "%s"/"%d" placeholders filled
// from `args` in order. A number without a format, or a format that the
// arguments cannot fill (too few, or a "%d" given a non-number), gives
// "Invalid error message: " followed by the unfilled format. Number 9999 has
// no text and gives "".
std::string FormatEngineError(int number, const std::vector<std::string>& args);

}  // namespace kestrel
