// A small JSON writer for the tool's output: objects, arrays, strings
// (UTF-8, escaped), numbers and booleans, indented two spaces.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrel::tool {

class TJsonWriter {
 public:
  void BeginObject(const char* key = nullptr);
  void EndObject();
  void BeginArray(const char* key = nullptr);
  void EndArray();
  void String(const char* key, const std::string& value);
  void Number(const char* key, int64_t value);
  void Boolean(const char* key, bool value);

  // The document so far, with a final line feed once the outer value ends.
  const std::string& Text() const { return FText; }

  // `text` (UTF-8) as a JSON string literal with quotes.
  static std::string Quote(const std::string& text);

 private:
  void Key(const char* key);
  void Indent();

  std::string FText;
  std::vector<bool> FHasItems;  // per open container
};

}  // namespace kestrel::tool
