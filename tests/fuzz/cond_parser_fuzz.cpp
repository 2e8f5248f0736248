// libFuzzer target for the condition scanner and parser. The input is read
// as UTF-8 condition text. Whatever the text, parsing must either give a
// tree or raise a parser error positioned inside the text; a tree must write
// back to text that parses again, to the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/cond/sql_parser.h"
#include "engine/table/code_page.h"

namespace {

std::u16string WrittenBack(std::u16string_view text) {
  kestrel::TSqlParser parser(text);
  return kestrel::GetSqlText(*parser.ParseCondition());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string text =
      kestrel::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
  std::u16string written;
  try {
    written = WrittenBack(text);
  } catch (const kestrel::ESqlParser& error) {
    if (error.ErrorPos() < 1 || error.ErrorPos() > static_cast<int>(text.size()) + 1) std::abort();
    return 0;
  }
  // Table names lose a ".dat" ending each time they are read, so only texts
  // without qualified names must write back exactly.
  const std::u16string again = WrittenBack(written);
  if (text.find(u'.') == std::u16string::npos && again != written) std::abort();
  return 0;
}
