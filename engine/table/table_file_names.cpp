// Table file names and extensions.
#include "engine/table/table_file_names.h"

#include <algorithm>
#include <cctype>

namespace kestrel {

namespace {

constexpr int kFirstLevel6 = 6;

size_t ExtensionStart(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string::npos;
  if (dot == (slash == std::string::npos ? 0 : slash + 1)) return std::string::npos;  // ".profile"
  return dot;
}

bool EqualsNoCase(std::string a, std::string b) {
  auto lower = [](std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
  };
  return lower(std::move(a)) == lower(std::move(b));
}

}  // namespace

bool HasExtension(const std::string& path) { return ExtensionStart(path) != std::string::npos; }

std::string ResolveTableFileName(const std::string& name, const std::function<bool(const std::string&)>& exists) {
  if (HasExtension(name)) return name;
  for (const char* extension : {kTableExtensionClassic, kTableExtensionLevel6})
    if (exists(name + extension)) return name + extension;
  return std::string();
}

std::string CalcStdTableName(const std::string& fileName) {
  const size_t slash = fileName.find_last_of("/\\");
  std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
  const size_t dot = ExtensionStart(name);
  if (dot != std::string::npos) {
    const std::string extension = name.substr(dot);
    if (EqualsNoCase(extension, kTableExtensionClassic) || EqualsNoCase(extension, kTableExtensionLevel6))
      name.resize(dot);
  }
  return name;
}

const char* TableFileExtension(int level) { return level >= kFirstLevel6 ? ".tdbt" : ".dat"; }
const char* MemoFileExtension(int level) { return level >= kFirstLevel6 ? ".tdbm" : ".mmo"; }
const char* BlobFileExtension(int level) { return level >= kFirstLevel6 ? ".tdbb" : ".blb"; }

}  // namespace kestrel
