// Text conversions of the engine: 16-bit text (the engine's working form)
// to and from 8-bit code pages (as stored in table headers and String
// columns), and UTF-8 (the command-line tool and messages) to and from UTF-16.
// All functions are thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace kestrel {

// Windows-1250, the system code page of the files this program shares: the
// code page of headers and of String columns under the standard collation.
inline constexpr int kCodePageCentralEurope = 1250;
inline constexpr int kCodePageWesternEurope = 1252;
inline constexpr int kCodePageAnsi = kCodePageCentralEurope;

// Whether text can be converted to and from `codePage`.
bool IsSupportedCodePage(int codePage);

// Decodes 8-bit text. Throws ETdbEngine tdbErrLanguageDriver for an unknown code page.
std::u16string DecodeCodePage(std::string_view bytes, int codePage);

// Encodes 16-bit text; a character the code page lacks becomes '?'. The
// result may be longer than the text only for multi-byte code pages.
// Throws ETdbEngine tdbErrLanguageDriver for an unknown code page.
std::string EncodeCodePage(std::u16string_view text, int codePage);

// Encodes into `out` (text.size() bytes) without allocating, as
// EncodeCodePage does, for the single-byte code pages with a table of their
// own (1250, 1252). False, with nothing written, for any other code page.
bool EncodeSingleByteCodePage(std::u16string_view text, int codePage, char* out);

// UTF-8 <-> UTF-16; malformed input becomes U+FFFD, never an error.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace kestrel
