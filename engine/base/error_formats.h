// Message formats of the engine error numbers. The table is built once and
// never changes; lookups are thread-safe.
#pragma once

#include <string>
#include <vector>

namespace kestrel {

// A fixed text keyed by a number (an engine error number or a result code).
struct TErrorText {
  int FCode;
  const char* FText;  // UTF-8
};

// Engine error numbers (1 to 190) with their message formats.
const std::vector<TErrorText>& EngineErrorFormats();

// The text stored for `code` in `table`, or null when there is none.
const char* FindErrorText(const std::vector<TErrorText>& table, int code);

// The message of engine error `number` with its "%s"/"%d" placeholders filled
// from `args` in order. A number without a format, or a format that the
// arguments cannot fill (too few, or a "%d" given a non-number), gives
// "Invalid error message: " followed by the unfilled format. Number 9999 has
// no text and gives "".
std::string FormatEngineError(int number, const std::vector<std::string>& args);

}  // namespace kestrel
