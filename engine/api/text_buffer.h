// Moving text and bytes across the flat call interface without reading or
// writing past the caller's buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/api/kestrel.h"

namespace kestrel {

// A zero-terminated string of the caller; null reads as "".
std::u16string ReadText(const TdbChar* text);
// Whether a fixed array of `capacity` characters holds a zero.
bool IsTerminated(const TdbChar* text, std::size_t capacity);
// The zero-terminated string in a fixed array (IsTerminated holds).
std::u16string ReadBoundedText(const TdbChar* text, std::size_t capacity);

// Writes text cut to maxLen characters and a zero (the buffer has room for
// maxLen + 1 characters). False, and nothing written, for a null buffer or a
// negative maxLen.
bool WriteTextCut(std::u16string_view text, TdbChar* buffer, std::int32_t maxLen);
// Writes the whole text and a zero into an array of `capacity` characters.
// False, and nothing written, when it does not fit.
bool WriteTextFit(std::u16string_view text, TdbChar* buffer, std::size_t capacity);
// Writes the whole text and a zero into a buffer with room for maxLen + 1
// characters. False, and nothing written, for a null buffer, a negative
// maxLen or a text longer than maxLen.
bool WriteTextWhole(std::u16string_view text, TdbChar* buffer, std::int32_t maxLen);

}  // namespace kestrel
