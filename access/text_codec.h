// Text conversions of the component layer. The program works with UTF-8
// text; the engine's interface takes UTF-16, String columns and memo files
// hold 8-bit text in Windows-1250, and memo text is stored with CR LF line
// ends while the program's controls use LF.
#pragma once

#include <string>
#include <string_view>

namespace kestrel::access {

// UTF-8 <-> UTF-16; malformed input becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Windows-1250 bytes -> UTF-8. The five bytes the code page leaves
// undefined become the C1 control of the same number.
std::string Cp1250ToUtf8(std::string_view bytes);
// UTF-8 -> Windows-1250; a character the code page lacks becomes '?'.
std::string Utf8ToCp1250(std::string_view text);
// The first character of the UTF-8 `text` that Windows-1250 cannot store,
// as UTF-8; empty when every character has a byte in the code page.
std::string FirstCharOutsideCp1250(std::string_view text);

// CR LF and lone CR become LF (the program's form of memo text).
std::string ToLfLineEnds(std::string_view text);
// Every LF not preceded by CR becomes CR LF (the stored form of memo text).
std::string ToCrLfLineEnds(std::string_view text);

}  // namespace kestrel::access
