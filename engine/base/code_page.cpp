// Conversion between 16-bit text and the 8-bit code pages that table files
// store: our own tables for Windows-1250 (the system code page of the files
// this program shares) and Windows-1252, ICU converters for any other code
// page. Characters missing from a target code page become '?'. Bytes that a
// code page leaves undefined map to the C1 control of the same value, so that
// any byte string survives a round trip.
#include "engine/base/code_page.h"

#include <unicode/ucnv.h>

#include <array>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/base/engine_error.h"

namespace kestrel {

namespace {

using THighHalf = std::array<char16_t, 128>;

constexpr THighHalf kWindows1250 = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021,
    0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

constexpr THighHalf kWindows1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,
    0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x00D0, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7,
    0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF,
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,
    0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF,
};

// Reverse lookup: character -> byte for every UTF-16 code unit, ASCII to
// itself and characters the page lacks to '?', so encoding is one load per
// character with no branch.
class TReverseTable {
 public:
  explicit TReverseTable(const THighHalf& high) : FMap(kUtf16Units, '\0') {
    // The first byte of a character wins, as with the first entry of a map.
    for (int i = 0; i < 128; ++i)
      if (FMap[high[i]] == '\0') FMap[high[i]] = static_cast<char>(0x80 + i);
    for (std::size_t c = 0; c < 0x80; ++c) FMap[c] = static_cast<char>(c);
    for (std::size_t c = 0x80; c < kUtf16Units; ++c)
      if (FMap[c] == '\0') FMap[c] = kMissingCharacter;
  }
  const char* Data() const { return FMap.data(); }

 private:
  static constexpr std::size_t kUtf16Units = 0x10000;
  static constexpr char kMissingCharacter = '?';
  std::vector<char> FMap;
};

const THighHalf* OwnTable(int codePage) {
  switch (codePage) {
    case kCodePageCentralEurope: return &kWindows1250;
    case kCodePageWesternEurope: return &kWindows1252;
    default: return nullptr;
  }
}

const TReverseTable& OwnReverse(int codePage) {
  static const TReverseTable k1250(kWindows1250);
  static const TReverseTable k1252(kWindows1252);
  return codePage == kCodePageCentralEurope ? k1250 : k1252;
}

struct TConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using TConverter = std::unique_ptr<UConverter, TConverterCloser>;

// Opens an ICU converter for a Windows code page, with '?' as substitute.
TConverter OpenConverter(int codePage) {
  UErrorCode status = U_ZERO_ERROR;
  std::string name = "windows-" + std::to_string(codePage);
  TConverter conv(ucnv_open(name.c_str(), &status));
  if (U_FAILURE(status)) {
    status = U_ZERO_ERROR;
    name = "cp" + std::to_string(codePage);
    conv.reset(ucnv_open(name.c_str(), &status));
  }
  if (U_FAILURE(status) || !conv) throw ETdbEngine(tdbErrLanguageDriver, "code page " + std::to_string(codePage));
  status = U_ZERO_ERROR;
  ucnv_setSubstChars(conv.get(), "?", 1, &status);
  return conv;
}

std::mutex gIcuMutex;  // ICU converters are not thread-safe; one lock for all

}  // namespace

bool IsSupportedCodePage(int codePage) {
  if (OwnTable(codePage)) return true;
  try {
    std::lock_guard<std::mutex> lock(gIcuMutex);
    OpenConverter(codePage);
    return true;
  } catch (const ETdbEngine&) {
    return false;
  }
}

std::u16string DecodeCodePage(std::string_view bytes, int codePage) {
  if (const THighHalf* high = OwnTable(codePage)) {
    std::u16string text;
    text.reserve(bytes.size());
    for (char ch : bytes) {
      auto b = static_cast<unsigned char>(ch);
      text.push_back(b < 0x80 ? char16_t(b) : (*high)[b - 0x80]);
    }
    return text;
  }
  std::lock_guard<std::mutex> lock(gIcuMutex);
  TConverter conv = OpenConverter(codePage);
  std::u16string text(bytes.size() * 2 + 1, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t n = ucnv_toUChars(conv.get(), text.data(), static_cast<int32_t>(text.size()), bytes.data(),
                            static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status)) throw ETdbEngine(tdbErrLanguageDriver, "code page " + std::to_string(codePage));
  text.resize(n);
  return text;
}

bool EncodeSingleByteCodePage(std::u16string_view text, int codePage, char* out) {
  if (!OwnTable(codePage)) return false;
  // Plain pointers: stores through char may alias anything, so members
  // would be reloaded on every character.
  const char* map = OwnReverse(codePage).Data();
  const char16_t* in = text.data();
  for (std::size_t i = 0, n = text.size(); i < n; ++i) out[i] = map[in[i]];
  return true;
}

std::string EncodeCodePage(std::u16string_view text, int codePage) {
  if (OwnTable(codePage)) {
    std::string bytes(text.size(), '\0');
    EncodeSingleByteCodePage(text, codePage, bytes.data());
    return bytes;
  }
  std::lock_guard<std::mutex> lock(gIcuMutex);
  TConverter conv = OpenConverter(codePage);
  std::string bytes(text.size() * 4 + 1, '\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t n = ucnv_fromUChars(conv.get(), bytes.data(), static_cast<int32_t>(bytes.size()), text.data(),
                              static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) throw ETdbEngine(tdbErrLanguageDriver, "code page " + std::to_string(codePage));
  bytes.resize(n);
  return bytes;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    auto b = static_cast<unsigned char>(text[i]);
    char32_t cp = 0xFFFD;
    size_t len = 1;
    if (b < 0x80) {
      cp = b;
    } else if ((b >> 5) == 0x6 || (b >> 4) == 0xE || (b >> 3) == 0x1E) {
      len = (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : 4;
      cp = b & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
      bool valid = i + len <= text.size();
      for (size_t k = 1; valid && k < len; ++k) {
        auto c = static_cast<unsigned char>(text[i + k]);
        if ((c >> 6) != 0x2) valid = false;
        cp = (cp << 6) | (c & 0x3F);
      }
      if (!valid || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        cp = 0xFFFD;
        len = 1;
      }
    }
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(char16_t(0xD800 + (cp >> 10)));
      out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(char16_t(cp));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(char(cp));
    } else if (cp < 0x800) {
      out.push_back(char(0xC0 | (cp >> 6)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(char(0xE0 | (cp >> 12)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(char(0xF0 | (cp >> 18)));
      out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace kestrel
